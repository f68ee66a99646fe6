// DecryptHexText on arbitrary text (mail subjects from outside); a coded text must come back.
#include "protect/Crypt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvendal;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string text;
    DecryptHexText(input, text);
    if (input.find_first_of("\r\n") == std::string::npos && size < 512) {
        std::string hex, back;
        EncryptTextToHex(input, hex);
        DecryptHexText(hex, back);
        if (back != input) {
            std::abort();
        }
    }
    return 0;
}
