#include "protect/Crypt.h"
#include "protect/KeyList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvendal {
namespace {

TEST(Crypt, StreamRoundTripRewindsTheDestination) {
    TMemoryStream plain, container, out;
    plain.WriteString("Auftrag 4711\r\nMonteur M\xFCller");
    EncryptStream(plain, container);
    EXPECT_EQ(container.Size(), 16u + 32u);
    ASSERT_TRUE(DecryptStream(out, container));
    EXPECT_EQ(out.Position(), 0u);
    EXPECT_EQ(out.AsString(), plain.AsString());
}

TEST(Crypt, LinesAreWrittenWithCRLFAndReadBack) {
    const std::vector<std::string> lines = {"1=4711", "", "25=monteur@example.org", "x=a=b"};
    TMemoryStream container;
    EncryptLines(lines, container);
    TMemoryStream plain;
    ASSERT_TRUE(DecryptStream(plain, container));
    EXPECT_EQ(plain.AsString(), "1=4711\r\n\r\n25=monteur@example.org\r\nx=a=b\r\n");
    std::vector<std::string> back = {"stale"};
    ASSERT_TRUE(DecryptLines(container, back));
    EXPECT_EQ(back, lines);
}

TEST(Crypt, LinesWithBareLFAreAccepted) {
    TMemoryStream plain, container;
    plain.WriteString("a=1\nb=2\r\nc=3");
    EncryptStream(plain, container);
    std::vector<std::string> lines;
    ASSERT_TRUE(DecryptLines(container, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"a=1", "b=2", "c=3"}));
}

TEST(Crypt, WrongKeyGivesFalseAndNothing) {
    TMemoryStream container;
    EncryptLines({"1=geheim"}, container, "ein anderer Schluessel");
    std::vector<std::string> lines = {"stale"};
    EXPECT_FALSE(DecryptLines(container, lines));
    EXPECT_TRUE(lines.empty());
    std::string text = "stale";
    DecryptText(container, text);
    EXPECT_EQ(text, "");
    ASSERT_TRUE(DecryptLines(container, lines, "ein anderer Schluessel"));
    EXPECT_EQ(lines, (std::vector<std::string>{"1=geheim"}));
}

TEST(Crypt, TextRoundTripJoinsWithoutFinalBreak) {
    for (const std::string text : {"", "x", "zwei\r\nZeilen", "\xC4rger mit \x80"}) {
        TMemoryStream container;
        EncryptText(text, container);
        std::string back = "stale";
        DecryptText(container, back);
        EXPECT_EQ(back, text);
    }
}

TEST(Crypt, HexSubjectsHaveTheirKnownLengths) {
    struct {
        std::string subject;
        size_t digits;
    } cases[] = {{"", 48}, {"12345", 48}, {"123456", 64}, {"1_2_abcdefghijklm", 80}};
    for (const auto& c : cases) {
        std::string hex;
        EncryptTextToHex(c.subject, hex);
        EXPECT_EQ(hex.size(), c.digits) << c.subject;
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(hex.substr(0, 8), "42464802"); // "BFH" 2
        std::string back = "stale";
        DecryptHexText(hex, back);
        EXPECT_EQ(back, c.subject);
        // Upper-case digits and an odd last character read the same.
        std::string upper = hex;
        for (char& ch : upper) {
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        }
        back.clear();
        DecryptHexText(upper + "7", back);
        EXPECT_EQ(back, c.subject);
    }
}

TEST(Crypt, PlainSubjectsDecipherToNothing) {
    const std::vector<std::string> subjects = {"", "0_4711_Geraet", "zz", "42464802",
                                               std::string(48, 'g')};
    for (const std::string& subject : subjects) {
        std::string text = "stale";
        DecryptHexText(subject, text);
        EXPECT_EQ(text, "") << subject;
    }
}

TEST(Crypt, EveryCryptObjectUsesTheSameFixedKey) {
    TMemoryStream container;
    TCryptObject().EncryptLines({"k=v"}, container);
    TBFH stranger;
    stranger.SetKeyword("fremd");
    TMemoryStream out;
    EXPECT_FALSE(stranger.DecryptStream(container, out));
    std::vector<std::string> lines;
    EXPECT_TRUE(TCryptObject().DecryptLines(container, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"k=v"}));
}

TEST(KeyList, LooksUpKeysAndConvertsToUtf8) {
    TMemoryStream container;
    EncryptLines({"1=4711", "2=M\xFCller", "10=", "3=a=b", "30=x", "ohne Gleichheitszeichen",
                  "1=zweiter Wert"},
                 container);
    TKeyList keys;
    ASSERT_TRUE(keys.Load(container));
    struct {
        const char* key;
        const char* value;
    } cases[] = {{"1", "4711"}, {"2", "M\xC3\xBCller"},
                 {"10", ""},    {"3", "a=b"},
                 {"30", "x"},   {"4", ""},
                 {"", ""},      {"ohne Gleichheitszeichen", ""},
                 {"3=a", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(keys.Value(c.key), c.value) << c.key;
    }
    EXPECT_EQ(keys.Lines().size(), 7u);
    EXPECT_EQ(keys.Lines()[1], "2=M\xC3\xBCller");
}

TEST(KeyList, UndecipherableStreamGivesAnEmptyList) {
    TMemoryStream good;
    EncryptLines({"1=a"}, good);
    TKeyList keys;
    ASSERT_TRUE(keys.Load(good));
    TMemoryStream other;
    EncryptLines({"1=a"}, other, "falsch");
    EXPECT_FALSE(keys.Load(other));
    EXPECT_TRUE(keys.Lines().empty());
    EXPECT_EQ(keys.Value("1"), "");
    TMemoryStream junk(std::vector<uint8_t>{'B', 'F'});
    EXPECT_FALSE(keys.Load(junk));
}

} // namespace
} // namespace orvendal
