#pragma once
// Kept for the tests of other folders: the transport tests' shared pieces.
#include "transport/TransportFixture.h"
