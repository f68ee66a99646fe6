#include "protect/BFH.h"

#include "protect/CRC.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace orvendal {
namespace {

constexpr size_t HeaderSize = 16;
constexpr size_t NamedHeaderSize = 280; // modes 0 and 1: header, name area, extra words
constexpr size_t NameAreaSize = 256;
constexpr size_t CheckSize = 256;       // plaintext bytes covered by the mode-2 CRC
constexpr size_t EncipherChunk = 65528; // a multiple of 8: only the last chunk is padded
constexpr size_t DecipherChunk = 65536;

uint32_t GetLE(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLE(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = uint8_t(v >> (8 * i));
    }
}

// The IV comes from the system's strong random source, never from a seeded generator.
uint32_t RandomWord() {
    static std::random_device device;
    return static_cast<uint32_t>(device());
}

// Appends the padding 1, 2, ..., k (k = 1 to 8) that brings n bytes to a multiple of 8.
size_t Pad(uint8_t* data, size_t n) {
    const size_t k = 8 - n % 8;
    for (size_t i = 0; i < k; ++i) {
        data[n + i] = uint8_t(i + 1);
    }
    return n + k;
}

// The padding length the last byte of n deciphered bytes announces; 0 when it is damaged.
size_t PaddingOf(const uint8_t* data, size_t n) {
    if (n == 0) {
        return 0;
    }
    const size_t k = data[n - 1];
    return k >= 1 && k <= 8 && k <= n ? k : 0;
}

size_t ReadFull(TStream& stream, uint8_t* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const size_t got = stream.Read(buffer + done, count - done);
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

// Whether the enciphered data from start to the end of source is whole blocks whose last
// block deciphers to valid padding; source is left at start. chain is the IV of the data.
bool DataIsSound(TStream& source, uint64_t start, const uint32_t iv[2]) {
    const uint64_t size = source.Size();
    if (size <= start || (size - start) % 8 != 0) {
        return false;
    }
    uint8_t tail[16];
    uint32_t chain[2] = {iv[0], iv[1]};
    const bool oneBlock = size - start == 8;
    source.Seek(oneBlock ? start : size - 16);
    const size_t n = oneBlock ? 8 : 16;
    const bool read = ReadFull(source, tail, n) == n;
    source.Seek(start);
    if (!read) {
        return false;
    }
    blowfish::DecipherCBC(tail, n, chain);
    return PaddingOf(tail, n) != 0;
}

} // namespace

void TBFH::SetKeyword(const std::string& key) {
    blowfish::SetKey(key);
}

void TBFH::EncryptStream(TStream& source, TStream& dest) {
    source.Rewind();
    dest.Rewind();
    uint8_t header[HeaderSize] = {'B', 'F', 'H', 2};
    uint32_t chain[2] = {RandomWord(), RandomWord()};
    std::vector<uint8_t> buffer(EncipherChunk + 8);
    const size_t checked = ReadFull(source, buffer.data(), CheckSize);
    PutLE(header + 4, CRC32(buffer.data(), checked));
    PutLE(header + 8, chain[0]);
    PutLE(header + 12, chain[1]);
    source.Rewind();
    dest.Write(header, sizeof header);

    bool last = false;
    while (!last) {
        size_t n = ReadFull(source, buffer.data(), EncipherChunk);
        last = n < EncipherChunk || source.Position() >= source.Size();
        if (last) {
            n = Pad(buffer.data(), n);
        }
        blowfish::EncipherCBC(buffer.data(), n, chain);
        dest.Write(buffer.data(), n);
    }
    // A longer old content of dest must not survive behind the container.
    dest.Truncate();
}

bool TBFH::DecryptStream(TStream& source, TStream& dest) {
    if (!ReadHeader(source)) {
        return false;
    }
    uint32_t chain[2] = {IV[0], IV[1]};
    std::vector<uint8_t> buffer(DecipherChunk);
    for (;;) {
        const uint64_t remaining = source.Size() - source.Position();
        const size_t n =
            ReadFull(source, buffer.data(), std::min<uint64_t>(DecipherChunk, remaining));
        blowfish::DecipherCBC(buffer.data(), n, chain);
        const bool last = n == remaining;
        // DataIsSound has checked the padding of the final block already.
        dest.Write(buffer.data(), last ? n - PaddingOf(buffer.data(), n) : n);
        if (last) {
            break;
        }
    }
    dest.Truncate();
    return true;
}

bool TBFH::ReadHeader(TStream& source) {
    IV[0] = IV[1] = 0;
    Extra[0] = Extra[1] = 0;
    Name.clear();
    uint8_t header[HeaderSize];
    source.Rewind();
    if (ReadFull(source, header, HeaderSize) != HeaderSize || std::memcmp(header, "BFH", 3) != 0) {
        return false;
    }
    switch (header[3]) {
    case 0:
    case 1:
        return ReadNamedHeader(source, header[3]);
    case 2:
        return ReadMode2Header(source);
    default:
        return false;
    }
}

bool TBFH::ReadNamedHeader(TStream& source, uint8_t mode) {
    uint8_t raw[NamedHeaderSize];
    source.Rewind();
    if (ReadFull(source, raw, NamedHeaderSize) != NamedHeaderSize) {
        return false;
    }
    // Mode 1 enciphers the area at offset 16 with the IV in front; mode 0 at offset 4 with
    // the IV behind it and a CRC without inversions.
    const size_t area = mode == 1 ? 16 : 4;
    const size_t ivAt = mode == 1 ? 8 : 272;
    uint32_t iv[2] = {GetLE(raw + ivAt), GetLE(raw + ivAt + 4)};
    uint32_t chain[2] = {iv[0], iv[1]};
    uint8_t* plain = raw + area;
    blowfish::DecipherCBC(plain, NameAreaSize + 8, chain);
    const bool match = mode == 1 ? CRC32(plain, NameAreaSize) == GetLE(raw + 4)
                                 : CRC32Update(0, plain, NameAreaSize + 8) == GetLE(raw + 268);
    if (!match || !DataIsSound(source, NamedHeaderSize, iv)) {
        return false;
    }
    IV[0] = iv[0];
    IV[1] = iv[1];
    const auto* end = std::find(plain, plain + 255, uint8_t(0));
    Name.assign(reinterpret_cast<const char*>(plain), static_cast<size_t>(end - plain));
    Extra[0] = GetLE(plain + NameAreaSize);
    Extra[1] = GetLE(plain + NameAreaSize + 4);
    return true;
}

bool TBFH::ReadMode2Header(TStream& source) {
    uint8_t header[HeaderSize];
    source.Rewind();
    ReadFull(source, header, HeaderSize);
    uint32_t iv[2] = {GetLE(header + 8), GetLE(header + 12)};
    if (!DataIsSound(source, HeaderSize, iv)) {
        return false;
    }
    uint8_t check[CheckSize];
    size_t n = ReadFull(source, check, CheckSize);
    uint32_t chain[2] = {iv[0], iv[1]};
    blowfish::DecipherCBC(check, n, chain);
    if (source.Position() >= source.Size()) {
        n -= PaddingOf(check, n);
    }
    source.Seek(HeaderSize);
    if (CRC32(check, n) != GetLE(header + 4)) {
        return false;
    }
    IV[0] = iv[0];
    IV[1] = iv[1];
    return true;
}

} // namespace orvendal
