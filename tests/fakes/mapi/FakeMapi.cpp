// A Simple MAPI store over a folder: ORVENDAL_FAKE_MAPI_DIR holds one file per message, its
// file name being the message id (ids run in file-name order). A message file is header lines
// "Key: value" up to an empty line, then the note text. Keys: Subject, Date (as Simple MAPI
// gives it, "yyyy/mm/dd hh:mm"), From, To, Cc, Bcc ("Name|Address", To/Cc/Bcc may repeat) and
// Attach (a file path; repeatable). A whole read copies each attachment to a temporary file, as
// Simple MAPI does. ORVENDAL_FAKE_MAPI_PASSWORD, when set, is the only password Logon accepts;
// ORVENDAL_FAKE_MAPI_FAIL_READ, when set, makes every whole read fail (code 2).

#include "transport/MAPIMail.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace orvendal::mapi;
namespace fs = std::filesystem;

namespace {

constexpr ULONG Success = 0, Failure = 2, LoginFailure = 3, NoMessages = 26, InvalidMessage = 27,
                InvalidSession = 19;
constexpr LHANDLE OpenSession = 0x5e55;

LHANDLE session = 0;

fs::path Folder() {
    const char* dir = std::getenv("ORVENDAL_FAKE_MAPI_DIR");
    return dir == nullptr ? fs::path() : fs::path(dir);
}

std::vector<std::string> Ids() {
    std::vector<std::string> ids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Folder(), error))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            ids.push_back(entry.path().filename().string());
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool ValidId(const char* id) {
    if (id == nullptr || *id == '\0' || std::strchr(id, '/') != nullptr)
        return false;
    return fs::is_regular_file(Folder() / id);
}

// One message record with the storage its pointers point into; freed by MAPIFreeBuffer.
struct TRecord {
    MapiMessage message{};
    std::vector<std::unique_ptr<std::string>> texts;
    MapiRecipDesc originator{};
    std::vector<MapiRecipDesc> recipients;
    std::vector<MapiFileDesc> files;

    char* Keep(const std::string& text) {
        texts.push_back(std::make_unique<std::string>(text));
        return texts.back()->data();
    }
    MapiRecipDesc Recipient(ULONG kind, const std::string& value) {
        size_t bar = value.find('|');
        std::string name = bar == std::string::npos ? std::string() : value.substr(0, bar);
        std::string address = bar == std::string::npos ? value : value.substr(bar + 1);
        return {0, kind, Keep(name), Keep(address), 0, nullptr};
    }
};

std::map<void*, std::unique_ptr<TRecord>> records;

// A copy of the attachment in the temporary folder; empty when it cannot be made.
std::string TemporaryCopy(const std::string& path) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fake-mapi-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        return {};
    close(fd);
    std::error_code error;
    fs::copy_file(path, pattern, fs::copy_options::overwrite_existing, error);
    return error ? std::string() : pattern;
}

std::unique_ptr<TRecord> Load(const std::string& id, bool envelopeOnly) {
    auto record = std::make_unique<TRecord>();
    std::ifstream in(Folder() / id, std::ios::binary);
    std::string line, note;
    bool inHeader = true;
    while (std::getline(in, line)) {
        if (!inHeader) {
            note += line + "\n";
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            inHeader = false;
            continue;
        }
        size_t colon = line.find(": ");
        std::string key = line.substr(0, colon);
        std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 2);
        if (key == "Subject")
            record->message.lpszSubject = record->Keep(value);
        else if (key == "Date")
            record->message.lpszDateReceived = record->Keep(value);
        else if (key == "From")
            record->originator = record->Recipient(0, value);
        else if (key == "To" || key == "Cc" || key == "Bcc")
            record->recipients.push_back(record->Recipient(key == "To"   ? 1
                                                           : key == "Cc" ? 2
                                                                         : 3,
                                                           value));
        else if (key == "Attach" && !envelopeOnly) {
            std::string copy = TemporaryCopy(value);
            std::string name = fs::path(value).filename().string();
            record->files.push_back({0, 0, ~ULONG{0}, copy.empty() ? nullptr : record->Keep(copy),
                                     record->Keep(name), nullptr});
        }
    }
    if (!envelopeOnly)
        record->message.lpszNoteText = record->Keep(note);
    record->message.lpOriginator = &record->originator;
    record->message.nRecipCount = static_cast<ULONG>(record->recipients.size());
    record->message.lpRecips = record->recipients.empty() ? nullptr : record->recipients.data();
    record->message.nFileCount = static_cast<ULONG>(record->files.size());
    record->message.lpFiles = record->files.empty() ? nullptr : record->files.data();
    return record;
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT ULONG MAPILogon(uintptr_t, char*, char* password, ULONG flags, ULONG, LHANDLE* out) {
    const char* wanted = std::getenv("ORVENDAL_FAKE_MAPI_PASSWORD");
    if (out == nullptr || (flags & MAPI_NEW_SESSION) == 0 ||
        (wanted != nullptr && (password == nullptr || std::strcmp(wanted, password) != 0)))
        return LoginFailure;
    session = OpenSession;
    *out = session;
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
    std::string after = seed == nullptr ? std::string() : seed;
    for (const std::string& id : Ids()) {
        if (!after.empty() && id <= after)
            continue;
        if (id.size() >= MessageIdSize)
            return Failure;
        std::strcpy(out, id.c_str());
        return Success;
    }
    out[0] = '\0';
    return NoMessages;
}

FAKE_EXPORT ULONG MAPIReadMail(LHANDLE handle, uintptr_t, char* id, ULONG flags, ULONG,
                               MapiMessage** out) {
    if (handle == 0 || handle != session)
        return InvalidSession;
    if (out == nullptr || !ValidId(id))
        return InvalidMessage;
    bool envelopeOnly = (flags & MAPI_ENVELOPE_ONLY) != 0;
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
    if (!ValidId(id))
        return InvalidMessage;
    std::error_code error;
    return fs::remove(Folder() / id, error) ? Success : Failure;
}
