#pragma once
// What the transport tests share: the loopback servers' variables (tests/servers), settings
// files, packed data and the web server's records. Port 1 of 127.0.0.1 refuses connections.

#include "common/TempFolder.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"
#include "transport/VelMail.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace orvendal::testing {

namespace fs = std::filesystem;

inline std::string Env(const char* name) {
    return std::getenv(name) == nullptr ? "" : std::getenv(name);
}
inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
// A mail transport that loaded these settings lines (the first of a key counts).
inline std::unique_ptr<TVelMail> LoadedMail(const std::vector<std::string>& lines) {
    TMemoryStream settings;
    SaveKeyLines(lines, settings);
    settings.Rewind();
    auto mail = std::make_unique<TVelMail>();
    mail->LoadSettings(settings);
    return mail;
}
// The bytes through DeflateStream (pack) or InflateStream.
inline std::string Deflated(const std::string& bytes, bool pack = true) {
    TMemoryStream source(std::vector<uint8_t>(bytes.begin(), bytes.end())), result;
    pack ? DeflateStream(source, result) : InflateStream(source, result);
    return result.AsString();
}
inline std::string Inflated(const std::string& packed) {
    return Deflated(packed, false);
}
// Binary content that packs: every 7th byte counts up.
inline std::string SampleContent(size_t size) {
    std::string text(size, 'r');
    for (size_t i = 0; i < size; i += 7)
        text[i] = static_cast<char>(i % 251);
    return text;
}

// Holds the loopback mail servers for one test: ctest runs cases in parallel, and they share
// one mailbox and one SMTP folder. Released with the object.
struct TMailServersLock {
    std::string dir = Env("ORVENDAL_TEST_SMTP_DIR");
    int fd = dir.empty() ? -1 : open((dir + "/../servers.lock").c_str(), O_CREAT | O_RDWR, 0600);
    TMailServersLock() { flock(fd, LOCK_EX); }
    ~TMailServersLock() { close(fd); } // closing releases the lock
};

// The web server's address (http://127.0.0.1:PORT), its state folder and tinyproxy's host:port.
struct THttpEnv {
    std::string Url = Env("ORVENDAL_TEST_HTTP_URL"), Dir = Env("ORVENDAL_TEST_HTTP_DIR");
    std::string Proxy = Env("ORVENDAL_TEST_PROXY");
};
#define ORVENDAL_REQUIRE_HTTP(env)                                                                 \
    if ((env).Url.empty() || (env).Dir.empty() || (env).Proxy.empty())                             \
    GTEST_SKIP() << "HTTP test servers not running: run under tests/servers/with-servers.sh"

// A device key no other test (process) uses, so that records on the shared server are ours.
inline std::string UniqueKey() {
    static std::atomic<int> counter{0};
    return std::to_string(getpid()) + std::to_string(100 + counter++);
}

// A request the web server logged; an upload with the body the server stored.
struct TRequest {
    std::string Method, Path, Agent, Via, Body;
    bool Stored = false;
};
// The requests the server logged whose path contains part, in arrival order.
inline std::vector<TRequest> RequestsContaining(const THttpEnv& env, const std::string& part) {
    std::vector<TRequest> found;
    std::istringstream log(ReadText(env.Dir + "/requests.log"));
    for (TRequest r; std::getline(log, r.Method, '\t') && std::getline(log, r.Path, '\t') &&
                     std::getline(log, r.Agent, '\t') && std::getline(log, r.Via, '\t') &&
                     std::getline(log, r.Body);) // the stored body's path, if any
        if (r.Path.find(part) != std::string::npos)
            found.push_back({r.Method, r.Path, r.Agent, r.Via, ReadText(r.Body), !r.Body.empty()});
    return found;
}
// The uploads the server stored with exactly this user agent, in arrival order.
inline std::vector<TRequest> UploadsWithAgent(const THttpEnv& env, const std::string& agent) {
    auto found = RequestsContaining(env, "");
    std::erase_if(found, [&](const TRequest& r) { return !r.Stored || r.Agent != agent; });
    return found;
}

} // namespace orvendal::testing
