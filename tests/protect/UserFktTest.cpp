// The small shared functions: padding, quoting, hex digits, numbers, trimming, platform values.
#include "tables/UserFkt.h"

#include <climits>
#include <gtest/gtest.h>

namespace orvendal {
namespace {

TEST(UserFkt, PadQuoteHexTrimAndNumbers) {
    const std::tuple<std::string, int, char, std::string> pads[] = {
        {"815", 5, '0', "00815"}, {"123456789", 7, '0', "3456789"},
        {"", 3, '*', "***"},      {"  42 ", 4, ' ', "  42"},
        {"abc", 0, '0', ""},      {"abc", -2, '0', ""}};
    for (const auto& [text, width, fill, result] : pads)
        EXPECT_EQ(PadLeft(text, width, fill), result) << text << "/" << width;
    const std::pair<std::string, int> hex[] = {{"ff", 255}, {"FF", 255}, {"f", 0}, {"G1", 1},
                                               {"7a", 122}, {"fff", 0},  {"", 0}};
    for (const auto& [text, value] : hex)
        EXPECT_EQ(HexByte(text), value) << text;
    EXPECT_EQ(HexDigitValue('9') + HexDigitValue('a') + HexDigitValue('F'), 34);
    EXPECT_EQ(HexDigitValue('g') + HexDigitValue('\xFF'), 0);
    const std::pair<std::string, int> numbers[] = {{"42", 42},         {" -7 ", -7},
                                                   {"+3", 3},          {"", -1},
                                                   {"12x", -1},        {"0x10", -1},
                                                   {"-", -1},          {"2147483647", INT_MAX},
                                                   {"2147483648", -1}, {"-2147483648", INT_MIN},
                                                   {"1 2", -1}};
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(StrToIntDef(text, -1), value) << "'" << text << "'";
    EXPECT_EQ(Quote("O'Neill") + Trim(" \t a b \r\n") + Trim("   "), "'O'Neill'a b");
    EXPECT_EQ(Trim("\xC3\xA4"), "\xC3\xA4"); // bytes above 0x7F are no blanks
}

TEST(UserFkt, PlatformValues) {
    EXPECT_FALSE(ComputerName().empty());
    const char* saved = std::getenv("TMPDIR");
    const std::string keep = saved ? saved : "";
    for (const auto& [value, path] : {std::pair<const char*, const char*>{"/var/tmp", "/var/tmp/"},
                                      {"/srv/x/", "/srv/x/"},
                                      {nullptr, "/tmp/"}}) {
        value ? setenv("TMPDIR", value, 1) : unsetenv("TMPDIR");
        EXPECT_EQ(TempPath(), path);
    }
    saved ? setenv("TMPDIR", keep.c_str(), 1) : unsetenv("TMPDIR");
    EXPECT_FALSE(VersionValue("", "ProductName").empty());
    EXPECT_EQ(VersionValue("", "Unbekannt") + VersionValue("/bin/sh", "ProductName"), "");
}

} // namespace
} // namespace orvendal
