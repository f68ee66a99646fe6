#pragma once
// The mail library's side of the mail transport: one SMTP connection and one POP3 or IMAP4
// mailbox on vmime, with messages converted to and from TMailMessage. Nothing here knows the
// transport's rules (which message to choose, what to delete); TVelMail does.
//
// Every operation throws std::exception with the library's or the server's own message;
// TVelMail catches it at its steps. Certificate failures read "Zertifikat ...".

#include "transport/MailMessage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orvendal {

// How a connection is secured: plain text, STARTTLS (required: a server that does not offer it
// is refused before any login) or TLS from the first byte. Unknown stands for a settings value
// that names none of these; connecting then fails rather than fall back to plain text.
enum class TMailSecurity { Plain, StartTls, Tls, Unknown };

// One mail server endpoint as the settings give it.
struct TMailServer {
    std::string Host;     // empty = none configured
    uint16_t Port = 0;    // the protocol's default when no ":port" was given
    std::string UserName; // empty = no authentication
    std::string Password;
    TMailSecurity Security = TMailSecurity::Plain;
    std::string CAFile; // a PEM file trusted besides the system's CA store; empty = none
};

// "starttls", "tls" or empty (any case, blanks ignored); anything else is Unknown.
TMailSecurity ParseMailSecurity(const std::string& text);
// The security as orvendal-cli shows it: "unverschlüsselt", "STARTTLS", "TLS", "unbekannt".
std::string MailSecurityText(TMailSecurity security);
// An address list from a settings text: "Name <a@b>, c@d" (commas or semicolons).
TMailAddressList ParseAddressList(std::string text);

class TMailClient {
public:
    TMailClient();
    ~TMailClient(); // closes both connections
    TMailClient(const TMailClient&) = delete;
    TMailClient& operator=(const TMailClient&) = delete;

    bool SmtpConnected() const;
    // Connects and, when the server names a user, authenticates (SASL: SMTP has no plain login).
    void SmtpConnect(const TMailServer& server);
    // Sends the message; agent (when not empty) goes out as X-Mailer.
    void SmtpSend(const TMailMessage& message, const std::string& agent);
    void CloseSmtp() noexcept;

    bool StoreConnected() const;
    // Connects to the POP3 or IMAP4 server and logs in with USER/PASS or LOGIN.
    void StoreConnect(const TMailServer& server, bool imap);
    // Opens INBOX; the number of its messages, 0 when it cannot be selected.
    size_t OpenInbox();
    // The sum of the message sizes (LIST or FETCH RFC822.SIZE).
    int64_t MailboxSize(size_t count);
    // The header of message number (TOP n 0 or a header fetch); false when the server refuses
    // it, and the connection stays usable for the next message.
    bool ReadHeader(size_t number, TMailMessage& message);
    // The whole message number, read without marking it seen. A refusal throws at once with
    // the server's own reason.
    void ReadMessage(size_t number, TMailMessage& message);
    // DELE (effective at QUIT) or STORE +FLAGS.SILENT (\Deleted).
    void Delete(size_t number);
    // IMAP4 EXPUNGE; nothing for POP3.
    void Expunge();
    // Closes INBOX (POP3 commits its deletions at QUIT) and the store.
    void CloseStore() noexcept;

private:
    struct TVmime; // the library's session and services
    std::unique_ptr<TVmime> vmime_;
};

} // namespace orvendal
