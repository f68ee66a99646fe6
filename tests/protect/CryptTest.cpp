// The fixed-key crypt object: streams, lines at every kind of line end, texts, hex subjects,
// other keys; the settings key list over it.
#include "protect/Crypt.h"
#include "protect/KeyList.h"

#include <gtest/gtest.h>

namespace orvendal {
namespace {

using TLines = std::vector<std::string>;

TEST(Crypt, StreamsLinesTextsAndOtherKeys) {
    TMemoryStream plain, container, out;
    plain.WriteString("a=1\nb=2\r\nc=3\rd=\xFC\r\n\r\ne");
    EncryptStream(plain, container);
    EXPECT_EQ(container.Size(), 16u + 24u);
    ASSERT_TRUE(DecryptStream(out, container));
    EXPECT_EQ(out.Position(), 0u);
    EXPECT_EQ(out.AsString(), plain.AsString());
    TLines lines;
    ASSERT_TRUE(DecryptLines(container, lines));
    EXPECT_EQ(lines, (TLines{"a=1", "b=2", "c=3", "d=\xFC", "", "e"})); // CR LF, LF, lone CR
    EncryptLines(lines, container, "ein anderer Schluessel");
    ASSERT_TRUE(DecryptStream(out, container, "ein anderer Schluessel"));
    EXPECT_EQ(out.AsString(), "a=1\r\nb=2\r\nc=3\r\nd=\xFC\r\n\r\ne\r\n");
    std::string text = "stale";
    EXPECT_FALSE(DecryptLines(container, lines)); // the fixed key does not fit
    DecryptText(container, text);
    EXPECT_EQ(lines.size() + text.size(), 0u);
    for (const std::string text : {"", "x", "zwei\r\nZeilen", "\xC4rger mit \x80"}) {
        std::string back = "stale";
        EncryptText(text, container);
        DecryptText(container, back);
        EXPECT_EQ(back, text);
    }
}

TEST(Crypt, HexSubjects) {
    for (const auto& [subject, digits] : {std::pair<std::string, size_t>{"", 48},
                                          {"12345", 48},
                                          {"123456", 64},
                                          {"1_2_abcdefghijklm", 80}}) {
        std::string hex, back;
        EncryptTextToHex(subject, hex);
        EXPECT_EQ(hex.size(), digits) << subject;
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(hex.substr(0, 8), "42464802"); // "BFH" 2
        for (char& c : hex)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        DecryptHexText(hex + "7", back); // upper-case digits and an odd last one read the same
        EXPECT_EQ(back, subject);
    }
}

TEST(KeyList, LooksUpKeysAsUtf8OrIsEmpty) {
    TMemoryStream container, other, junk(std::vector<uint8_t>{'B', 'F'});
    EncryptLines({"1=4711", "2=M\xFCller", "10=", "3=a=b", "ohne Gleichheitszeichen", "1=zwei"},
                 container);
    TKeyList keys;
    ASSERT_TRUE(keys.Load(container));
    const char* const cases[][2] = {
        {"1", "4711"}, {"2", "M\xC3\xBCller"},          {"10", ""}, {"3", "a=b"}, {"4", ""},
        {"", ""},      {"ohne Gleichheitszeichen", ""}, {"3=a", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(keys.Value(c[0]), c[1]) << c[0];
    EXPECT_EQ(keys.Lines().size(), 6u);
    EncryptLines({"1=a"}, other, "falsch");
    EXPECT_FALSE(keys.Load(other) || keys.Load(junk));
    EXPECT_EQ(keys.Lines().size() + keys.Value("1").size(), 0u);
}

} // namespace
} // namespace orvendal
