#pragma once
// The one mail message the transports fill and send: a plain value that knows nothing of the
// mail library. The SMTP, POP3 and IMAP4 side converts it to and from MIME; the Simple MAPI
// reader fills it from the library's message record.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace orvendal {

// One mailbox: a display name (may be empty) and an address ("user@host").
struct TMailAddress {
    std::string Name;
    std::string Address;
    bool operator==(const TMailAddress&) const = default;
};

using TMailAddressList = std::vector<TMailAddress>;

// One attached file. Content holds the bytes when they are in memory; FilePath names a file
// that holds them instead (a sent attachment is read from it, a received one may be written to
// it). A TemporaryFile is deleted by the owner of the message once it has used it.
struct TMailAttachment {
    std::string FileName;         // the name the mail carries for it
    std::vector<uint8_t> Content; // the bytes, when held in memory
    std::string FilePath;         // a file with the bytes, when not held in memory
    bool TemporaryFile = false;   // FilePath is a temporary copy to delete after use
};

struct TMailMessage {
    std::string Subject;                          // UTF-8
    std::string Body;                             // plain text body, UTF-8
    std::string FromAddress;                      // sender address
    std::string FromName;                         // sender display name
    TMailAddressList Recipients;                  // To
    TMailAddressList CCList;                      // Cc
    TMailAddressList BccList;                     // Bcc: envelope only, never in the header
    TMailAddressList ReplyTo;                     // Reply-To
    std::chrono::system_clock::time_point Date{}; // UTC; the epoch when unknown
    std::vector<TMailAttachment> Attachments;     // in the order of the message's parts
    uint64_t Size = 0; // size in bytes as the server reported it (0 unknown)

    // Empties every field (attachment temporary files are not touched: their owner deletes them).
    void Clear() { *this = TMailMessage{}; }
};

} // namespace orvendal
