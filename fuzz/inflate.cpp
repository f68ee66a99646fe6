// InflateStream on arbitrary bytes: either a result or EZLibError, nothing else.
#include "protect/ZLibStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvendal;
    TMemoryStream packed(std::vector<uint8_t>(data, data + size)), plain;
    try {
        InflateStream(packed, plain);
    } catch (const EZLibError&) {
    }
    return 0;
}
