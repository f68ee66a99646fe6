// The remote API's entry points with C linkage, as the loader resolves them by name.
// ORVENDAL_OMIT_<name> leaves an entry point out, for libraries of an older or partial shape.

#include "device/device-folder/DeviceFolder.h"

using namespace orvendal;

#ifndef ORVENDAL_OMIT_CeRapiInitEx
ORVENDAL_RAPI_EXPORT HRESULT CeRapiInitEx(RAPIINIT* init) {
    if (init == nullptr || init->cbSize != sizeof(RAPIINIT))
        return E_INVALIDARG;
    // connected at once: there is no event to wait for
    init->heRapiInit = 0;
    init->hrRapiInit = devicefolder::BeginSession();
    return init->hrRapiInit;
}
#endif

ORVENDAL_RAPI_EXPORT HRESULT CeRapiInit() {
    return devicefolder::BeginSession();
}

ORVENDAL_RAPI_EXPORT HRESULT CeRapiUninit() {
    return devicefolder::EndSession();
}

ORVENDAL_RAPI_EXPORT HANDLE CeCreateFile(const WCHAR* fileName, DWORD desiredAccess, DWORD, void*,
                                         DWORD creationDisposition, DWORD, HANDLE) {
    return devicefolder::OpenFile(fileName, desiredAccess, creationDisposition);
}

#ifndef ORVENDAL_OMIT_CeGetFileSize
ORVENDAL_RAPI_EXPORT DWORD CeGetFileSize(HANDLE file, DWORD* fileSizeHigh) {
    return devicefolder::FileSize(file, fileSizeHigh);
}
#endif

ORVENDAL_RAPI_EXPORT BOOL CeReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void*) {
    return devicefolder::ReadFile(file, buffer, count, done);
}

ORVENDAL_RAPI_EXPORT BOOL CeWriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                                      void*) {
    return devicefolder::WriteFile(file, buffer, count, done);
}

ORVENDAL_RAPI_EXPORT BOOL CeCloseHandle(HANDLE file) {
    return devicefolder::CloseFile(file);
}
