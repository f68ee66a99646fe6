// orvendal-cli settings as a program: the administrators' round trip, editors' files, other
// keys, coded subjects and the exit codes.
#include "common/TempFolder.h"
#include "protect/Crypt.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace orvendal {
namespace {

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
    std::vector<std::string> Lines(const std::string& file, const std::string& key = "") {
        TMemoryStream container;
        container.LoadFromFile(Path(file));
        std::vector<std::string> lines;
        EXPECT_TRUE(DecryptLines(container, lines, key));
        return lines;
    }
    std::string Path(const std::string& name) const { return folder_.File(name); }
    testing::TTempFolder folder_;
};

TEST_F(SettingsCli, EncryptShowDecryptAndEditorsFiles) {
    // A byte order mark as Windows editors write it, and CR LF, LF and a lone CR.
    std::ofstream(Path("plain.txt"), std::ios::binary)
        << "\xEF\xBB\xBF"
           "1=4711\r\n2=M\xC3\xBCller\n3=\xE2\x82\xAC\r4=x";
    ASSERT_EQ(Run("encrypt " + Path("plain.txt") + " " + Path("dev.ini")), 0);
    EXPECT_EQ(Lines("dev.ini"),
              (std::vector<std::string>{"1=4711", "2=M\xFCller", "3=\x80", "4=x"}));
    std::string shown;
    EXPECT_EQ(Run("show " + Path("dev.ini"), &shown), 0);
    EXPECT_EQ(shown, "1=4711\n2=M\xC3\xBCller\n3=\xE2\x82\xAC\n4=x\n");
    EXPECT_EQ(Run("decrypt " + Path("dev.ini") + " " + Path("back.txt")), 0);
    TMemoryStream back;
    back.LoadFromFile(Path("back.txt"));
    EXPECT_EQ(back.AsString(), shown);

    // A character Windows-1252 cannot hold stops it, naming the line; nothing is written.
    std::ofstream(Path("check.txt"), std::ios::binary) << "1=a\n2=b \xE2\x9C\x93\n";
    std::string error;
    EXPECT_EQ(Run("encrypt " + Path("check.txt") + " " + Path("check.ini"), &error), 1);
    EXPECT_EQ(error, "orvendal-cli: " + Path("check.txt") +
                         ", Zeile 2: das Zeichen „✓“ (U+2713) gibt es in Windows-1252 nicht\n");
    EXPECT_FALSE(std::ifstream(Path("check.ini")).good());
}

TEST_F(SettingsCli, OtherKeysHexAndExitCodes) {
    std::ofstream(Path("plain.txt")) << "7=3\n";
    ASSERT_EQ(Run("encrypt --key 'Schl\xC3\xBCssel' " + Path("plain.txt") + " " + Path("k.ini")),
              0);
    EXPECT_EQ(Lines("k.ini", "Schl\xFCssel"), (std::vector<std::string>{"7=3"})); // key as 1252
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

} // namespace
} // namespace orvendal
