// 100 photo-sized (60 KB) sends over one kept SMTP connection (isBlob) against the same sends
// with a connection each, to the loopback SMTP server of tests/servers/start-mail.sh.
// Prints messages per second for both and their ratio; skips without ORVENDAL_TEST_SMTP.

#include "protect/Crypt.h"
#include "transport/VelMail.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace orvendal;

namespace {

constexpr int Sends = 100;

double Rate(const std::string& smtp, const std::string& work, bool keep) {
    TMemoryStream settings;
    EncryptLines({"1=7", "2=bench", "4=" + work, "10=x", "14=" + smtp, "25=pc@example.org",
                  "28=server@example.org", "32=no"},
                 settings);
    settings.Rewind();
    TVelMail mail;
    mail.LoadSettings(settings);
    std::mt19937 random(1);
    std::string photo(60 * 1024, '\0');
    for (char& c : photo)
        c = static_cast<char>(random());
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Sends; ++i) {
        std::string source = work + "photo.mdb";
        std::ofstream(source, std::ios::binary) << photo;
        if (!mail.SendData(keep, source, "")) {
            std::fprintf(stderr, "send failed: %s\n", mail.ErrorText.c_str());
            std::exit(1);
        }
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return Sends / took.count();
}

} // namespace

int main() {
    const char* smtp = std::getenv("ORVENDAL_TEST_SMTP");
    if (smtp == nullptr) {
        std::puts(
            "skipped: ORVENDAL_TEST_SMTP is not set (run under tests/servers/with-servers.sh)");
        return 0;
    }
    std::string work = (std::filesystem::temp_directory_path() / "orvendal-bench-mail/").string();
    std::filesystem::create_directories(work);
    double kept = Rate(smtp, work, true);
    double fresh = Rate(smtp, work, false);
    std::printf("kept connection: %.1f msg/s\nconnection each: %.1f msg/s\nratio: %.2f\n", kept,
                fresh, kept / fresh);
    std::filesystem::remove_all(work);
    return 0;
}
