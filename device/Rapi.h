#pragma once
// The binary interface of the Windows CE remote API library as the Linux library exports it:
// 16-bit WCHAR paths, 32-bit handles, C linkage. Shared by the loader (WinCE) and by the
// folder-backed library (device-folder/), so both sides agree byte for byte.

#include <cstdint>

namespace orvendal {

using WCHAR = char16_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using HRESULT = int32_t;
using HANDLE = uint32_t;

// Passed to CeRapiInitEx; cbSize is 12, the library fills the other two fields.
struct RAPIINIT {
    DWORD cbSize;
    HANDLE heRapiInit;
    HRESULT hrRapiInit;
};
static_assert(sizeof(RAPIINIT) == 12);

inline constexpr HANDLE INVALID_HANDLE_VALUE = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

// The entry points' types, as resolved by name from the library.
using TCeRapiInitEx = HRESULT (*)(RAPIINIT* init);
using TCeRapiInit = HRESULT (*)();
using TCeRapiUninit = HRESULT (*)();
using TCeCreateFile = HANDLE (*)(const WCHAR* fileName, DWORD desiredAccess, DWORD shareMode,
                                 void* securityAttributes, DWORD creationDisposition,
                                 DWORD flagsAndAttributes, HANDLE templateFile);
using TCeGetFileSize = DWORD (*)(HANDLE file, DWORD* fileSizeHigh);
using TCeReadFile = BOOL (*)(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                             void* overlapped);
using TCeWriteFile = BOOL (*)(HANDLE file, const void* buffer, DWORD bytesToWrite,
                              DWORD* bytesWritten, void* overlapped);
using TCeCloseHandle = BOOL (*)(HANDLE object);

} // namespace orvendal
