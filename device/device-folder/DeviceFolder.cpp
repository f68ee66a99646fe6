#include "device/device-folder/DeviceFolder.h"

#include "device/Utf16.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvendal::devicefolder {

namespace {

// Process-wide state of the emulated device: open sessions and open files.
struct TState {
    std::mutex Lock;
    int Sessions = 0;
    std::map<HANDLE, int> Files; // handle -> descriptor
    HANDLE Next = 1;
};

TState& State() {
    static TState state;
    return state;
}

// Folds a UTF-8 name for comparison: ASCII and Latin-1 letters (the handheld's file names are
// German), bytes of anything else stay as they are.
std::string Fold(const std::string& name) {
    std::string folded = name;
    for (size_t i = 0; i < folded.size(); ++i) {
        auto& c = reinterpret_cast<unsigned char&>(folded[i]);
        if (c >= 'A' && c <= 'Z') {
            c += 0x20;
        } else if (c == 0xC3 && i + 1 < folded.size()) {
            auto& next = reinterpret_cast<unsigned char&>(folded[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) // À..Þ except ×
                next += 0x20;
            ++i;
        }
    }
    return folded;
}

// Splits a device path at '\' (and '/'); empty when a component is "." or "..".
std::optional<std::vector<std::string>> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of("\\/", start), path.size());
        std::string part = path.substr(start, end - start);
        if (part == "." || part == "..")
            return std::nullopt;
        if (!part.empty())
            parts.push_back(std::move(part));
        start = end + 1;
    }
    return parts;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The entry of folder whose name matches name case-insensitively (the exact spelling first,
// else the first match in name order, so the choice is stable); empty when none.
std::string FindEntry(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return {};
    const std::string wanted = Fold(name);
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate == name) {
            matches = {candidate};
            break;
        }
        if (Fold(candidate) == wanted)
            matches.push_back(candidate);
    }
    ::closedir(dir);
    if (matches.empty())
        return {};
    return *std::min_element(matches.begin(), matches.end());
}

// The local path of the device path below root; the last component may be new when create is
// set (it keeps the given case). Folders on the way must exist, as on a device.
std::optional<std::string> MapPath(const std::string& root, const std::string& devicePath,
                                   bool create) {
    const auto parts = Components(devicePath);
    if (!parts || parts->empty())
        return std::nullopt;
    std::string local = root;
    for (size_t i = 0; i < parts->size(); ++i) {
        const bool last = i + 1 == parts->size();
        std::string entry = FindEntry(local, (*parts)[i]);
        if (entry.empty() && last && create)
            entry = (*parts)[i];
        if (entry.empty())
            return std::nullopt;
        local += "/" + entry;
        if (!last && !IsFolder(local))
            return std::nullopt;
    }
    return local;
}

std::optional<int> OpenFlags(DWORD desiredAccess, DWORD creationDisposition) {
    int flags;
    switch (desiredAccess & (GENERIC_READ | GENERIC_WRITE)) {
    case GENERIC_READ:
        flags = O_RDONLY;
        break;
    case GENERIC_WRITE:
        flags = O_WRONLY;
        break;
    case GENERIC_READ | GENERIC_WRITE:
        flags = O_RDWR;
        break;
    default:
        return std::nullopt;
    }
    switch (creationDisposition) {
    case CREATE_NEW:
        return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return flags | O_CREAT | O_TRUNC;
    case OPEN_EXISTING:
        return flags;
    case OPEN_ALWAYS:
        return flags | O_CREAT;
    case TRUNCATE_EXISTING:
        return (flags == O_RDONLY) ? std::nullopt : std::optional(flags | O_TRUNC);
    default:
        return std::nullopt;
    }
}

// The most bytes one read or write call moves: ORVENDAL_DEVICE_CHUNK when set (a slow link).
DWORD Chunk(DWORD count) {
    const char* text = std::getenv("ORVENDAL_DEVICE_CHUNK");
    const unsigned long chunk = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
    return chunk > 0 && chunk < count ? static_cast<DWORD>(chunk) : count;
}

// The descriptor of handle, or -1.
int Descriptor(HANDLE file) {
    TState& state = State();
    std::lock_guard guard(state.Lock);
    const auto found = state.Files.find(file);
    return found == state.Files.end() ? -1 : found->second;
}

} // namespace

HRESULT BeginSession() {
    TState& state = State();
    std::lock_guard guard(state.Lock);
    ++state.Sessions;
    return S_OK;
}

HRESULT EndSession() {
    TState& state = State();
    std::lock_guard guard(state.Lock);
    if (state.Sessions == 0)
        return E_FAIL;
    --state.Sessions;
    return S_OK;
}

HANDLE OpenFile(const WCHAR* path, DWORD desiredAccess, DWORD creationDisposition) {
    TState& state = State();
    const char* root = std::getenv("ORVENDAL_DEVICE_ROOT");
    std::string devicePath;
    const auto flags = OpenFlags(desiredAccess, creationDisposition);
    if (root == nullptr || *root == '\0' || path == nullptr || !flags ||
        !Utf16ToUtf8(path, devicePath))
        return INVALID_HANDLE_VALUE;
    {
        std::lock_guard guard(state.Lock);
        if (state.Sessions == 0)
            return INVALID_HANDLE_VALUE; // not connected
    }
    const auto local = MapPath(root, devicePath, (*flags & O_CREAT) != 0);
    if (!local)
        return INVALID_HANDLE_VALUE;
    const int fd = ::open(local->c_str(), *flags | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard guard(state.Lock);
    while (state.Next == 0 || state.Next == INVALID_HANDLE_VALUE || state.Files.count(state.Next))
        ++state.Next;
    const HANDLE handle = state.Next++;
    state.Files[handle] = fd;
    return handle;
}

DWORD FileSize(HANDLE file, DWORD* fileSizeHigh) {
    struct stat info {};
    const int fd = Descriptor(file);
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return INVALID_FILE_SIZE;
    const auto size = static_cast<uint64_t>(info.st_size);
    if (fileSizeHigh != nullptr)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done) {
    const int fd = Descriptor(file);
    if (fd < 0 || (buffer == nullptr && count > 0))
        return 0;
    ssize_t got;
    do {
        got = ::read(fd, buffer, Chunk(count));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return 0;
    if (done != nullptr)
        *done = static_cast<DWORD>(got);
    return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) {
    const int fd = Descriptor(file);
    if (fd < 0 || (buffer == nullptr && count > 0))
        return 0;
    ssize_t put;
    do {
        put = ::write(fd, buffer, Chunk(count));
    } while (put < 0 && errno == EINTR);
    if (put < 0)
        return 0;
    if (done != nullptr)
        *done = static_cast<DWORD>(put);
    return 1;
}

BOOL CloseFile(HANDLE file) {
    TState& state = State();
    int fd;
    {
        std::lock_guard guard(state.Lock);
        const auto found = state.Files.find(file);
        if (found == state.Files.end())
            return 0;
        fd = found->second;
        state.Files.erase(found);
    }
    return ::close(fd) == 0 ? 1 : 0;
}

} // namespace orvendal::devicefolder
