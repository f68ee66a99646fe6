#include "device/Utf16.h"

#include <gtest/gtest.h>

namespace orvendal {
namespace {

struct TText {
    const char* Name;
    const char* Utf8;
    std::u16string Utf16;
};

class Utf16Test : public ::testing::TestWithParam<TText> {};

TEST_P(Utf16Test, ConvertsBothWays) {
    std::u16string wide;
    ASSERT_TRUE(Utf8ToUtf16(GetParam().Utf8, wide));
    EXPECT_EQ(wide, GetParam().Utf16);
    std::string narrow;
    ASSERT_TRUE(Utf16ToUtf8(wide, narrow));
    EXPECT_EQ(narrow, GetParam().Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf16Test,
    ::testing::Values(TText{"Empty", "", u""},
                      TText{"Path", "\\Storage Card\\x.xml", u"\\Storage Card\\x.xml"},
                      TText{"Latin", "Übergabe ß €", u"\u00DCbergabe \u00DF \u20AC"},
                      TText{"Astral", "\xF0\x9F\x93\xB7", u"\U0001F4F7"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Utf16Malformed, IsRefused) {
    std::u16string wide;
    for (const char* bad :
         {"\xff", "\xC3", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"})
        EXPECT_FALSE(Utf8ToUtf16(bad, wide)) << bad;
    std::string narrow;
    for (const std::u16string& bad : {std::u16string(1, u'\xD800'), std::u16string(1, u'\xDC00'),
                                      std::u16string{u'\xD800', u'a'}})
        EXPECT_FALSE(Utf16ToUtf8(bad, narrow));
}

} // namespace
} // namespace orvendal
