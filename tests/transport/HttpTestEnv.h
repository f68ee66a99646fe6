#pragma once
// The loopback web transfer server (tests/servers/web_transfer.py) and tinyproxy as the HTTP
// tests see them: addresses from the environment, the server's folders, and zlib helpers that
// do not go through the code under test.

#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace orvendal::testing {

struct THttpEnv {
    std::string Url;   // http://127.0.0.1:PORT
    std::string Dir;   // the server's state folder
    std::string Proxy; // 127.0.0.1:PORT of tinyproxy
};

// The server addresses, or empty fields when the servers were not started.
inline THttpEnv HttpEnv() {
    auto var = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    return {var("ORVENDAL_TEST_HTTP_URL"), var("ORVENDAL_TEST_HTTP_DIR"),
            var("ORVENDAL_TEST_PROXY")};
}

#define ORVENDAL_REQUIRE_HTTP(env)                                                                 \
    if ((env).Url.empty() || (env).Dir.empty() || (env).Proxy.empty())                             \
    GTEST_SKIP() << "HTTP test servers not running: run under tests/servers/with-servers.sh"

// A device key no other test (process) uses, so that records on the shared server are ours.
inline std::string UniqueKey() {
    static std::atomic<int> counter{0};
    return std::to_string(getpid()) + std::to_string(100 + counter++);
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string Zip(const std::string& plain) {
    uLongf size = compressBound(plain.size());
    std::string packed(size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                        reinterpret_cast<const Bytef*>(plain.data()), plain.size(),
                        Z_DEFAULT_COMPRESSION),
              Z_OK);
    packed.resize(size);
    return packed;
}

// Inflates a zlib stream whose plain size is known; fails the test when it is no such stream.
inline std::string Unzip(const std::string& packed, size_t plainSize) {
    std::string plain(plainSize + 1, '\0'); // one spare byte: a longer content does not fit
    uLongf size = plain.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(plain.data()), &size,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size()),
              Z_OK);
    plain.resize(size);
    return plain;
}

// A file content that compresses but is not trivial.
inline std::string SampleContent(size_t size) {
    std::string text;
    for (size_t i = 0; text.size() < size; ++i) {
        text += "row " + std::to_string(i * 7919 % 1000) + ";\n";
    }
    text.resize(size);
    text[size / 2] = '\0'; // binary, too
    return text;
}

struct TUpload {
    std::string Agent, Path, Via, Body;
};

// The uploads the server stored with exactly this user agent, in arrival order.
inline std::vector<TUpload> UploadsWithAgent(const THttpEnv& env, const std::string& agent) {
    std::vector<TUpload> found;
    std::vector<std::filesystem::path> bodies;
    for (const auto& entry : std::filesystem::directory_iterator(env.Dir + "/uploads")) {
        if (entry.path().extension() == ".body") {
            bodies.push_back(entry.path());
        }
    }
    std::sort(bodies.begin(), bodies.end());
    for (auto body : bodies) {
        auto stem = body;
        TUpload upload{ReadText(stem.replace_extension(".agent")),
                       ReadText(stem.replace_extension(".path")),
                       ReadText(stem.replace_extension(".via")), ReadText(body)};
        if (upload.Agent == agent) {
            found.push_back(upload);
        }
    }
    return found;
}

struct TRequest {
    std::string Method, Path, Agent, Via;
};

// The requests the server logged whose path contains part.
inline std::vector<TRequest> RequestsContaining(const THttpEnv& env, const std::string& part) {
    std::vector<TRequest> found;
    std::istringstream log(ReadText(env.Dir + "/requests.log"));
    for (std::string line; std::getline(log, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) {
            fields.push_back(cell);
        }
        fields.resize(4);
        if (fields[1].find(part) != std::string::npos) {
            found.push_back({fields[0], fields[1], fields[2], fields[3]});
        }
    }
    return found;
}

// A loopback port that is bound but never listens: every connection to it is refused.
class TClosedPort {
public:
    TClosedPort() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port_ = ntohs(address.sin_port);
    }
    ~TClosedPort() { close(fd_); }
    TClosedPort(const TClosedPort&) = delete;
    TClosedPort& operator=(const TClosedPort&) = delete;

    int Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Sets an environment variable for the life of the object.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        old_ = old ? old : "";
        setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv() {
        if (hadOld_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

} // namespace orvendal::testing
