#pragma once
// The published initial Blowfish tables (hexadecimal digits of pi).

#include "protect/Blowfish.h"

#include <array>
#include <cstdint>

namespace orvendal::blowfish {

extern const std::array<uint32_t, 18> InitialP;
extern const TSBoxes InitialS;

} // namespace orvendal::blowfish
