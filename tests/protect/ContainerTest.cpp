// Blowfish, CRC-32, the BFH container and zlib streams: published vectors, the key schedule and
// its weak-key rule, the mode-2 writer and the mode 0/1/2 readers with every way a container can
// be broken; zlib round trips that zlib itself reads, and damaged or truncated streams that raise
// and leave buffers and files as they were.
#include "common/TempFolder.h"
#include "protect/BFH.h"
#include "protect/Blowfish.h"
#include "protect/CRC.h"
#include "protect/ZLibStream.h"

#include <array>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

namespace orvendal {
namespace {

using TBytes = std::vector<uint8_t>;
constexpr char Key[] = "Testkennwort";

TBytes Sample(size_t n) {
    TBytes data(n);
    for (uint32_t i = 0, x = 12345; i < n; ++i, x = x * 1103515245u + 12345u)
        data[i] = i % 3 == 0 ? uint8_t(x >> 24) : uint8_t('a' + i % 7);
    return data;
}

// b with a little-endian word appended.
TBytes operator<<(TBytes b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
    return b;
}

TBytes operator+(TBytes a, const TBytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// CBC from the IV under the key; with pad, padded with 1, 2, ... to whole blocks first.
TBytes Cbc(const std::string& key, TBytes data, bool pad, uint32_t iv0 = 1, uint32_t iv1 = 2) {
    for (size_t i = 1, k = 8 - data.size() % 8; pad && i <= k; ++i)
        data.push_back(uint8_t(i));
    blowfish::SetKey(key);
    uint32_t chain[2] = {iv0, iv1};
    blowfish::EncipherCBC(data.data(), data.size(), chain);
    return data;
}

// The message of the E that f raises, "" when it returns.
template <typename E> std::string Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

TEST(Blowfish, VectorsScheduleChainAndOddTail) {
    const char* const vectors[][3] = {{"0000000000000000", "0000000000000000", "4ef997456198dd78"},
                                      {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
                                      {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
                                      {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"}};
    for (const auto& v : vectors) { // published with big-endian words: the blocks are swapped
        TBytes bytes[3] = {TBytes(8), TBytes(8), TBytes(8)};
        for (size_t k = 0, i = 0; k < 3; i = (i + 1) % 8, k += i == 0)
            bytes[k][k == 0 ? i : (i & 4) + 3 - (i & 3)] =
                uint8_t(std::stoi(std::string(v[k] + 2 * i, 2), nullptr, 16));
        EXPECT_EQ(Cbc(std::string(bytes[0].begin(), bytes[0].end()), bytes[1], false, 0, 0),
                  bytes[2])
            << v[0];
    }
    const auto zero = [](const std::string& key) { return Cbc(key, TBytes(8), false, 1, 2); };
    const TBytes unkeyed = zero("");
    EXPECT_NE(zero("secret"), unkeyed);
    EXPECT_EQ(zero(""), unkeyed);         // the empty key returns to the initial tables
    const std::string nine = "abcdefghi"; // 8 copies make the 72 bytes the schedule reads
    EXPECT_EQ(zero(nine), zero(nine + nine + nine + nine + nine + nine + nine + nine + "ignored"));
    TBytes parts = Sample(35);
    const TBytes whole = Cbc("chain", parts, false);
    uint32_t chain[2] = {1, 2};
    blowfish::EncipherCBC(parts.data(), 8, chain);
    blowfish::EncipherCBC(parts.data() + 8, 27, chain);
    EXPECT_EQ(parts, whole);              // the chain carries across calls
    EXPECT_EQ(parts[34], Sample(35)[34]); // bytes after the last whole block stay
}

// The refusal speaks German when the first of LC_ALL, LC_MESSAGES, LANG that is set says "de".
TEST(Blowfish, WeakKeysAreRefusedInTheUsersLanguage) {
    blowfish::TSBoxes boxes{};
    for (uint32_t i = 0; i < 1024; ++i)
        boxes[i / 256][i % 256] = i * 3;
    EXPECT_EQ(Raised<EWeakKey>([&] { blowfish::CheckSBoxes(boxes); }), "");
    boxes[3][200] = boxes[3][7];
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    const std::pair<std::array<const char*, 3>, bool> cases[] = {{{"", "", "de_DE.UTF-8"}, true},
                                                                 {{"", "de_AT", "en_US"}, true},
                                                                 {{"", "", "en_US"}, false},
                                                                 {{"C", "de_DE", "de"}, false}};
    for (const auto& [values, german] : cases) {
        for (int i = 0; i < 3; ++i)
            *values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
        EXPECT_EQ(Raised<EWeakKey>([&] { blowfish::CheckSBoxes(boxes); }),
                  german ? "Kennwort wurde als schwach bewertet und abgelehnt."
                         : "Password was rated and refused as weakly.");
    }
    unsetenv("LC_ALL"), unsetenv("LC_MESSAGES");
}

TEST(CRC, CheckValueAndTheRawRegister) {
    const auto* p = reinterpret_cast<const uint8_t*>("123456789");
    EXPECT_EQ(CRC32(p, 9) + CRC32(nullptr, 0), 0xCBF43926u);
    EXPECT_EQ(~CRC32Update(0xFFFFFFFFu, p, 9), 0xCBF43926u); // mode 0 stores the raw register
    EXPECT_EQ(CRC32Update(0, p, 4), CRC32Update(CRC32Update(0, p, 2), p + 2, 2));
}

// Deciphers with key into out (which holds 1, 2, 3 before); false leaves it so.
bool Decipher(const TBytes& container, TMemoryStream& out, TBFH& bfh, const char* key = Key) {
    out = TMemoryStream(TBytes{1, 2, 3});
    bfh.SetKeyword(key);
    TMemoryStream in(container);
    const bool ok = bfh.DecryptStream(in, out);
    EXPECT_TRUE(ok || out.Bytes() == (TBytes{1, 2, 3}));
    return ok;
}

// Sizes around blocks, the 256 checked bytes and the 64 KB chunks; a fresh IV each time; an
// older, longer destination cut behind the container. Then every way to break one.
TEST(BFHContainer, Mode2WriterAndReader) {
    TBFH bfh;
    TMemoryStream out, first(TBytes(16));
    TBytes good; // of 300 bytes
    for (size_t n : {0, 1, 7, 8, 255, 256, 257, 300, 65528, 65536, 131056, 200000}) {
        TMemoryStream source(Sample(n)), dest(TBytes(300000, 0xAA));
        bfh.SetKeyword(Key);
        bfh.EncryptStream(source, dest);
        const TBytes& bytes = dest.Bytes();
        ASSERT_EQ(bytes.size(), 16 + n + 8 - n % 8) << n;
        EXPECT_EQ(TBytes(bytes.begin(), bytes.begin() + 8),
                  (TBytes{'B', 'F', 'H', 2} << CRC32(Sample(n).data(), std::min<size_t>(256, n))));
        EXPECT_NE(TBytes(bytes.begin() + 8, bytes.begin() + 16),
                  TBytes(first.Bytes().begin() + 8, first.Bytes().begin() + 16)); // fresh IV
        ASSERT_TRUE(Decipher(bytes, out, bfh)) << n;
        EXPECT_EQ(out.Bytes(), Sample(n)) << n;
        first = TMemoryStream(bytes);
        good = n == 300 ? bytes : good;
    }
    // Magic, mode, CRC, short header, no data, partial block, data.
    const size_t damage[][3] = {{0, 1, 320}, {3, 1, 320}, {4, 1, 320},    {0, 0, 10},
                                {0, 0, 16},  {0, 0, 317}, {16, 0x5A, 320}};
    for (const auto& [at, flip, size] : damage) {
        TBytes bad = good;
        bad[at] ^= uint8_t(flip);
        bad.resize(size);
        EXPECT_FALSE(Decipher(bad, out, bfh)) << at << " " << size;
    }
    for (const uint8_t pad : {0, 9, 255, 8}) { // the last deciphered byte: 1 to 8 only
        TBytes data = Sample(400);
        data.back() = pad;
        const TBytes c =
            (TBytes{'B', 'F', 'H', 2} << CRC32(data.data(), 256) << 1 << 2) + Cbc(Key, data, false);
        EXPECT_EQ(Decipher(c, out, bfh) ? out.Size() : 0, pad == 8 ? 392u : 0u) << +pad;
    }
    EXPECT_FALSE(Decipher(good, out, bfh, "anderes Kennwort"));
}

// The legacy containers: mode 1 (CRC of the name area in the header) and mode 0 (the raw CRC
// register after the name area), both with a 264-byte name area enciphered before the data.
TEST(BFHContainer, ReadsModes1And0) {
    for (const uint8_t mode : {1, 0}) {
        const std::string name = mode == 1 ? "bericht.txt" : std::string(256, 'n');
        TBytes area(256);
        std::memcpy(area.data(), name.data(), name.size());
        area = area << 77 << 0xFFFFFFFE;
        const uint32_t crc = mode == 1 ? CRC32(area.data(), 256) : CRC32Update(0, area.data(), 264);
        const TBytes fields = TBytes{} << crc << 1 << 2;
        area = Cbc(Key, area, false);
        TBytes c = TBytes{'B', 'F', 'H', mode} + (mode == 1 ? fields + area : area + fields) +
                   Cbc(Key, Sample(1000), true);
        TBFH bfh;
        TMemoryStream out;
        ASSERT_TRUE(Decipher(c, out, bfh)) << int(mode);
        EXPECT_EQ(out.Bytes(), Sample(1000));
        EXPECT_EQ(bfh.Name, mode == 1 ? name : std::string(255, 'n')); // 255 characters count
        EXPECT_EQ(bfh.Extra[0] + bfh.Extra[1] + bfh.IV[1], 77u + 0xFFFFFFFEu + 2u);
        c[mode == 1 ? 4 : 268] ^= 0x80; // wrong CRC: invalid, and the fields are cleared
        EXPECT_FALSE(Decipher(c, out, bfh));
        EXPECT_EQ(bfh.Name, "");
    }
}

// Deflates from the source's start (its position is mid-way) at the destination's position.
TBytes Deflated(const TBytes& plain) {
    TMemoryStream source(plain), packed;
    source.Seek(plain.size() / 2);
    packed.WriteString("XY");
    DeflateStream(source, packed);
    return TBytes(packed.Bytes().begin() + 2, packed.Bytes().end());
}

TEST(ZLibStream, RoundTripsThatZlibReadsAndDamagedStreamsThatRaise) {
    for (size_t n : {0, 1, 1000, 700000}) {
        const TBytes plain = Sample(n), packed = Deflated(plain);
        TBytes check(n + 1);
        uLongf size = check.size();
        ASSERT_EQ(uncompress(check.data(), &size, packed.data(), packed.size()), Z_OK) << n;
        EXPECT_EQ(TBytes(check.begin(), check.begin() + size), plain);
        TMemoryStream source(packed + TBytes{'T'}), out(TBytes{'k'});
        out.Seek(1);
        InflateStream(source, out);
        EXPECT_EQ(out.Bytes(), TBytes{'k'} + plain) << n;
        EXPECT_EQ(source.Position(), packed.size()); // stops at the end marker
    }
    // The header of the default level, an empty final block, the Adler-32 of nothing.
    EXPECT_EQ(Deflated({}), (TBytes{0x78, 0x9C, 3, 0, 0, 0, 0, 1}));
    // Damaged or truncated streams raise and keep what was there.
    const TBytes good = Deflated(Sample(5000));
    TBytes badAdler = good;
    badAdler.back() ^= 1;
    testing::TTempFolder folder;
    const std::string file = folder.File("x.xm_");
    for (const TBytes& data :
         {TBytes{}, TBytes{'P', 'K', 3, 4}, TBytes(good.begin(), good.begin() + 900),
          TBytes(good.begin(), good.end() - 4), badAdler, good}) {
        TMemoryStream source(data), out, buffer(data), back;
        TMemoryStream(data).SaveToFile(file);
        const bool damaged = data != good;
        const std::function<void()> inflates[] = {[&] { InflateStream(source, out); },
                                                  [&] { InflateBuffer(buffer); },
                                                  [&] { InflateFile(file); }};
        for (const auto& inflate : inflates)
            EXPECT_EQ(Raised<EZLibError>(inflate).empty(), !damaged) << data.size();
        back.LoadFromFile(file);
        EXPECT_EQ(buffer.Bytes(), damaged ? data : Sample(5000));
        EXPECT_EQ(back.Bytes(), damaged ? data : Sample(5000));
    }
    EXPECT_NE(Raised<std::runtime_error>([&] { InflateFile(folder.File("missing")); }), "")
        << "a file error";
}

} // namespace
} // namespace orvendal
