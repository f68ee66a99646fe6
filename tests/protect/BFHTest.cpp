#include "protect/BFH.h"
#include "protect/CRC.h"
#include "protect/Crypt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace orvendal {
namespace {

constexpr char Key[] = "Testkennwort";

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> data(n);
    for (size_t i = 0; i < n; ++i) {
        data[i] = uint8_t(i * 31 + i / 251);
    }
    return data;
}

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void PutWord(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = uint8_t(v >> (8 * i));
    }
}

TMemoryStream Encipher(const std::vector<uint8_t>& plain) {
    TBFH bfh;
    bfh.SetKeyword(Key);
    TMemoryStream source(plain), dest;
    bfh.EncryptStream(source, dest);
    return dest;
}

bool Decipher(TMemoryStream& container, TMemoryStream& out) {
    TBFH bfh;
    bfh.SetKeyword(Key);
    return bfh.DecryptStream(container, out);
}

TEST(BFHContainer, Mode2LayoutAndSizes) {
    struct {
        size_t plain;
        size_t container;
    } cases[] = {{0, 24}, {1, 24}, {7, 24}, {8, 32}, {255, 272}, {256, 280}, {257, 280}};
    for (const auto& c : cases) {
        std::vector<uint8_t> plain = Pattern(c.plain);
        TMemoryStream container = Encipher(plain);
        const auto& bytes = container.Bytes();
        ASSERT_EQ(bytes.size(), c.container) << c.plain;
        EXPECT_EQ(0, std::memcmp(bytes.data(), "BFH\2", 4));
        const size_t checked = std::min<size_t>(256, c.plain);
        EXPECT_EQ(Word(bytes, 4), CRC32(plain.data(), checked)) << c.plain;
        TMemoryStream out;
        ASSERT_TRUE(Decipher(container, out)) << c.plain;
        EXPECT_EQ(out.Bytes(), plain) << c.plain;
    }
    EXPECT_EQ(Word(Encipher({}).Bytes(), 4), 0u);
}

TEST(BFHContainer, FreshIVEachTime) {
    TMemoryStream a = Encipher(Pattern(40)), b = Encipher(Pattern(40));
    EXPECT_NE(std::vector<uint8_t>(a.Bytes().begin() + 8, a.Bytes().begin() + 16),
              std::vector<uint8_t>(b.Bytes().begin() + 8, b.Bytes().begin() + 16));
    EXPECT_NE(a.Bytes(), b.Bytes());
}

TEST(BFHContainer, StreamAcrossChunkBoundaries) {
    for (size_t n : {size_t(200000), size_t(65528), size_t(65536), size_t(131056)}) {
        std::vector<uint8_t> plain = Pattern(n);
        TMemoryStream container = Encipher(plain);
        EXPECT_EQ(container.Size(), 16 + n + (8 - n % 8)) << n;
        TMemoryStream out;
        out.WriteString("old content that is longer than nothing");
        out.Rewind();
        ASSERT_TRUE(Decipher(container, out)) << n;
        EXPECT_EQ(out.Bytes(), plain) << n;
    }
}

TEST(BFHContainer, EncipherCutsALongerDestination) {
    TBFH bfh;
    bfh.SetKeyword(Key);
    TMemoryStream source(Pattern(10)), dest(std::vector<uint8_t>(500, 0xAA));
    bfh.EncryptStream(source, dest);
    EXPECT_EQ(dest.Size(), 32u);
}

TEST(BFHContainer, WrongKeyOrDamageGivesFalseAndWritesNothing) {
    const std::vector<uint8_t> plain = Pattern(300);
    const TMemoryStream good = Encipher(plain);
    auto tampered = [&](auto change) {
        TMemoryStream c(good.Bytes());
        change(c.Bytes());
        return c;
    };
    std::vector<std::pair<const char*, TMemoryStream>> cases;
    cases.emplace_back("no magic", tampered([](auto& b) { b[0] = 'X'; }));
    cases.emplace_back("mode 3", tampered([](auto& b) { b[3] = 3; }));
    cases.emplace_back("crc", tampered([](auto& b) { b[4] ^= 1; }));
    cases.emplace_back("short header", tampered([](auto& b) { b.resize(10); }));
    cases.emplace_back("no data", tampered([](auto& b) { b.resize(16); }));
    cases.emplace_back("partial block", tampered([](auto& b) { b.resize(b.size() - 3); }));
    cases.emplace_back("damaged first block", tampered([](auto& b) { b[16] ^= 0x5A; }));
    for (auto& [what, container] : cases) {
        TMemoryStream out(std::vector<uint8_t>{1, 2, 3});
        EXPECT_FALSE(Decipher(container, out)) << what;
        EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{1, 2, 3})) << what;
    }
    TBFH other;
    other.SetKeyword("anderes Kennwort");
    TMemoryStream container(good.Bytes()), out;
    EXPECT_FALSE(other.DecryptStream(container, out));
    EXPECT_EQ(out.Size(), 0u);
}

// Builds a mode-2 container by hand whose final padding byte is pad.
TMemoryStream Mode2WithPadding(const std::vector<uint8_t>& blocks, uint8_t pad) {
    std::vector<uint8_t> data = blocks;
    data.back() = pad;
    size_t kept = pad >= 1 && pad <= 8 ? data.size() - pad : data.size();
    std::vector<uint8_t> header = {'B',  'F',  'H',  2,    0, 0, 0, 0,
                                   0x11, 0x22, 0x33, 0x44, 5, 6, 7, 8};
    PutWord(header, 4, CRC32(data.data(), std::min<size_t>(kept, 256)));
    uint32_t chain[2] = {Word(header, 8), Word(header, 12)};
    blowfish::SetKey(Key);
    blowfish::EncipherCBC(data.data(), data.size(), chain);
    header.insert(header.end(), data.begin(), data.end());
    return TMemoryStream(header);
}

TEST(BFHContainer, PaddingByteOutsideOneToEightIsRejected) {
    for (size_t size : {size_t(8), size_t(16), size_t(400)}) {
        for (uint8_t pad : {0, 9, 200, 255}) {
            TMemoryStream container = Mode2WithPadding(Pattern(size), pad);
            TMemoryStream out;
            EXPECT_FALSE(Decipher(container, out)) << size << " pad " << int(pad);
            EXPECT_EQ(out.Size(), 0u);
        }
        TMemoryStream container = Mode2WithPadding(Pattern(size), 8);
        TMemoryStream out;
        EXPECT_TRUE(Decipher(container, out)) << size;
        EXPECT_EQ(out.Size(), size - 8);
    }
}

// The named legacy containers, built from their byte layout.
std::vector<uint8_t> NameArea(const std::string& name, uint32_t e0, uint32_t e1) {
    std::vector<uint8_t> area(264, 0);
    std::memcpy(area.data(), name.data(), name.size());
    PutWord(area, 256, e0);
    PutWord(area, 260, e1);
    return area;
}

std::vector<uint8_t> PaddedCipher(std::vector<uint8_t> plain, const uint32_t iv[2]) {
    const size_t k = 8 - plain.size() % 8;
    for (size_t i = 1; i <= k; ++i) {
        plain.push_back(uint8_t(i));
    }
    uint32_t chain[2] = {iv[0], iv[1]};
    blowfish::EncipherCBC(plain.data(), plain.size(), chain);
    return plain;
}

TEST(BFHContainer, ReadsMode1) {
    blowfish::SetKey(Key);
    const uint32_t iv[2] = {0xDEADBEEF, 0x01234567};
    std::vector<uint8_t> area = NameArea("bericht.txt", 77, 0xFFFFFFFE);
    std::vector<uint8_t> c = {'B', 'F', 'H', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    PutWord(c, 4, CRC32(area.data(), 256));
    PutWord(c, 8, iv[0]);
    PutWord(c, 12, iv[1]);
    uint32_t chain[2] = {iv[0], iv[1]};
    blowfish::EncipherCBC(area.data(), area.size(), chain);
    c.insert(c.end(), area.begin(), area.end());
    const std::vector<uint8_t> plain = Pattern(1000);
    std::vector<uint8_t> data = PaddedCipher(plain, iv);
    c.insert(c.end(), data.begin(), data.end());

    TBFH bfh;
    TMemoryStream container(c), out;
    ASSERT_TRUE(bfh.DecryptStream(container, out));
    EXPECT_EQ(out.Bytes(), plain);
    EXPECT_EQ(bfh.Name, "bericht.txt");
    EXPECT_EQ(bfh.Extra[0], 77u);
    EXPECT_EQ(bfh.Extra[1], 0xFFFFFFFEu);
    EXPECT_EQ(bfh.IV[0], iv[0]);

    c[4] ^= 0x80; // wrong CRC: invalid, and the fields are cleared
    TMemoryStream bad(c), none;
    EXPECT_FALSE(bfh.DecryptStream(bad, none));
    EXPECT_EQ(bfh.Name, "");
    EXPECT_EQ(none.Size(), 0u);
}

TEST(BFHContainer, ReadsMode0) {
    blowfish::SetKey(Key);
    const uint32_t iv[2] = {0x0BADF00D, 0x600DCAFE};
    std::string longName(300, 'n'); // only 255 characters count
    std::vector<uint8_t> area = NameArea(longName.substr(0, 256), 5, 6);
    const uint32_t crc = CRC32Update(0, area.data(), area.size());
    uint32_t chain[2] = {iv[0], iv[1]};
    blowfish::EncipherCBC(area.data(), area.size(), chain);
    std::vector<uint8_t> c = {'B', 'F', 'H', 0};
    c.resize(280);
    std::copy(area.begin(), area.end(), c.begin() + 4);
    PutWord(c, 268, crc);
    PutWord(c, 272, iv[0]);
    PutWord(c, 276, iv[1]);
    const std::vector<uint8_t> plain = Pattern(16);
    std::vector<uint8_t> data = PaddedCipher(plain, iv);
    c.insert(c.end(), data.begin(), data.end());

    TBFH bfh;
    TMemoryStream container(c), out;
    ASSERT_TRUE(bfh.DecryptStream(container, out));
    EXPECT_EQ(out.Bytes(), plain);
    EXPECT_EQ(bfh.Name, std::string(255, 'n'));
    EXPECT_EQ(bfh.Extra[1], 6u);
    EXPECT_EQ(bfh.IV[1], iv[1]);
}

} // namespace
} // namespace orvendal
