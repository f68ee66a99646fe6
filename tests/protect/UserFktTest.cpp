#include "tables/UserFkt.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace orvendal {
namespace {

TEST(UserFkt, PadLeft) {
    struct {
        std::string text;
        int width;
        char fill;
        std::string result;
    } cases[] = {
        {"815", 5, '0', "00815"}, {"123456789", 7, '0', "3456789"},
        {"", 3, '*', "***"},      {"  42 ", 4, ' ', "  42"},
        {"abc", 3, '0', "abc"},   {"abc", 0, '0', ""},
        {"abc", -2, '0', ""},     {"**", 3, '*', "***"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PadLeft(c.text, c.width, c.fill), c.result) << c.text << "/" << c.width;
    }
}

TEST(UserFkt, QuoteLeavesInnerQuotes) {
    EXPECT_EQ(Quote("O'Neill"), "'O'Neill'");
    EXPECT_EQ(Quote(""), "''");
}

TEST(UserFkt, HexDigitsAndBytes) {
    struct {
        std::string text;
        int value;
    } cases[] = {{"ff", 255}, {"FF", 255}, {"f", 0}, {"G1", 1}, {"00", 0},
                 {"7a", 122}, {"fff", 0},  {"", 0},  {"zz", 0}, {"A0", 160}};
    for (const auto& c : cases) {
        EXPECT_EQ(HexByte(c.text), c.value) << c.text;
    }
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), 0);
    EXPECT_EQ(HexDigitValue('\xFF'), 0);
}

TEST(UserFkt, StrToIntDef) {
    struct {
        std::string text;
        int value;
    } cases[] = {{"42", 42},
                 {" -7 ", -7},
                 {"+3", 3},
                 {"", -1},
                 {"abc", -1},
                 {"12x", -1},
                 {"0x10", -1},
                 {"-", -1},
                 {"+", -1},
                 {"2147483647", INT_MAX},
                 {"2147483648", -1},
                 {"-2147483648", INT_MIN},
                 {"99999999999999999999", -1},
                 {"1 2", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(StrToIntDef(c.text, -1), c.value) << "'" << c.text << "'";
    }
}

TEST(UserFkt, Trim) {
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xC3\xA4"), "\xC3\xA4"); // UTF-8 bytes above 0x7F are no blanks
}

TEST(UserFkt, PlatformValues) {
    EXPECT_FALSE(ComputerName().empty());
    const char* saved = std::getenv("TMPDIR");
    std::string keep = saved ? saved : "";
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(TempPath(), "/var/tmp/");
    setenv("TMPDIR", "/srv/x/", 1);
    EXPECT_EQ(TempPath(), "/srv/x/");
    unsetenv("TMPDIR");
    EXPECT_EQ(TempPath(), "/tmp/");
    if (saved) {
        setenv("TMPDIR", keep.c_str(), 1);
    }
    EXPECT_FALSE(VersionValue("", "ProductName").empty());
    EXPECT_EQ(VersionValue("", "Unbekannt"), "");
    EXPECT_EQ(VersionValue("/bin/sh", "ProductName"), "");
}

} // namespace
} // namespace orvendal
