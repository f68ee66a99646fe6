#include "protect/BFH.h"

#include "protect/CRC.h"

#include <cstring>
#include <random>
#include <sys/random.h>
#include <vector>

namespace orvendal {
namespace {

constexpr size_t kEncipherChunk = 65528; // a multiple of 8: only the last chunk is padded
constexpr size_t kDecipherChunk = 65536;
constexpr size_t kNameArea = 264; // 256-byte name, then two words

uint32_t LoadLE(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLE(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = uint8_t(v >> (8 * i));
    }
}

uint32_t RandomWord() {
    uint32_t word = 0;
    if (getrandom(&word, sizeof word, 0) != sizeof word) {
        word = std::random_device{}();
    }
    return word;
}

// The padding length of deciphered data ending at last, or 0 when the padding is damaged.
size_t PaddingOf(const uint8_t* data, size_t n) {
    if (n == 0) {
        return 0;
    }
    const size_t k = data[n - 1];
    return k >= 1 && k <= 8 && k <= n ? k : 0;
}

} // namespace

void TBFH::SetKeyword(const std::string& key) {
    BlowfishSetKey(key);
}

void TBFH::EncryptStream(TStream& source, TStream& destination) {
    source.Rewind();
    destination.Rewind();
    const TChain iv{RandomWord(), RandomWord()};
    uint8_t first[256];
    const size_t headLength = source.Read(first, sizeof first);
    source.Rewind();

    uint8_t header[16] = {'B', 'F', 'H', 2};
    StoreLE(header + 4, CRC32(first, headLength));
    StoreLE(header + 8, iv.C0);
    StoreLE(header + 12, iv.C1);
    destination.Write(header, sizeof header);

    TChain chain = iv;
    std::vector<uint8_t> buffer(kEncipherChunk + 8);
    for (bool last = false; !last;) {
        const uint64_t remaining = source.Size() - source.Position();
        size_t n = source.Read(buffer.data(), std::min<uint64_t>(kEncipherChunk, remaining));
        last = source.Position() >= source.Size();
        if (last) {
            const size_t k = 8 - n % 8;
            for (size_t i = 1; i <= k; ++i) {
                buffer[n++] = uint8_t(i);
            }
        }
        BlowfishEncipherCBC(buffer.data(), n, chain);
        destination.Write(buffer.data(), n);
    }
    destination.Truncate();
}

void TBFH::TakeNameArea(const uint8_t* area) {
    Name.assign(reinterpret_cast<const char*>(area),
                strnlen(reinterpret_cast<const char*>(area), 255));
    Extra[0] = LoadLE(area + 256);
    Extra[1] = LoadLE(area + 260);
}

int64_t TBFH::ReadHeader(TStream& source) {
    IV = {};
    Name.clear();
    Extra[0] = Extra[1] = 0;
    source.Rewind();
    uint8_t head[280];
    if (source.Read(head, 16) != 16 || std::memcmp(head, "BFH", 3) != 0) {
        return -1;
    }
    const uint32_t crc = LoadLE(head + 4);
    TChain iv{LoadLE(head + 8), LoadLE(head + 12)};
    switch (head[3]) {
    case 1: {
        uint8_t* area = head + 16;
        if (source.Read(area, kNameArea) != kNameArea) {
            return -1;
        }
        TChain chain = iv;
        BlowfishDecipherCBC(area, kNameArea, chain);
        if (CRC32(area, 256) != crc) {
            return -1;
        }
        TakeNameArea(area);
        IV = iv;
        return 280;
    }
    case 2: {
        uint8_t first[256];
        size_t n = source.Read(first, sizeof first);
        const bool atEnd = source.Position() >= source.Size();
        if (n % 8 != 0 || n == 0) {
            return -1;
        }
        TChain chain = iv;
        BlowfishDecipherCBC(first, n, chain);
        if (atEnd) {
            const size_t k = PaddingOf(first, n);
            if (k == 0) {
                return -1;
            }
            n -= k;
        }
        if (CRC32(first, n) != crc) {
            return -1;
        }
        IV = iv;
        return 16;
    }
    case 0: {
        if (source.Read(head + 16, 264) != 264) {
            return -1;
        }
        iv = {LoadLE(head + 272), LoadLE(head + 276)};
        TChain chain = iv;
        BlowfishDecipherCBC(head + 4, kNameArea, chain);
        if (CRC32Update(0, head + 4, kNameArea) != LoadLE(head + 268)) {
            return -1;
        }
        TakeNameArea(head + 4);
        IV = iv;
        return 280;
    }
    default:
        return -1;
    }
}

bool TBFH::DecryptStream(TStream& source, TStream& destination) {
    const int64_t start = ReadHeader(source);
    if (start < 0) {
        return false;
    }
    source.Seek(static_cast<uint64_t>(start));
    const uint64_t length = source.Size() - source.Position();
    if (length == 0 || length % 8 != 0) {
        return false;
    }
    // Deciphered whole before anything is written, so a damaged end leaves no partial output.
    std::vector<uint8_t> plain(length);
    TChain chain = IV;
    for (size_t done = 0; done < length;) {
        const size_t n =
            source.Read(plain.data() + done, std::min<uint64_t>(kDecipherChunk, length - done));
        if (n == 0) {
            return false;
        }
        BlowfishDecipherCBC(plain.data() + done, n, chain);
        done += n;
    }
    const size_t k = PaddingOf(plain.data(), plain.size());
    if (k == 0) {
        return false;
    }
    destination.Write(plain.data(), plain.size() - k);
    destination.Truncate();
    return true;
}

} // namespace orvendal
