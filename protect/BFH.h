#pragma once
// The BFH container: "BFH", a mode byte and a CRC-32 that tells a right key from a wrong one,
// around Blowfish-CBC ciphertext of the padded data. Mode 2 is written; modes 0, 1 and 2 are
// read.

#include "protect/Blowfish.h"
#include "protect/Streams.h"

#include <cstdint>
#include <string>

namespace orvendal {

class TBFH {
public:
    virtual ~TBFH() = default;

    // Runs the key schedule (Windows-1252 bytes) for the whole process; an empty key returns to
    // the unkeyed tables. Throws EWeakKey for a rejected key.
    void SetKeyword(const std::string& key);

    // Writes a mode-2 container of the whole source to the destination (both rewound first;
    // the destination ends with the container).
    void EncryptStream(TStream& source, TStream& destination);
    // Deciphers the container in source and writes the data at the destination's position,
    // cutting it there. False, with the destination untouched, for a container that is not
    // valid: no "BFH", an unknown mode, a CRC mismatch (the wrong key) or damaged padding.
    bool DecryptStream(TStream& source, TStream& destination);

    // Filled by the last header read: the initialisation vector, and for modes 0 and 1 the
    // name and the two words beside it.
    TChain IV;
    std::string Name;
    uint32_t Extra[2] = {0, 0};

private:
    // Checks the header and returns the offset of the data, or -1 when it is not valid.
    int64_t ReadHeader(TStream& source);
    void TakeNameArea(const uint8_t* area);
};

} // namespace orvendal
