// orvendal-cli settings as a program: the administrators' round trip and its exit codes.
#include "protect/Crypt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace orvendal {
namespace {

namespace fs = std::filesystem;

class SettingsCli : public ::testing::Test {
protected:
    void SetUp() override {
        cli_ = std::string(ORVENDAL_BINARY_DIR) + "/app/orvendal-cli";
        ASSERT_TRUE(fs::exists(cli_)) << "orvendal-cli is not built: " << cli_;
        dir_ = fs::path(::testing::TempDir()) / ("settings-cli-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }
    // Runs the settings command; returns the exit code, stdout in out.
    int Run(const std::string& args, std::string* out = nullptr) {
        const std::string output = (dir_ / "stdout").string();
        const int status =
            std::system((cli_ + " settings " + args + " >" + output + " 2>/dev/null").c_str());
        if (out != nullptr) {
            *out = Read(output);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    std::string cli_;
    fs::path dir_;
};

TEST_F(SettingsCli, EncryptShowDecryptRoundTrip) {
    std::ofstream(Path("plain.txt"), std::ios::binary) << "1=4711\r\n2=M\xC3\xBCller\n";
    ASSERT_EQ(Run(Path("plain.txt") + " " + Path("dev.ini") + " --key ''"), 2);
    ASSERT_EQ(Run("encrypt " + Path("plain.txt") + " " + Path("dev.ini")), 0);

    // The file is a container of the fixed key with Windows-1252 text inside.
    TMemoryStream container;
    container.LoadFromFile(Path("dev.ini"));
    std::vector<std::string> lines;
    ASSERT_TRUE(DecryptLines(container, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"1=4711", "2=M\xFCller"}));

    std::string shown;
    EXPECT_EQ(Run("show " + Path("dev.ini"), &shown), 0);
    EXPECT_EQ(shown, "1=4711\n2=M\xC3\xBCller\n");
    EXPECT_EQ(Run("decrypt " + Path("dev.ini") + " " + Path("back.txt")), 0);
    EXPECT_EQ(Read(Path("back.txt")), "1=4711\n2=M\xC3\xBCller\n");
}

TEST_F(SettingsCli, OtherKeysHexAndExitCodes) {
    std::ofstream(Path("plain.txt")) << "7=3\n";
    ASSERT_EQ(Run("encrypt --key 'Schl\xC3\xBCssel' " + Path("plain.txt") + " " + Path("k.ini")),
              0);
    TMemoryStream container;
    container.LoadFromFile(Path("k.ini"));
    std::vector<std::string> lines;
    EXPECT_TRUE(DecryptLines(container, lines, "Schl\xFCssel")); // the key went in as 1252
    EXPECT_EQ(Run("show " + Path("k.ini")), 1);
    EXPECT_EQ(Run("show " + Path("k.ini") + " --key 'Schl\xC3\xBCssel'"), 0);
    EXPECT_EQ(Run("show " + Path("missing.ini")), 1);

    std::string hex, text;
    ASSERT_EQ(Run("encrypt-hex 'Gr\xC3\xBC\xC3\x9F"
                  "e'",
                  &hex),
              0);
    EXPECT_EQ(hex.size(), 49u); // 48 digits and the line break
    hex.pop_back();
    EXPECT_EQ(Run("decrypt-hex " + hex, &text), 0);
    EXPECT_EQ(text, "Gr\xC3\xBC\xC3\x9F"
                    "e\n");
    EXPECT_EQ(Run("decrypt-hex 0_4711_Geraet"), 1);

    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("frobnicate"), 2);
    EXPECT_EQ(Run("show"), 2);
    EXPECT_EQ(Run("encrypt only-one"), 2);
    EXPECT_EQ(Run("show x --key"), 2);
    std::string help;
    EXPECT_EQ(Run("--help", &help), 0);
    EXPECT_NE(help.find("encrypt-hex"), std::string::npos);
}

} // namespace
} // namespace orvendal
