#pragma once
// A scratch desktop folder and a handheld root (with "Storage Card") for the device tests.

#include "common/TempFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace orvendal::testing {

namespace fs = std::filesystem;

class TDeviceSandbox {
    TTempFolder folder_; // first, so that the paths below can use it

public:
    TDeviceSandbox() : Base(folder_.Path()), Root(Base / "handheld"), Desktop(Base / "desktop") {
        fs::create_directories(Root / "Storage Card");
        fs::create_directories(Desktop);
        setenv("ORVENDAL_DEVICE_ROOT", Root.c_str(), 1);
    }
    ~TDeviceSandbox() { unsetenv("ORVENDAL_DEVICE_ROOT"); }

    fs::path Base, Root, Desktop;

    std::string At(const std::string& name) const { return (Desktop / name).string(); }
    // The local file behind "\Storage Card\<name>".
    fs::path Card(const std::string& name) const { return Root / "Storage Card" / name; }
};

// Bytes that differ from position to position, so that a shifted or cut copy shows.
inline std::string Pattern(size_t size, uint32_t seed = 1) {
    std::minstd_rand next(seed);
    std::string bytes(size, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(next() >> 8); });
    return bytes;
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
// The file's bytes; "missing" when it cannot be read.
inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "missing";
}

inline std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace orvendal::testing
