#pragma once
// Simple MAPI reader: lists, reads and deletes the messages of the user's mail profile and
// converts each into a TMailMessage. It never sends.
//
// The library is the one named by ORVENDAL_MAPI_LIBRARY, loaded at run time once per process
// when Simple MAPI counts as installed: ORVENDAL_MAPI_INSTALLED must be exactly "1" (the
// desktop's "MAPI" registry value). Each entry point is looked up by name on first use; a
// library that is not installed or loadable, or a missing entry point, gives code 1.

#include "transport/MailMessage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvendal {

// The published Simple MAPI records and entry points (C layout; ULONG is 32 bits, handles and
// UI parameters pointer-sized). Texts are Windows-1252 bytes.
namespace mapi {
using ULONG = uint32_t;
using LHANDLE = uintptr_t;

struct MapiRecipDesc {
    ULONG ulReserved;
    ULONG ulRecipClass; // 0 originator, 1 To, 2 Cc, 3 Bcc
    char* lpszName;
    char* lpszAddress;
    ULONG ulEIDSize;
    void* lpEntryID;
};

struct MapiFileDesc {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;
    char* lpszPathName; // the attachment's temporary copy
    char* lpszFileName;
    void* lpFileType;
};

struct MapiMessage {
    ULONG ulReserved;
    char* lpszSubject;
    char* lpszNoteText;
    char* lpszMessageType;
    char* lpszDateReceived; // "yyyy/mm/dd hh:mm"
    char* lpszConversationID;
    ULONG flFlags;
    MapiRecipDesc* lpOriginator;
    ULONG nRecipCount;
    MapiRecipDesc* lpRecips;
    ULONG nFileCount;
    MapiFileDesc* lpFiles;
};

constexpr ULONG MAPI_NEW_SESSION = 0x2;
constexpr ULONG MAPI_PEEK = 0x80;
constexpr ULONG MAPI_ENVELOPE_ONLY = 0x40;
constexpr size_t MessageIdSize = 512; // the id buffer MAPIFindNext writes into

extern "C" {
using MAPILogonFn = ULONG (*)(uintptr_t uiParam, char* profile, char* password, ULONG flags,
                              ULONG reserved, LHANDLE* session);
using MAPILogoffFn = ULONG (*)(LHANDLE session, uintptr_t uiParam, ULONG flags, ULONG reserved);
using MAPIFindNextFn = ULONG (*)(LHANDLE session, uintptr_t uiParam, char* messageType,
                                 char* seedId, ULONG flags, ULONG reserved, char* messageId);
using MAPIReadMailFn = ULONG (*)(LHANDLE session, uintptr_t uiParam, char* messageId, ULONG flags,
                                 ULONG reserved, MapiMessage** message);
using MAPIFreeBufferFn = ULONG (*)(void* buffer);
using MAPIDeleteMailFn = ULONG (*)(LHANDLE session, uintptr_t uiParam, char* messageId, ULONG flags,
                                   ULONG reserved);
}
} // namespace mapi

class TMAPIMail {
public:
    TMAPIMail();
    ~TMAPIMail(); // logs off
    TMAPIMail(const TMAPIMail&) = delete;
    TMAPIMail& operator=(const TMAPIMail&) = delete;

    std::vector<std::string> MessageIds; // ids in the order Simple MAPI returned them
    uintptr_t SessionHandle = 0;         // session of the last Logon; 0 after Logoff
    std::string ProfileName;             // profile for Logon (settings key 12)
    std::string ProfilePassword;         // password for Logon (settings key 13)
    bool LoggedOn = false;               // a session is open
    uint32_t LastResult = 0;             // code of the last Simple MAPI call (0 = success)

    // Opens a new session when none is open; returns LoggedOn.
    bool Logon();
    // Closes the session; true when no session is open afterwards (a failed call keeps it).
    bool Logoff();
    // With reload: collects up to maximum ids (0 = 1000) afresh; without: the count collected.
    int32_t FindMessages(int32_t maximum, bool reload);
    // Reads message index (1-based) into message: envelope only, or whole with attachments
    // (on temporary paths, TemporaryFile set). False when not logged on or index is out of range.
    bool ReadHeader(int32_t index, TMailMessage& message);
    bool ReadMessage(int32_t index, TMailMessage& message);
    // Deletes message index (1-based); on success later ids move down by one.
    bool DeleteMessage(int32_t index);

private:
    bool Read(int32_t index, TMailMessage& message, uint32_t flags);
};

// The text without a leading "SMTP:" (case-sensitive); otherwise unchanged.
std::string RemoveSmtpPrefix(const std::string& address);
// A Simple MAPI date "yyyy/mm/dd hh:mm" (UTC); the current time when it does not parse.
std::chrono::system_clock::time_point ParseMapiDate(const std::string& text);

} // namespace orvendal
