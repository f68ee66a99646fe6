// The container reader on arbitrary bytes: it must never read or write outside its buffers,
// and whatever it accepts must round-trip through the writer.
#include "protect/BFH.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvendal;
    static const bool keyed = [] {
        TBFH().SetKeyword("fuzz");
        return true;
    }();
    (void)keyed;
    TBFH bfh;
    TMemoryStream container(std::vector<uint8_t>(data, data + size)), plain;
    if (bfh.DecryptStream(container, plain) && size >= 16 && data[3] == 2) {
        TMemoryStream again, back;
        plain.Rewind();
        bfh.EncryptStream(plain, again);
        if (!bfh.DecryptStream(again, back) || back.Bytes() != plain.Bytes()) {
            std::abort();
        }
    }
    return 0;
}
