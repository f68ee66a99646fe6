#include "device/WinCE.h"

#include "device/Utf16.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <dlfcn.h>

namespace orvendal {

namespace {

constexpr HRESULT kMissingResult = 0xFFFF;
constexpr DWORD kMissingSize = 0xFFFF;
// Largest count passed to one read or write call of the library.
constexpr size_t kMaxTransfer = 0x7FFFFFFF;

struct TRapiLibrary {
    void* Handle = nullptr;
    TCeRapiInitEx RapiInitEx = nullptr;
    TCeRapiInit RapiInit = nullptr;
    TCeRapiUninit RapiUninit = nullptr;
    TCeCreateFile CreateFile = nullptr;
    TCeGetFileSize GetFileSize = nullptr;
    TCeReadFile ReadFile = nullptr;
    TCeWriteFile WriteFile = nullptr;
    TCeCloseHandle CloseHandle = nullptr;
};

TRapiLibrary& Library() {
    static TRapiLibrary library;
    return library;
}

template <typename T> T Resolve(void* handle, const char* name) {
    return reinterpret_cast<T>(dlsym(handle, name));
}

// The named library, or the first default name that loads and carries CeCreateFile (the core
// library of the Linux package may load without holding the remote API itself).
void* OpenLibrary() {
    const char* named = std::getenv("ORVENDAL_RAPI_LIBRARY");
    if (named != nullptr && *named != '\0')
        return dlopen(named, RTLD_NOW | RTLD_LOCAL);
    for (const char* name : {"libsynce.so.0", "librapi.so.2"}) {
        void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr && dlsym(handle, "CeCreateFile") != nullptr)
            return handle;
        if (handle != nullptr)
            dlclose(handle);
    }
    return nullptr;
}

// Calls the entry point held in member, or returns failure when the library or it is missing.
template <auto Member, typename R, typename... A> R CallOr(R failure, A... args) {
    if (!RapiLoad() || Library().*Member == nullptr)
        return failure;
    return (Library().*Member)(args...);
}

bool ReadDesktop(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got, size -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteDesktop(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put, size -= static_cast<size_t>(put);
    }
    return true;
}

// The library may move fewer bytes than asked: loop, and count a call that moves nothing (or
// reports more than asked) as a failure rather than spin.
bool ReadDevice(HANDLE file, uint8_t* data, size_t size) {
    while (size > 0) {
        const auto want = static_cast<DWORD>(std::min(size, kMaxTransfer));
        DWORD got = 0;
        if (!CeReadFile(file, data, want, &got, nullptr) || got == 0 || got > want)
            return false;
        data += got, size -= got;
    }
    return true;
}

bool WriteDevice(HANDLE file, const uint8_t* data, size_t size) {
    while (size > 0) {
        const auto want = static_cast<DWORD>(std::min(size, kMaxTransfer));
        DWORD put = 0;
        if (!CeWriteFile(file, data, want, &put, nullptr) || put == 0 || put > want)
            return false;
        data += put, size -= put;
    }
    return true;
}

// The device file's size; false when the library cannot tell (the wrapper's 0xFFFF for a missing
// entry point is not a size).
bool DeviceFileSize(HANDLE file, size_t& size) {
    if (!RapiLoad() || Library().GetFileSize == nullptr)
        return false;
    const DWORD low = CeGetFileSize(file, nullptr);
    size = low;
    return low != INVALID_FILE_SIZE;
}

HANDLE OpenDeviceFile(const std::string& devicePath, DWORD access, DWORD share, DWORD creation) {
    std::u16string path;
    if (!Utf8ToUtf16(devicePath, path))
        return INVALID_HANDLE_VALUE;
    return CeCreateFile(path.c_str(), access, share, nullptr, creation, 0, 0);
}

void BeginRapi() {
    RAPIINIT init{};
    init.cbSize = sizeof(RAPIINIT);
    CeRapiInitEx(&init); // neither the result nor the event tells anything we could act on
}

// Moves the whole desktop file to the device file through one buffer.
bool SendFile(int desktop, HANDLE device) {
    try {
        struct stat info {};
        if (fstat(desktop, &info) != 0)
            return false;
        std::vector<uint8_t> buffer(static_cast<size_t>(info.st_size));
        return ReadDesktop(desktop, buffer.data(), buffer.size()) &&
               WriteDevice(device, buffer.data(), buffer.size());
    } catch (const std::exception&) {
        return false; // the buffer could not be had
    }
}

// Moves the whole device file to the desktop file through one buffer.
bool ReceiveFile(HANDLE device, int desktop) {
    try {
        size_t size = 0;
        if (!DeviceFileSize(device, size))
            return false;
        std::vector<uint8_t> buffer(size);
        return ReadDevice(device, buffer.data(), buffer.size()) &&
               WriteDesktop(desktop, buffer.data(), buffer.size());
    } catch (const std::exception&) {
        return false;
    }
}

// Creates a fresh temporary file beside path, so that the final rename stays in one folder.
int CreateTemporary(const std::string& path, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary =
            path + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".part";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool RapiLoad() {
    TRapiLibrary& lib = Library();
    if (lib.Handle != nullptr)
        return true;
    void* handle = OpenLibrary();
    if (handle == nullptr)
        return false;
    lib.RapiInitEx = Resolve<TCeRapiInitEx>(handle, "CeRapiInitEx");
    lib.RapiInit = Resolve<TCeRapiInit>(handle, "CeRapiInit");
    lib.RapiUninit = Resolve<TCeRapiUninit>(handle, "CeRapiUninit");
    lib.CreateFile = Resolve<TCeCreateFile>(handle, "CeCreateFile");
    lib.GetFileSize = Resolve<TCeGetFileSize>(handle, "CeGetFileSize");
    lib.ReadFile = Resolve<TCeReadFile>(handle, "CeReadFile");
    lib.WriteFile = Resolve<TCeWriteFile>(handle, "CeWriteFile");
    lib.CloseHandle = Resolve<TCeCloseHandle>(handle, "CeCloseHandle");
    lib.Handle = handle;
    return true;
}

HRESULT CeRapiInitEx(RAPIINIT* init) {
    if (!RapiLoad())
        return kMissingResult;
    const TRapiLibrary& lib = Library();
    if (lib.RapiInitEx != nullptr)
        return lib.RapiInitEx(init);
    if (lib.RapiInit != nullptr)
        return lib.RapiInit(); // the Linux library offers only the plain form
    return kMissingResult;
}

HRESULT CeRapiUninit() {
    return CallOr<&TRapiLibrary::RapiUninit>(kMissingResult);
}

HANDLE CeCreateFile(const WCHAR* fileName, DWORD desiredAccess, DWORD shareMode,
                    void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                    HANDLE templateFile) {
    return CallOr<&TRapiLibrary::CreateFile>(INVALID_HANDLE_VALUE, fileName, desiredAccess,
                                             shareMode, securityAttributes, creationDisposition,
                                             flagsAndAttributes, templateFile);
}

DWORD CeGetFileSize(HANDLE file, DWORD* fileSizeHigh) {
    return CallOr<&TRapiLibrary::GetFileSize>(kMissingSize, file, fileSizeHigh);
}

BOOL CeReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped) {
    return CallOr<&TRapiLibrary::ReadFile>(BOOL{0}, file, buffer, bytesToRead, bytesRead,
                                           overlapped);
}

BOOL CeWriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                 void* overlapped) {
    return CallOr<&TRapiLibrary::WriteFile>(BOOL{0}, file, buffer, bytesToWrite, bytesWritten,
                                            overlapped);
}

BOOL CeCloseHandle(HANDLE object) {
    return CallOr<&TRapiLibrary::CloseHandle>(BOOL{0}, object);
}

bool CopyFileToDevice(const std::string& desktopPath, const std::string& devicePath) {
    BeginRapi();
    bool result = false;
    const int desktop = ::open(desktopPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (desktop >= 0) {
        const HANDLE device =
            OpenDeviceFile(devicePath, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS);
        if (device != INVALID_HANDLE_VALUE) {
            result = SendFile(desktop, device);
            // a handle that does not close may not have stored the last bytes
            result = CeCloseHandle(device) && result;
        }
        ::close(desktop);
    }
    CeRapiUninit();
    return result;
}

bool CopyFileFromDevice(const std::string& desktopPath, const std::string& devicePath) {
    BeginRapi();
    bool result = false;
    const HANDLE device = OpenDeviceFile(devicePath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (device != INVALID_HANDLE_VALUE) {
        std::string temporary;
        const int desktop = CreateTemporary(desktopPath, temporary);
        if (desktop >= 0)
            result = ReceiveFile(device, desktop);
        CeCloseHandle(device);
        if (desktop >= 0) {
            result = ::close(desktop) == 0 && result;
            result = result && ::rename(temporary.c_str(), desktopPath.c_str()) == 0;
            if (!result)
                ::unlink(temporary.c_str());
        }
    }
    CeRapiUninit();
    return result;
}

} // namespace orvendal
