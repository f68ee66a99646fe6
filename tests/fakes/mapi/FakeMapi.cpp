// A Simple MAPI store over a folder: ORVENDAL_FAKE_MAPI_DIR holds one file per message, its
// file name being the message id (ids run in file-name order). A message file is header lines
// "Key: value" up to an empty line, then the note text. Keys: Subject, Date (as Simple MAPI
// gives it, "yyyy/mm/dd hh:mm") and Attach (a file path; repeatable). A whole read copies each
// attachment to a temporary file, as Simple MAPI does. ORVENDAL_FAKE_MAPI_FAIL_READ, when set,
// makes every whole read fail (code 2).

#include "transport/MAPIMail.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace orvendal::mapi;
namespace fs = std::filesystem;

namespace {

constexpr ULONG Success = 0, Failure = 2, LoginFailure = 3, InvalidSession = 19, NoMessages = 26;
constexpr LHANDLE OpenSession = 0x5e55;

LHANDLE session = 0;

fs::path Folder() {
    const char* dir = std::getenv("ORVENDAL_FAKE_MAPI_DIR");
    return dir == nullptr ? fs::path() : fs::path(dir);
}

// One message record with the storage its pointers point into; freed by MAPIFreeBuffer.
struct TRecord {
    MapiMessage message{};
    std::vector<std::unique_ptr<std::string>> texts;
    std::vector<MapiFileDesc> files;

    char* Keep(const std::string& text) {
        texts.push_back(std::make_unique<std::string>(text));
        return texts.back()->data();
    }
};

std::map<void*, std::unique_ptr<TRecord>> records;

// A copy of the attachment in the temporary folder; empty when it cannot be made.
std::string TemporaryCopy(const std::string& path) {
    std::string copy = (fs::temp_directory_path() / "fake-mapi-XXXXXX").string();
    const int fd = mkstemp(copy.data());
    std::error_code error;
    if (fd < 0 || close(fd) != 0 ||
        !fs::copy_file(path, copy, fs::copy_options::overwrite_existing, error))
        return {};
    return copy;
}

std::unique_ptr<TRecord> Load(const std::string& id, bool envelopeOnly) {
    auto record = std::make_unique<TRecord>();
    std::ifstream in(Folder() / id, std::ios::binary);
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
        const size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
        if (key == "Subject")
            record->message.lpszSubject = record->Keep(value);
        else if (key == "Date")
            record->message.lpszDateReceived = record->Keep(value);
        else if (key == "Attach" && !envelopeOnly) {
            const std::string copy = TemporaryCopy(value);
            record->files.push_back({0, 0, ~ULONG{0}, copy.empty() ? nullptr : record->Keep(copy),
                                     record->Keep(fs::path(value).filename().string()), nullptr});
        }
    }
    if (!envelopeOnly)
        record->message.lpszNoteText = record->Keep({std::istreambuf_iterator<char>(in), {}});
    record->message.nFileCount = static_cast<ULONG>(record->files.size());
    record->message.lpFiles = record->files.empty() ? nullptr : record->files.data();
    return record;
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT ULONG MAPILogon(uintptr_t, char*, char*, ULONG flags, ULONG, LHANDLE* out) {
    if (out == nullptr || (flags & MAPI_NEW_SESSION) == 0)
        return LoginFailure;
    *out = session = OpenSession;
    return Success;
}

FAKE_EXPORT ULONG MAPILogoff(LHANDLE handle, uintptr_t, ULONG, ULONG) {
    if (handle == 0 || handle != session)
        return InvalidSession;
    session = 0;
    return Success;
}

FAKE_EXPORT ULONG MAPIFindNext(LHANDLE handle, uintptr_t, char*, char* seed, ULONG, ULONG,
                               char* out) {
    if (handle == 0 || handle != session)
        return InvalidSession;
    std::set<std::string> ids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Folder(), error))
        ids.insert(entry.path().filename().string());
    const auto next = ids.upper_bound(seed);
    const std::string id = next == ids.end() ? "" : next->substr(0, MessageIdSize - 1);
    std::strcpy(out, id.c_str());
    return id.empty() ? NoMessages : Success;
}

FAKE_EXPORT ULONG MAPIReadMail(LHANDLE handle, uintptr_t, char* id, ULONG flags, ULONG,
                               MapiMessage** out) {
    if (handle == 0 || handle != session)
        return InvalidSession;
    const bool envelopeOnly = (flags & MAPI_ENVELOPE_ONLY) != 0;
    if (!envelopeOnly && std::getenv("ORVENDAL_FAKE_MAPI_FAIL_READ") != nullptr)
        return Failure;
    auto record = Load(id, envelopeOnly);
    *out = &record->message;
    records[&record->message] = std::move(record);
    return Success;
}

FAKE_EXPORT ULONG MAPIFreeBuffer(void* buffer) {
    return records.erase(buffer) == 1 ? Success : Failure;
}

FAKE_EXPORT ULONG MAPIDeleteMail(LHANDLE handle, uintptr_t, char* id, ULONG, ULONG) {
    if (handle == 0 || handle != session)
        return InvalidSession;
    std::error_code error;
    return fs::remove(Folder() / id, error) ? Success : Failure;
}
