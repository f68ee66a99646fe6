#include "AppFixture.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace orvendal::testing {
namespace {

// The demo as a newcomer runs it: the real program, a fresh folder, exit code 0.
TEST(DemoTest, RunsTheExchangeEndToEndInAFreshSandbox) {
    TTempFolder folder;
    const std::string command = std::string(ORVENDAL_BINARY_DIR) + "/app/orvendal-cli demo " +
                                folder.Path() + "sandbox 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) {
        out.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_NE(out.find("Rows exported from the handheld: 6\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Tables written to the handheld:  9 of 9\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Der Datenaustausch für das Gerät Demo-Gerät Kassel ist erfolgt!"),
              std::string::npos)
        << out;
    const std::string handheld = folder.Path() + "sandbox/handheld/Storage Card/";
    EXPECT_TRUE(std::filesystem::exists(handheld + "MAuftrag.xml"));
    EXPECT_TRUE(std::filesystem::exists(folder.Path() + "sandbox/work/mobil.mdb"));
}

} // namespace
} // namespace orvendal::testing
