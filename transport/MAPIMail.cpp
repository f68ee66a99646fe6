#include "transport/MAPIMail.h"

#include "protect/Ansi.h"

#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <mutex>

namespace orvendal {

namespace {

using namespace mapi;

constexpr ULONG NotAvailable = 1; // the code of every call without the library or entry point

// The desktop's "Simple MAPI installed" value: exactly "1", nothing else.
bool MapiInstalled() {
    const char* value = std::getenv("ORVENDAL_MAPI_INSTALLED");
    return value != nullptr && std::string(value) == "1";
}

// The process-wide library handle, loaded once on first use; freed at process end.
class TMapiLibrary {
public:
    static TMapiLibrary& Instance() {
        static TMapiLibrary library;
        return library;
    }
    // The entry point by name, looked up once; nullptr when the library or the name is missing.
    template <typename Fn> Fn Entry(const char* name, Fn& cache) {
        std::call_once(loaded_, [this] { Load(); });
        if (cache == nullptr && handle_ != nullptr)
            cache = reinterpret_cast<Fn>(dlsym(handle_, name));
        return cache;
    }
    ~TMapiLibrary() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }

    MAPILogonFn Logon = nullptr;
    MAPILogoffFn Logoff = nullptr;
    MAPIFindNextFn FindNext = nullptr;
    MAPIReadMailFn ReadMail = nullptr;
    MAPIFreeBufferFn FreeBuffer = nullptr;
    MAPIDeleteMailFn DeleteMail = nullptr;

private:
    void Load() {
        const char* name = std::getenv("ORVENDAL_MAPI_LIBRARY");
        if (MapiInstalled() && name != nullptr && *name != '\0')
            handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    }
    std::once_flag loaded_;
    void* handle_ = nullptr;
};

// Calls the entry point name with args, or gives code 1 when it is not there.
template <typename Fn, typename... Args> ULONG Call(const char* name, Fn& cache, Args... args) {
    Fn fn = TMapiLibrary::Instance().Entry(name, cache);
    return fn == nullptr ? NotAvailable : fn(args...);
}

std::string Text(const char* ansi) {
    return ansi == nullptr ? std::string() : AnsiToUtf8(ansi);
}

TMailAddress Address(const MapiRecipDesc& desc) {
    return {Text(desc.lpszName), RemoveSmtpPrefix(Text(desc.lpszAddress))};
}

void Convert(const MapiMessage& source, TMailMessage& target) {
    target.Clear();
    if (source.lpOriginator != nullptr) {
        TMailAddress from = Address(*source.lpOriginator);
        target.FromName = from.Name;
        target.FromAddress = from.Address;
    }
    target.Date = ParseMapiDate(Text(source.lpszDateReceived));
    target.Subject = Text(source.lpszSubject);
    target.Body = Text(source.lpszNoteText);
    for (ULONG i = 0; i < source.nRecipCount; ++i) {
        const MapiRecipDesc& desc = source.lpRecips[i];
        TMailAddressList& list = desc.ulRecipClass == 1   ? target.Recipients
                                 : desc.ulRecipClass == 2 ? target.CCList
                                                          : target.BccList;
        list.push_back(Address(desc));
    }
    for (ULONG i = 0; i < source.nFileCount; ++i) {
        const MapiFileDesc& file = source.lpFiles[i];
        if (file.lpszPathName == nullptr || *file.lpszPathName == '\0')
            continue;
        TMailAttachment attachment;
        attachment.FileName = Text(file.lpszFileName);
        attachment.FilePath = file.lpszPathName;
        attachment.TemporaryFile = true;
        target.Attachments.push_back(std::move(attachment));
    }
}

} // namespace

std::string RemoveSmtpPrefix(const std::string& address) {
    return address.starts_with("SMTP:") ? address.substr(5) : address;
}

std::chrono::system_clock::time_point ParseMapiDate(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, used = 0;
    bool parsed = std::sscanf(text.c_str(), "%4d/%2d/%2d %2d:%2d%n", &year, &month, &day, &hour,
                              &minute, &used) == 5 &&
                  static_cast<size_t>(used) == text.size() && month >= 1 && month <= 12 &&
                  day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && hour >= 0 && minute >= 0;
    if (!parsed)
        return std::chrono::system_clock::now();
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

TMAPIMail::TMAPIMail() = default;

TMAPIMail::~TMAPIMail() {
    Logoff();
}

bool TMAPIMail::Logon() {
    if (LoggedOn)
        return true;
    std::string profile = Utf8ToAnsi(ProfileName), password = Utf8ToAnsi(ProfilePassword);
    LHANDLE session = 0;
    LastResult = Call("MAPILogon", TMapiLibrary::Instance().Logon, uintptr_t{0}, profile.data(),
                      password.data(), MAPI_NEW_SESSION, ULONG{0}, &session);
    LoggedOn = LastResult == 0;
    if (LoggedOn)
        SessionHandle = session;
    return LoggedOn;
}

bool TMAPIMail::Logoff() {
    if (!LoggedOn)
        return true;
    LastResult = Call("MAPILogoff", TMapiLibrary::Instance().Logoff, SessionHandle, uintptr_t{0},
                      ULONG{0}, ULONG{0});
    if (LastResult != 0)
        return false;
    SessionHandle = 0;
    MessageIds.clear();
    LoggedOn = false;
    return true;
}

int32_t TMAPIMail::FindMessages(int32_t maximum, bool reload) {
    if (!reload)
        return static_cast<int32_t>(MessageIds.size());
    MessageIds.clear();
    if (maximum <= 0)
        maximum = 1000;
    if (!LoggedOn)
        return 0;
    std::string seed;
    for (;;) {
        char id[MessageIdSize + 1] = {};
        LastResult =
            Call("MAPIFindNext", TMapiLibrary::Instance().FindNext, SessionHandle, uintptr_t{0},
                 static_cast<char*>(nullptr), seed.data(), ULONG{0}, ULONG{0}, id);
        if (LastResult != 0 || id[0] == '\0' || static_cast<int32_t>(MessageIds.size()) >= maximum)
            break;
        seed = id;
        MessageIds.push_back(seed);
    }
    return static_cast<int32_t>(MessageIds.size());
}

bool TMAPIMail::ReadHeader(int32_t index, TMailMessage& message) {
    return Read(index, message, MAPI_ENVELOPE_ONLY | MAPI_PEEK);
}

bool TMAPIMail::ReadMessage(int32_t index, TMailMessage& message) {
    return Read(index, message, MAPI_PEEK);
}

bool TMAPIMail::Read(int32_t index, TMailMessage& message, uint32_t flags) {
    if (!LoggedOn || index < 1 || index > static_cast<int32_t>(MessageIds.size()))
        return false;
    std::string id = MessageIds[index - 1];
    MapiMessage* record = nullptr;
    LastResult = Call("MAPIReadMail", TMapiLibrary::Instance().ReadMail, SessionHandle,
                      uintptr_t{0}, id.data(), flags, ULONG{0}, &record);
    if (LastResult != 0 || record == nullptr)
        return false;
    Convert(*record, message);
    LastResult =
        Call("MAPIFreeBuffer", TMapiLibrary::Instance().FreeBuffer, static_cast<void*>(record));
    return LastResult == 0;
}

bool TMAPIMail::DeleteMessage(int32_t index) {
    if (!LoggedOn || index < 1 || index > static_cast<int32_t>(MessageIds.size()))
        return false;
    std::string id = MessageIds[index - 1];
    LastResult = Call("MAPIDeleteMail", TMapiLibrary::Instance().DeleteMail, SessionHandle,
                      uintptr_t{0}, id.data(), ULONG{0}, ULONG{0});
    if (LastResult != 0)
        return false;
    MessageIds.erase(MessageIds.begin() + (index - 1));
    return true;
}

} // namespace orvendal
