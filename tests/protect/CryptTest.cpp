// The fixed-key crypt object (streams, lines at every kind of line end, texts, hex subjects,
// other keys), the settings key list over it, orvendal-cli settings as a program (editors' files,
// other keys, coded subjects, exit codes) and the small shared text functions.
#include "protect/Crypt.h"
#include "common/TempFolder.h"
#include "protect/KeyList.h"
#include "tables/UserFkt.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace orvendal {
namespace {

using TLines = std::vector<std::string>;

TEST(Crypt, StreamsLinesTextsAndOtherKeys) {
    TMemoryStream plain, container, out;
    plain.WriteString("a=1\nb=2\r\nc=3\rd=\xFC\r\n\r\ne");
    EncryptStream(plain, container);
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
        std::transform(hex.begin(), hex.end(), hex.begin(), ::toupper);
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

class SettingsCli : public ::testing::Test {
protected:
    // Runs the settings command; the exit code, stdout and stderr in out.
    int Run(const std::string& args, std::string* out = nullptr) {
        const int status =
            std::system((std::string(ORVENDAL_BINARY_DIR) + "/app/orvendal-cli settings " + args +
                         " >" + Path("out") + " 2>&1")
                            .c_str());
        TMemoryStream output;
        output.LoadFromFile(Path("out"));
        if (out != nullptr)
            *out = output.AsString();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TLines Lines(const std::string& file, const std::string& key = "") {
        TMemoryStream container;
        container.LoadFromFile(Path(file));
        TLines lines;
        EXPECT_TRUE(DecryptLines(container, lines, key));
        return lines;
    }
    std::string Path(const std::string& name) const { return folder_.File(name); }
    testing::TTempFolder folder_;
};

TEST_F(SettingsCli, EditorsFilesOtherKeysHexAndExitCodes) {
    // A byte order mark as Windows editors write it, and CR LF, LF and a lone CR.
    std::ofstream(Path("plain.txt"), std::ios::binary)
        << "\xEF\xBB\xBF"
           "1=4711\r\n2=M\xC3\xBCller\n3=\xE2\x82\xAC\r4=x";
    ASSERT_EQ(Run("encrypt " + Path("plain.txt") + " " + Path("dev.ini")), 0);
    EXPECT_EQ(Lines("dev.ini"), (TLines{"1=4711", "2=M\xFCller", "3=\x80", "4=x"}));
    std::string shown, error;
    EXPECT_EQ(Run("show " + Path("dev.ini"), &shown), 0);
    EXPECT_EQ(Run("decrypt " + Path("dev.ini") + " " + Path("back.txt")), 0);
    EXPECT_EQ(shown, "1=4711\n2=M\xC3\xBCller\n3=\xE2\x82\xAC\n4=x\n");
    TMemoryStream back;
    back.LoadFromFile(Path("back.txt"));
    EXPECT_EQ(back.AsString(), shown);

    // A character Windows-1252 cannot hold stops it, naming the line; nothing is written.
    std::ofstream(Path("check.txt"), std::ios::binary) << "1=a\n2=b \xE2\x9C\x93\n";
    EXPECT_EQ(Run("encrypt " + Path("check.txt") + " " + Path("check.ini"), &error), 1);
    EXPECT_EQ(error, "orvendal-cli: " + Path("check.txt") +
                         ", Zeile 2: das Zeichen „✓“ (U+2713) gibt es in Windows-1252 nicht\n");
    EXPECT_FALSE(std::ifstream(Path("check.ini")).good());

    std::ofstream(Path("plain.txt")) << "7=3\n"; // other keys
    ASSERT_EQ(Run("encrypt --key 'Schl\xC3\xBCssel' " + Path("plain.txt") + " " + Path("k.ini")),
              0);
    EXPECT_EQ(Lines("k.ini", "Schl\xFCssel"), (TLines{"7=3"})); // key as 1252
    EXPECT_EQ(Run("show " + Path("k.ini")), 1);
    EXPECT_EQ(Run("show " + Path("k.ini") + " --key 'Schl\xC3\xBCssel'"), 0);
    std::string hex, text;
    ASSERT_EQ(Run("encrypt-hex 'Ma\xC3\x9F'", &hex), 0);
    EXPECT_EQ(hex.size(), 49u); // 48 digits and the line break
    EXPECT_EQ(Run("decrypt-hex " + hex.substr(0, 48), &text), 0);
    EXPECT_EQ(text, "Ma\xC3\x9F\n");
    for (const char* wrong : {"", "frobnicate", "show", "encrypt only-one", "show x --key"})
        EXPECT_EQ(Run(wrong), 2) << wrong;
    EXPECT_EQ(Run("decrypt-hex 0_4711_Geraet") + Run("show " + Path("missing.ini")), 2);
    EXPECT_EQ(Run("--help", &text), 0);
    EXPECT_NE(text.find("encrypt-hex"), std::string::npos);
}

TEST(UserFkt, PadQuoteHexTrimAndNumbers) {
    const std::tuple<std::string, int, char, std::string> pads[] = {
        {"815", 5, '0', "00815"}, {"123456789", 7, '0', "3456789"},
        {"", 3, '*', "***"},      {"  42 ", 4, ' ', "  42"},
        {"abc", 0, '0', ""},      {"abc", -2, '0', ""}};
    for (const auto& [text, width, fill, result] : pads)
        EXPECT_EQ(PadLeft(text, width, fill), result) << text << "/" << width;
    const std::pair<std::string, int> hex[] = {{"ff", 255},  {"FF", 255}, {"9a", 154},
                                               {"0A", 10},   {"f", 0},    {"G1", 1},
                                               {"g\xFF", 0}, {"fff", 0},  {"", 0}};
    for (const auto& [text, value] : hex)
        EXPECT_EQ(HexByte(text), value) << text;
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
