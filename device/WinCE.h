#pragma once
// The handheld file link: copies one file to or from the docked handheld through the remote API
// library, which is loaded at run time so that the program runs (without device functions)
// where the library is missing.
//
// The library is the one named by ORVENDAL_RAPI_LIBRARY, otherwise libsynce.so.0, then
// librapi.so.2. Its state is process-wide and never released. All calls come from one thread.

#include "device/Rapi.h"

#include <string>

namespace orvendal {

// Loads the library once and resolves the seven entry points by name (a missing one stays
// empty). True when the library is loaded; after a failure the next call tries again.
bool RapiLoad();

// Thin wrappers: each calls RapiLoad first; without the library or the entry point nothing is
// called and the failure value is returned.
// Starts the remote API; falls back to CeRapiInit when the library lacks CeRapiInitEx.
// 0xFFFF when neither is there.
HRESULT CeRapiInitEx(RAPIINIT* init);
// Ends the remote API; 0xFFFF when missing.
HRESULT CeRapiUninit();
// Opens a device file (UTF-16 path); INVALID_HANDLE_VALUE when missing or the file cannot be
// opened.
HANDLE CeCreateFile(const WCHAR* fileName, DWORD desiredAccess, DWORD shareMode,
                    void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                    HANDLE templateFile);
// The file's size (low 32 bits); 0xFFFF when missing.
DWORD CeGetFileSize(HANDLE file, DWORD* fileSizeHigh);
// Reads up to bytesToRead bytes; false when missing.
BOOL CeReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
// Writes up to bytesToWrite bytes; false when missing.
BOOL CeWriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                 void* overlapped);
// Closes a handle; false when missing.
BOOL CeCloseHandle(HANDLE object);

// Copies the desktop file onto the handheld, replacing the device file (device path in UTF-8,
// e.g. "\\Storage Card\\x.xml"). True only when every byte arrived.
bool CopyFileToDevice(const std::string& desktopPath, const std::string& devicePath);
// Copies the device file to the desktop path, replacing it. True only when every byte arrived;
// on failure the desktop path is left as it was (the copy goes to a temporary file in the same
// folder that is renamed at the end).
bool CopyFileFromDevice(const std::string& desktopPath, const std::string& devicePath);

} // namespace orvendal
