// The fixed-key crypt object (streams, lines at every kind of line end, texts, hex subjects,
// other keys), the settings key list over it, orvendal-cli settings as a program (editors' files,
// other keys, coded subjects, exit codes) and the small shared text functions.
#include "protect/Crypt.h"
#include "common/Process.h"
#include "protect/KeyList.h"
#include "tables/UserFkt.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>

namespace orvendal {
namespace {

using TLines = std::vector<std::string>;

TEST(Crypt, StreamsLinesTextsHexSubjectsAndOtherKeys) {
    TMemoryStream plain, container, out;
    plain.WriteString("a=1\nb=2\r\nc=3\rd=\xFC\r\n\r\ne");
    EncryptStream(plain, container);
    ASSERT_TRUE(DecryptStream(out, container) && out.Position() == 0);
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
    // Texts come back as they were through hex subjects ("BFH" 2 first); CR LF follows the
    // text, so the digits grow by a block between 5 and 6 and between 13 and 17 characters.
    for (const auto& [subject, digits] : {std::pair<std::string, size_t>{"", 48},
                                          {"12345", 48},
                                          {"123456", 64},
                                          {"zwei\r\n\xC4rger \x80", 64},
                                          {"1_2_abcdefghijklm", 80}}) {
        std::string hex, back[2] = {"stale", "stale"};
        EncryptTextToHex(subject, hex);
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(hex.substr(0, 8) + std::to_string(hex.size()),
                  "42464802" + std::to_string(digits));
        DecryptHexText(hex, back[0]);
        std::transform(hex.begin(), hex.end(), hex.begin(), ::toupper);
        DecryptHexText(hex + "7", back[1]); // upper-case digits and an odd last one read the same
        EXPECT_EQ(back[0] + "|" + back[1], subject + "|" + subject);
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

testing::TRun Settings(const std::string& args) {
    return testing::TProcess(std::string(ORVENDAL_BINARY_DIR) + "/app/orvendal-cli settings " +
                             args)
        .Wait();
}

TLines Lines(const std::string& file, const std::string& key = "") {
    TMemoryStream container;
    container.LoadFromFile(file);
    TLines lines;
    EXPECT_TRUE(DecryptLines(container, lines, key)) << file;
    return lines;
}

TEST(SettingsCli, EditorsFilesOtherKeysHexAndExitCodes) {
    testing::TTempFolder folder;
    const std::string plain = folder.File("plain.txt"), ini = folder.File("dev.ini"),
                      back = folder.File("back.txt"), keyed = folder.File("k.ini");
    // A byte order mark as Windows editors write it, and CR LF, LF and a lone CR.
    std::ofstream(plain, std::ios::binary) << "\xEF\xBB\xBF"
                                              "1=4711\r\n2=M\xC3\xBCller\n3=\xE2\x82\xAC\r4=x";
    ASSERT_EQ(Settings("encrypt " + plain + " " + ini).Code, 0);
    EXPECT_EQ(Lines(ini), (TLines{"1=4711", "2=M\xFCller", "3=\x80", "4=x"}));
    const testing::TRun shown = Settings("show " + ini);
    EXPECT_EQ(shown.Code + Settings("decrypt " + ini + " " + back).Code, 0);
    EXPECT_EQ(shown.Out, "1=4711\n2=M\xC3\xBCller\n3=\xE2\x82\xAC\n4=x\n");
    TMemoryStream decrypted;
    decrypted.LoadFromFile(back);
    EXPECT_EQ(decrypted.AsString(), shown.Out);
    // A character Windows-1252 cannot hold stops it, naming the line; nothing is written.
    std::ofstream(plain, std::ios::binary) << "1=a\n2=b \xE2\x9C\x93\n";
    const testing::TRun refused = Settings("encrypt " + plain + " " + folder.File("check.ini"));
    EXPECT_EQ(std::to_string(refused.Code) + refused.Err,
              "1orvendal-cli: " + plain +
                  ", Zeile 2: das Zeichen „✓“ (U+2713) gibt es in Windows-1252 nicht\n");
    EXPECT_FALSE(std::filesystem::exists(folder.File("check.ini")));
    std::ofstream(plain) << "7=3\n"; // other keys, given in UTF-8 and used as Windows-1252
    ASSERT_EQ(Settings("encrypt --key 'Schl\xC3\xBCssel' " + plain + " " + keyed).Code, 0);
    EXPECT_EQ(Lines(keyed, "Schl\xFCssel"), (TLines{"7=3"}));
    const testing::TRun hex = Settings("encrypt-hex 'Ma\xC3\x9F'");
    ASSERT_TRUE(hex.Code == 0 && hex.Out.size() == 49u) << hex.Out; // 48 digits, a line break
    const testing::TRun text = Settings("decrypt-hex " + hex.Out.substr(0, 48)),
                        help = Settings("--help");
    EXPECT_EQ(std::to_string(text.Code) + text.Out, "0Ma\xC3\x9F\n");
    EXPECT_TRUE(help.Code == 0 && help.Out.find("encrypt-hex") != std::string::npos);
    EXPECT_EQ(Settings("show " + keyed + " --key 'Schl\xC3\xBCssel'").Code, 0);
    for (const std::string& failed : {"show " + keyed, "show " + folder.File("missing"),
                                      std::string("decrypt-hex 0_4711_Geraet")})
        EXPECT_EQ(Settings(failed).Code, 1) << failed;
    for (const char* wrong : {"", "frobnicate", "show", "encrypt only-one", "show x --key"})
        EXPECT_EQ(Settings(wrong).Code, 2) << wrong;
}

TEST(UserFkt, PadQuoteHexTrimNumbersAndPlatformValues) {
    const std::tuple<std::string, int, char, std::string> pads[] = {
        {"815", 5, '0', "00815"},  {"123456789", 7, '0', "3456789"},
        {"abc", 3, '0', "abc"},    {"", 3, '*', "***"},
        {"  42 ", 4, ' ', "  42"}, {"abc", 1, '0', "c"},
        {"abc", 0, '0', ""},       {"abc", -2, '0', ""}};
    for (const auto& [text, width, fill, result] : pads)
        EXPECT_EQ(PadLeft(text, width, fill), result) << text << "/" << width;
    const std::pair<std::string, int> hex[] = {{"ff", 255},  {"FF", 255}, {"9a", 154},
                                               {"0A", 10},   {"f", 0},    {"G1", 1},
                                               {"g\xFF", 0}, {"fff", 0},  {"", 0}};
    for (const auto& [text, value] : hex)
        EXPECT_EQ(HexByte(text), value) << text;
    const std::pair<std::string, int> numbers[] = {{"42", 42},          {" -7 ", -7},
                                                   {"+3", 3},           {"", -1},
                                                   {"12x", -1},         {"0x10", -1},
                                                   {"-", -1},           {"2147483647", INT_MAX},
                                                   {"2147483648", -1},  {"-2147483648", INT_MIN},
                                                   {"-2147483649", -1}, {"1 2", -1}};
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(StrToIntDef(text, -1), value) << "'" << text << "'";
    EXPECT_EQ(Quote("O'Neill") + Trim(" \t a b \r\n") + Trim("   "), "'O'Neill'a b");
    EXPECT_EQ(Trim("\xC3\xA4"), "\xC3\xA4"); // bytes above 0x7F are no blanks
    // The temporary folder and the program's version values.
    for (const auto& [value, path] : {std::pair<const char*, const char*>{"/var/tmp", "/var/tmp/"},
                                      {"/srv/x/", "/srv/x/"},
                                      {nullptr, "/tmp/"}}) {
        value ? setenv("TMPDIR", value, 1) : unsetenv("TMPDIR");
        EXPECT_EQ(TempPath(), path);
    }
    EXPECT_FALSE(VersionValue("", "ProductName").empty());
    EXPECT_EQ(VersionValue("", "Unbekannt") + VersionValue("/bin/sh", "ProductName"), "");
}

} // namespace
} // namespace orvendal
