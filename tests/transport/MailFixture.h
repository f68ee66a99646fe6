#pragma once
// Shared pieces of the mail transport tests: enciphered settings, temporary folders, packed
// files and the loopback servers' variables.

#include "protect/Crypt.h"
#include "protect/Streams.h"
#include "protect/ZLibStream.h"

#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace orvendal::testing {

namespace fs = std::filesystem;

// The settings lines enciphered as a settings file.
inline TMemoryStream SettingsStream(const std::vector<std::string>& lines) {
    TMemoryStream stream;
    EncryptLines(lines, stream);
    stream.Rewind();
    return stream;
}

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string Deflated(const std::string& plain) {
    TMemoryStream source, packed;
    source.WriteString(plain);
    source.Rewind();
    DeflateStream(source, packed);
    return packed.AsString();
}

inline std::string Inflated(const std::string& packed) {
    TMemoryStream source, plain;
    source.WriteString(packed);
    source.Rewind();
    InflateStream(source, plain);
    return plain.AsString();
}

// Holds the loopback mail servers for one test: ctest runs cases in parallel, and they share
// one mailbox and one SMTP folder. Released with the object.
class TMailServersLock {
public:
    TMailServersLock() {
        std::string dir = Env("ORVENDAL_TEST_SMTP_DIR");
        if (dir.empty())
            return;
        fd_ = open((dir + "/../servers.lock").c_str(), O_CREAT | O_RDWR, 0600);
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~TMailServersLock() {
        if (fd_ >= 0)
            close(fd_); // closing releases the lock
    }
    TMailServersLock(const TMailServersLock&) = delete;
    TMailServersLock& operator=(const TMailServersLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace orvendal::testing
