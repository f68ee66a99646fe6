// Blowfish, CRC-32 and the BFH container: published vectors, the key schedule and its weak-key
// rule, the mode-2 writer and the mode 0/1/2 readers with every way a container can be broken.
#include "protect/BFH.h"
#include "protect/Blowfish.h"
#include "protect/CRC.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>

namespace orvendal {
namespace {

using TBytes = std::vector<uint8_t>;
constexpr char Key[] = "Testkennwort";

TBytes Pattern(size_t n) {
    TBytes data(n);
    for (size_t i = 0; i < n; ++i)
        data[i] = uint8_t(i * 31 + i / 251);
    return data;
}

uint32_t Word(const TBytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

void PutWord(TBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

// Enciphers the bytes in CBC from iv; with pad, first padded with 1, 2, ... to whole blocks.
TBytes Cbc(TBytes data, uint32_t iv0, uint32_t iv1, bool pad) {
    for (size_t i = 1, k = 8 - data.size() % 8; pad && i <= k; ++i)
        data.push_back(uint8_t(i));
    uint32_t chain[2] = {iv0, iv1};
    blowfish::EncipherCBC(data.data(), data.size(), chain);
    return data;
}

TEST(Blowfish, PublishedVectorsInLittleEndianWords) {
    const char* const vectors[][3] = {{"0000000000000000", "0000000000000000", "4ef997456198dd78"},
                                      {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
                                      {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
                                      {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"}};
    const auto bytes = [](const char* hex, bool words) { // the vectors' words are big-endian
        TBytes out(8);
        for (size_t i = 0; i < 8; ++i)
            out[words ? (i & 4) + 3 - (i & 3) : i] =
                uint8_t(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
        return out;
    };
    for (const auto& v : vectors) {
        const TBytes key = bytes(v[0], false);
        blowfish::SetKey(std::string(key.begin(), key.end()));
        EXPECT_EQ(Cbc(bytes(v[1], true), 0, 0, false), bytes(v[2], true)) << v[0];
    }
}

TEST(Blowfish, ScheduleChainAndOddTail) {
    const auto zero = [](const std::string& key) {
        blowfish::SetKey(key);
        return Cbc(TBytes(8), 0, 0, false);
    };
    const TBytes unkeyed = zero("");
    EXPECT_NE(zero("secret"), unkeyed);
    TBFH().SetKeyword(""); // the empty key returns to the initial tables
    EXPECT_EQ(Cbc(TBytes(8), 0, 0, false), unkeyed);
    std::string repeated; // 8 copies of 9 bytes make the 72 the schedule reads
    for (int i = 0; i < 8; ++i)
        repeated += "abcdefghi";
    EXPECT_EQ(zero("abcdefghi"), zero(repeated));
    EXPECT_EQ(zero(repeated), zero(repeated + "ignored"));

    blowfish::SetKey("chain");
    TBytes parts = Pattern(35), whole = Cbc(parts, 1, 2, false);
    uint32_t chain[2] = {1, 2};
    blowfish::EncipherCBC(parts.data(), 8, chain);
    blowfish::EncipherCBC(parts.data() + 8, 27, chain);
    EXPECT_EQ(parts, whole);               // the chain carries across calls
    EXPECT_EQ(parts[34], Pattern(35)[34]); // bytes after the last whole block stay
}

// The refusal speaks German when the first of LC_ALL, LC_MESSAGES, LANG that is set says "de".
TEST(Blowfish, WeakKeysAreRefusedInTheUsersLanguage) {
    blowfish::TSBoxes boxes{};
    for (uint32_t b = 0; b < 4; ++b)
        for (uint32_t i = 0; i < 256; ++i)
            boxes[b][i] = b * 1000 + i * 3;
    EXPECT_NO_THROW(blowfish::CheckSBoxes(boxes));
    boxes[3][200] = boxes[3][7];
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const auto& [values, german] :
         {std::pair<std::array<const char*, 3>, bool>{{"", "", "de_DE.UTF-8"}, true},
          {{"", "de_AT", "en_US"}, true},
          {{"", "", "en_US"}, false},
          {{"C", "de_DE", "de_DE"}, false}}) {
        for (int i = 0; i < 3; ++i)
            *values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
        EXPECT_THROW(
            try { blowfish::CheckSBoxes(boxes); } catch (const EWeakKey& e) {
                EXPECT_STREQ(e.what(), german ? "Kennwort wurde als schwach bewertet und abgelehnt."
                                              : "Password was rated and refused as weakly.");
                throw;
            },
            EWeakKey);
    }
    unsetenv("LC_ALL"), unsetenv("LC_MESSAGES");
}

TEST(CRC, CheckValueAndTheRawRegister) {
    const auto* p = reinterpret_cast<const uint8_t*>("123456789");
    EXPECT_EQ(CRC32(p, 9), 0xCBF43926u);
    EXPECT_EQ(CRC32(nullptr, 0), 0u);
    EXPECT_EQ(~CRC32Update(0xFFFFFFFFu, p, 9), 0xCBF43926u); // mode 0 stores the raw register
    EXPECT_EQ(CRC32Update(0, p, 4), CRC32Update(CRC32Update(0, p, 2), p + 2, 2));
}

TMemoryStream Encipher(const TBytes& plain, TBytes old = {}) {
    TBFH bfh;
    bfh.SetKeyword(Key);
    TMemoryStream source(plain), dest(std::move(old));
    bfh.EncryptStream(source, dest);
    return dest;
}

bool Decipher(const TBytes& container, TMemoryStream& out, TBFH& bfh) {
    bfh.SetKeyword(Key);
    TMemoryStream in(container);
    return bfh.DecryptStream(in, out);
}

// Sizes around blocks, the 256 checked bytes and the 64 KB chunks; a fresh IV each time; an
// older, longer destination cut behind the container.
TEST(BFHContainer, Mode2LayoutSizesAndChunks) {
    for (size_t n : {0, 1, 7, 8, 255, 256, 257, 65528, 65536, 131056, 200000}) {
        const TBytes plain = Pattern(n);
        const TBytes bytes = Encipher(plain, TBytes(300000, 0xAA)).Bytes();
        ASSERT_EQ(bytes.size(), 16 + n + 8 - n % 8) << n;
        EXPECT_EQ(std::memcmp(bytes.data(), "BFH\2", 4), 0);
        EXPECT_EQ(Word(bytes, 4), CRC32(plain.data(), std::min<size_t>(256, n))) << n;
        const TBytes again = Encipher(plain).Bytes();
        EXPECT_NE(TBytes(bytes.begin() + 8, bytes.begin() + 16),
                  TBytes(again.begin() + 8, again.begin() + 16)); // a fresh IV
        TBFH bfh;
        TMemoryStream out(TBytes(70000, 1));
        ASSERT_TRUE(Decipher(bytes, out, bfh)) << n;
        EXPECT_EQ(out.Bytes(), plain) << n;
    }
}

// A mode-2 container made by hand whose last deciphered byte is pad.
TBytes Mode2WithPadding(size_t size, uint8_t pad) {
    TBytes data = Pattern(size), header = {'B', 'F', 'H', 2, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    data.back() = pad;
    PutWord(header, 4, CRC32(data.data(), std::min<size_t>(pad <= 8 ? size - pad : size, 256)));
    blowfish::SetKey(Key);
    data = Cbc(data, Word(header, 8), Word(header, 12), false);
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

TEST(BFHContainer, WrongKeyDamageOrBadPaddingGivesFalseAndWritesNothing) {
    const TBytes good = Encipher(Pattern(300)).Bytes();
    std::vector<TBytes> cases; // magic, mode, CRC, short header, no data, partial block, data
    for (const auto& [at, flip, size] : {std::array<size_t, 3>{0, 1, 320},
                                         {3, 1, 320},
                                         {4, 1, 320},
                                         {0, 0, 10},
                                         {0, 0, 16},
                                         {0, 0, 317},
                                         {16, 0x5A, 320}}) {
        cases.push_back(good); // 320 bytes
        cases.back()[at] ^= uint8_t(flip);
        cases.back().resize(size);
    }
    for (const auto& [size, pad] : {std::pair<size_t, uint8_t>{16, 0}, {400, 9}, {8, 255}})
        cases.push_back(Mode2WithPadding(size, pad));
    for (const TBytes& container : cases) {
        TBFH bfh;
        TMemoryStream out(TBytes{1, 2, 3});
        EXPECT_FALSE(Decipher(container, out, bfh)) << &container - cases.data();
        EXPECT_EQ(out.Bytes(), (TBytes{1, 2, 3})) << &container - cases.data();
    }
    TBFH bfh, other;
    TMemoryStream out, container(good);
    EXPECT_TRUE(Decipher(Mode2WithPadding(400, 8), out, bfh));
    EXPECT_EQ(out.Size(), 392u);
    other.SetKeyword("anderes Kennwort");
    EXPECT_FALSE(other.DecryptStream(container, out));
}

// The legacy containers: mode 1 (CRC of the name area in the header) and mode 0 (the raw CRC
// register after the name area), both with a 264-byte name area enciphered before the data.
TEST(BFHContainer, ReadsModes1And0) {
    for (const uint8_t mode : {1, 0}) {
        SCOPED_TRACE(int(mode));
        blowfish::SetKey(Key);
        const std::string name = mode == 1 ? "bericht.txt" : std::string(256, 'n');
        TBytes area(264, 0), c = {'B', 'F', 'H', mode}, fields(12);
        std::memcpy(area.data(), name.data(), name.size());
        PutWord(area, 256, 77);
        PutWord(area, 260, 0xFFFFFFFE);
        PutWord(fields, 0, mode == 1 ? CRC32(area.data(), 256) : CRC32Update(0, area.data(), 264));
        PutWord(fields, 4, 0xDEADBEEF);
        PutWord(fields, 8, 0x01234567);
        area = Cbc(area, 0xDEADBEEF, 0x01234567, false);
        for (const TBytes* part :
             mode == 1 ? std::array{&fields, &area} : std::array{&area, &fields})
            c.insert(c.end(), part->begin(), part->end());
        const TBytes data = Cbc(Pattern(1000), 0xDEADBEEF, 0x01234567, true);
        c.insert(c.end(), data.begin(), data.end());
        TBFH bfh;
        TMemoryStream out;
        ASSERT_TRUE(Decipher(c, out, bfh));
        EXPECT_EQ(out.Bytes(), Pattern(1000));
        EXPECT_EQ(bfh.Name, mode == 1 ? name : std::string(255, 'n')); // 255 characters count
        EXPECT_EQ(bfh.Extra[0] + bfh.Extra[1] + bfh.IV[0], 77u + 0xFFFFFFFEu + 0xDEADBEEFu);
        c[mode == 1 ? 4 : 268] ^= 0x80; // wrong CRC: invalid, and the fields are cleared
        EXPECT_FALSE(Decipher(c, out, bfh));
        EXPECT_EQ(bfh.Name, "");
    }
}

} // namespace
} // namespace orvendal
