#include "protect/Blowfish.h"
#include "protect/BFH.h"
#include "protect/CRC.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvendal {
namespace {

std::string Bytes(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

std::string Hex(const uint8_t* data, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// The published vectors use big-endian words; the container's blocks are little-endian.
void SwapHalves(uint8_t* block) {
    std::swap(block[0], block[3]);
    std::swap(block[1], block[2]);
    std::swap(block[4], block[7]);
    std::swap(block[5], block[6]);
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

class BlowfishVectors : public ::testing::TestWithParam<Vector> {};

TEST_P(BlowfishVectors, EncipherAndDecipherInLittleEndianWordOrder) {
    const Vector& v = GetParam();
    blowfish::SetKey(Bytes(v.key));
    std::string plain = Bytes(v.plain);
    uint8_t block[8];
    std::memcpy(block, plain.data(), 8);
    SwapHalves(block);
    uint32_t chain[2] = {0, 0};
    blowfish::EncipherCBC(block, 8, chain);
    SwapHalves(block);
    EXPECT_EQ(Hex(block, 8), v.cipher);

    SwapHalves(block);
    uint32_t back[2] = {0, 0};
    blowfish::DecipherCBC(block, 8, back);
    SwapHalves(block);
    EXPECT_EQ(Hex(block, 8), v.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Published, BlowfishVectors,
    ::testing::Values(Vector{"0000000000000000", "0000000000000000", "4EF997456198DD78"},
                      Vector{"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
                      Vector{"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
                      Vector{"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
                      Vector{"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
                      Vector{"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"}));

TEST(Blowfish, EmptyKeyReturnsToTheInitialTables) {
    uint32_t l = 0, r = 0;
    blowfish::SetKey("");
    blowfish::EncipherBlock(l, r);
    const uint32_t unkeyedL = l, unkeyedR = r;

    blowfish::SetKey("secret");
    l = r = 0;
    blowfish::EncipherBlock(l, r);
    EXPECT_NE(l, unkeyedL);

    TBFH bfh;
    bfh.SetKeyword("");
    l = r = 0;
    blowfish::EncipherBlock(l, r);
    EXPECT_EQ(l, unkeyedL);
    EXPECT_EQ(r, unkeyedR);
}

TEST(Blowfish, KeyRepeatedUpTo72BytesGivesTheSameSchedule) {
    auto encipherZero = [](const std::string& key) {
        blowfish::SetKey(key);
        uint32_t l = 0, r = 0;
        blowfish::EncipherBlock(l, r);
        return (uint64_t(l) << 32) | r;
    };
    const std::string key = "abcdefghi"; // 9 bytes: 8 copies make 72
    std::string repeated;
    for (int i = 0; i < 8; ++i) {
        repeated += key;
    }
    EXPECT_EQ(encipherZero(key), encipherZero(repeated));
    EXPECT_EQ(encipherZero(repeated), encipherZero(repeated + "ignored beyond 72"));
    EXPECT_NE(encipherZero(key), encipherZero("abcdefghj"));
}

TEST(Blowfish, CBCChainCarriesAcrossCalls) {
    blowfish::SetKey("chain");
    uint8_t whole[32], parts[32];
    for (int i = 0; i < 32; ++i) {
        whole[i] = parts[i] = uint8_t(i * 7);
    }
    uint32_t a[2] = {1, 2}, b[2] = {1, 2};
    blowfish::EncipherCBC(whole, 32, a);
    blowfish::EncipherCBC(parts, 8, b);
    blowfish::EncipherCBC(parts + 8, 24, b);
    EXPECT_EQ(0, std::memcmp(whole, parts, 32));
    EXPECT_EQ(a[0], b[0]);
    // Bytes after the last whole block stay as they are.
    uint8_t odd[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    uint32_t c[2] = {0, 0};
    blowfish::EncipherCBC(odd, 11, c);
    EXPECT_EQ(odd[8], 8);
    EXPECT_EQ(odd[10], 10);
    uint32_t d[2] = {0, 0};
    blowfish::DecipherCBC(odd, 11, d);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(odd[i], i);
    }
}

class WeakKeyLanguage : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
        }
    }
    std::string RefusalOf(const blowfish::TSBoxes& boxes) {
        try {
            blowfish::CheckSBoxes(boxes);
        } catch (const EWeakKey& e) {
            return e.what();
        }
        return "accepted";
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

blowfish::TSBoxes DistinctBoxes() {
    blowfish::TSBoxes boxes{};
    for (uint32_t b = 0; b < 4; ++b) {
        for (uint32_t i = 0; i < 256; ++i) {
            boxes[b][i] = b * 1000 + i * 3;
        }
    }
    return boxes;
}

TEST_F(WeakKeyLanguage, RepeatedEntryInAnyBoxIsRefusedInTheUsersLanguage) {
    blowfish::TSBoxes weak = DistinctBoxes();
    weak[3][200] = weak[3][7];
    struct {
        const char* variable;
        const char* value;
        const char* text;
    } cases[] = {
        {"LANG", "de_DE.UTF-8", "Kennwort wurde als schwach bewertet und abgelehnt."},
        {"LC_MESSAGES", "de_AT", "Kennwort wurde als schwach bewertet und abgelehnt."},
        {"LANG", "en_US.UTF-8", "Password was rated and refused as weakly."},
        {"LC_ALL", "C", "Password was rated and refused as weakly."},
    };
    for (const auto& c : cases) {
        setenv(c.variable, c.value, 1);
        EXPECT_EQ(RefusalOf(weak), c.text) << c.variable << "=" << c.value;
        unsetenv(c.variable);
    }
    // LC_ALL wins over LANG.
    setenv("LANG", "de_DE", 1);
    setenv("LC_ALL", "en_GB", 1);
    EXPECT_EQ(RefusalOf(weak), "Password was rated and refused as weakly.");
}

TEST_F(WeakKeyLanguage, DistinctBoxesAndNormalKeysPass) {
    EXPECT_EQ(RefusalOf(DistinctBoxes()), "accepted");
    for (int b = 0; b < 4; ++b) {
        blowfish::TSBoxes weak = DistinctBoxes();
        weak[b][0] = weak[b][255];
        EXPECT_NE(RefusalOf(weak), "accepted") << "box " << b;
    }
    for (const char* key : {"a", "password", "Kennwort mit Umlaut \xE4", "0123456789"}) {
        EXPECT_NO_THROW(blowfish::SetKey(key)) << key;
    }
}

TEST(CRC, CheckValueAndEmpty) {
    const std::string check = "123456789";
    EXPECT_EQ(CRC32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    EXPECT_EQ(CRC32(nullptr, 0), 0u);
    // The raw register from 0 is what the mode-0 header stores: not the inverted CRC.
    const auto* p = reinterpret_cast<const uint8_t*>(check.data());
    EXPECT_EQ(~CRC32Update(0xFFFFFFFFu, p, 9), 0xCBF43926u);
    EXPECT_EQ(CRC32Update(0, p, 4), CRC32Update(CRC32Update(0, p, 2), p + 2, 2));
    EXPECT_NE(CRC32Update(0, p, 9), 0xCBF43926u);
}

} // namespace
} // namespace orvendal
