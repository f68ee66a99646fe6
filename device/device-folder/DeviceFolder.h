#pragma once
// A handheld's file system emulated over a local folder (ORVENDAL_DEVICE_ROOT): device paths
// ("\Storage Card\x.xml") map onto it component by component, case-insensitively. These are
// the operations behind the exported remote API entry points; they keep its failure values.

#include "device/Rapi.h"

// Marks a C entry point of the shared library.
#define ORVENDAL_RAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace orvendal::devicefolder {

// Opens a session (the device counts as connected while one is open); S_OK.
HRESULT BeginSession();
// Closes a session; E_FAIL when none is open.
HRESULT EndSession();
// Opens or creates the file at the device path. INVALID_HANDLE_VALUE without a session, without
// a root, for a malformed path ("." or ".." components), a missing folder on the way, a missing
// file where it must exist, a folder in place of the file, or an access of neither read nor
// write.
HANDLE OpenFile(const WCHAR* path, DWORD desiredAccess, DWORD creationDisposition);
// The size's low 32 bits (high part into fileSizeHigh when given); INVALID_FILE_SIZE on failure.
DWORD FileSize(HANDLE file, DWORD* fileSizeHigh);
// Reads up to count bytes (at most ORVENDAL_DEVICE_CHUNK when that is set); 0 read at the end.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done);
// Writes up to count bytes (at most ORVENDAL_DEVICE_CHUNK when that is set).
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done);
// Closes the handle; false for an unknown one.
BOOL CloseFile(HANDLE file);

} // namespace orvendal::devicefolder
