#pragma once
// The mail transport: carries one transfer file at a time between this PC and the server by
// e-mail (SMTP out; POP3, IMAP4 or Simple MAPI in) or, when no mail agent is configured, by
// plain files in a shared folder (file mode). Nothing raises to the caller: every operation
// returns false and leaves "Fehler bei E-Mail-Verarbeitung (Schritt %d: %s)" in ErrorText.
//
// SMTP, POP3 and IMAP4 run through TMailClient; host keys take "host" or "host:port". Key 23
// secures all three connections: empty plain text (ports 25, 110, 143), "starttls" (required)
// or "tls" (ports 465, 995, 993); key 19 names a CA file trusted besides the system's store.

#include "protect/Streams.h"
#include "transport/MAPIMail.h"
#include "transport/MailClient.h"
#include "transport/MailMessage.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvendal {

class TVelMail {
public:
    TVelMail();
    ~TVelMail(); // closes every open connection and session
    TVelMail(const TVelMail&) = delete;
    TVelMail& operator=(const TVelMail&) = delete;

    // The message used for sending and as the target of every download.
    TMailMessage Message;
    TMemoryStream PackedBuffer;   // compressed transfer data
    TMemoryStream PlainBuffer;    // uncompressed transfer data
    std::string DeviceName;       // key 2
    std::string WorkDir;          // folder of the transfer files, ends with its separator
    std::string SendName;         // subject stem of outgoing messages
    std::string ReceiveName;      // subject stem incoming messages must carry
    std::string FileOutPattern;   // file mode: outgoing path with one %s (the blob tag)
    std::string FileInPattern;    // file mode: incoming path with one %s (the empty text)
    int32_t DeviceNumber = 0;     // key 1
    int32_t MaxAgeDays = 28;      // foreign messages older than this many days are deleted
    bool DecryptSubjects = false; // incoming subjects are also tried as enciphered text
    bool EncryptSubjects = false; // outgoing subjects are enciphered and hex-coded
    bool UseMail = true;          // mail mode; false = file mode
    bool UseMapi = false;         // incoming mail through Simple MAPI
    bool UseImap = false;         // incoming mail through IMAP4 (else POP3)
    std::string ErrorText;        // text of the last failed step; empty until a step fails
    const std::string MessagePrefix = "Mail-";

    // The servers and the mail agent text the settings configured (readable for callers/tests).
    TMailServer SmtpServer;     // key 14 (or the POP3 host), 15, 16
    TMailServer IncomingServer; // key 11, 12, 13 (POP3 or IMAP4)
    std::string MailAgent;      // key 10 untrimmed, sent as X-Mailer
    TMAPIMail& MapiReader() { return *Mapi; }

    // Reads the device's enciphered settings; settings that do not decipher leave every key
    // missing (file mode defaults). Called once, before any other operation.
    void LoadSettings(TStream& settings);
    // Sends one file (empty name: WorkDir + P + "export.mdb", P = "MBlob" for a photo). A photo
    // send deletes the source, clears Bcc and keeps the SMTP connection for the next photo.
    bool SendData(bool isBlob, const std::string& fileName, const std::string& blobTag);
    // Fetches the server's file and writes WorkDir + "import.mdb" (replaced whole or not at
    // all). Finding nothing returns true and writes nothing.
    bool ReceiveData();
    // Whether an incoming subject carries ReceiveName (plain, or enciphered when DecryptSubjects).
    bool SubjectMatches(const std::string& subject) const;

private:
    // Chooses and downloads the device's message into Message with the reader the flags select;
    // the message stays on the server until DeleteChosen.
    bool FetchMessage();
    bool FetchMapiMessage();
    // Takes the received attachments into PackedBuffer; whether there was one.
    bool TakeAttachments();
    // Deletes the downloaded message on the server, once its data is safe.
    void DeleteChosen();
    void CloseIncoming();
    // The age rule: (now - date) in days above MaxAgeDays.
    bool TooOld(const TMailMessage& message) const;
    void SetError(int step, const std::string& message);
    std::string DataFileName(const std::string& source) const;

    std::unique_ptr<TMailClient> Client;
    std::unique_ptr<TMAPIMail> Mapi;
    size_t chosen_ = 0; // number of the downloaded message still on the server; 0 = none
};

// The pattern with its first "%s" replaced by value; any other text is kept as it is, so user
// text never reaches a printf-style formatter.
std::string FormatPattern(const std::string& pattern, const std::string& value);
// "host" or "host:port" split into the server's host and port (fallback when no valid port).
void SplitHostPort(const std::string& text, uint16_t fallback, TMailServer& server);

} // namespace orvendal
