#pragma once
// TBFH: the holder of the process-wide Blowfish key and the reader and writer of BFH
// containers ("BFH" + mode byte; mode 2 is written, modes 0, 1 and 2 are read).

#include "protect/Blowfish.h"
#include "protect/Streams.h"

#include <cstdint>
#include <string>

namespace orvendal {

class TBFH {
public:
    virtual ~TBFH() = default;

    // Keyword setter: runs the key schedule for key (Windows-1252 bytes) on the process-wide
    // state, replacing the key of every TBFH; an empty key restores the unkeyed tables.
    // Throws EWeakKey when the key is rated weak.
    void SetKeyword(const std::string& key);

    // Rewinds both streams and writes a mode-2 container of the whole source to dest, with a
    // fresh random IV. Stream errors pass as exceptions.
    void EncryptStream(TStream& source, TStream& dest);
    // Deciphers the container in source (from its start) into dest at its position and cuts
    // dest there. False, with dest untouched, for a bad header, a wrong key or damaged padding.
    bool DecryptStream(TStream& source, TStream& dest);

    uint32_t IV[2] = {0, 0};    // the IV of the container read last
    std::string Name;           // mode 0 and 1 only: the stored name (at most 255 bytes)
    uint32_t Extra[2] = {0, 0}; // mode 0 and 1 only: the two words stored beside the name

private:
    // Checks the header and leaves source at the start of the data; false when invalid.
    bool ReadHeader(TStream& source);
    bool ReadNamedHeader(TStream& source, uint8_t mode);
    bool ReadMode2Header(TStream& source);
};

} // namespace orvendal
