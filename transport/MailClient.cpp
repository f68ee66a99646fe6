#include "transport/MailClient.h"

#include "tables/UserFkt.h"
#include "transport/Certificates.h"

#include <vmime/net/pop3/POP3Connection.hpp>
#include <vmime/net/pop3/POP3Store.hpp>
#include <vmime/platforms/posix/posixHandler.hpp>
#include <vmime/security/cert/certificateExpiredException.hpp>
#include <vmime/security/cert/certificateNotYetValidException.hpp>
#include <vmime/security/cert/serverIdentityException.hpp>
#include <vmime/vmime.hpp>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <stdexcept>

namespace orvendal {

namespace {

constexpr int ConnectTimeoutSeconds = 20; // 20000 ms, as for every client of the transport

// Gives up an operation once the server has been silent for the time-out.
class TTimeoutHandler : public vmime::net::timeoutHandler {
public:
    bool isTimeOut() override { return std::time(nullptr) - start_ >= ConnectTimeoutSeconds; }
    void resetTimeOut() override { start_ = std::time(nullptr); }
    bool handleTimeOut() override { return false; }

private:
    std::time_t start_ = std::time(nullptr);
};

class TTimeoutFactory : public vmime::net::timeoutHandlerFactory {
public:
    vmime::shared_ptr<vmime::net::timeoutHandler> create() override {
        return vmime::make_shared<TTimeoutHandler>();
    }
};

std::string Utf8(const vmime::text& text) {
    return text.getConvertedText(vmime::charsets::UTF_8);
}

vmime::mailbox Mailbox(const TMailAddress& address) {
    if (address.Name.empty())
        return vmime::mailbox(vmime::emailAddress(address.Address));
    return vmime::mailbox(vmime::text(address.Name, vmime::charsets::UTF_8),
                          vmime::emailAddress(address.Address));
}

TMailAddress Address(const vmime::mailbox& mailbox) {
    return {Utf8(mailbox.getName()), mailbox.getEmail().toString()};
}

TMailAddressList Addresses(const vmime::addressList& list) {
    TMailAddressList result;
    for (const auto& mailbox : list.toMailboxList()->getMailboxList())
        result.push_back(Address(*mailbox));
    return result;
}

vmime::addressList AddressList(const TMailAddressList& list) {
    vmime::addressList result;
    for (const TMailAddress& address : list)
        result.appendAddress(vmime::make_shared<vmime::mailbox>(Mailbox(address)));
    return result;
}

std::chrono::system_clock::time_point DateOf(const vmime::header& header) {
    if (!header.hasField(vmime::fields::DATE))
        return {};
    auto date = header.Date()->getValue<vmime::datetime>();
    vmime::datetime utc = vmime::utility::datetimeUtils::toUniversalTime(*date);
    std::tm tm{};
    tm.tm_year = utc.getYear() - 1900;
    tm.tm_mon = utc.getMonth() - 1;
    tm.tm_mday = utc.getDay();
    tm.tm_hour = utc.getHour();
    tm.tm_min = utc.getMinute();
    tm.tm_sec = utc.getSecond();
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

template <typename Value>
vmime::shared_ptr<const Value> FieldValue(const vmime::header& header, const char* name) {
    if (!header.hasField(name))
        return nullptr;
    return header.findField(name)->getValue<Value>();
}

// The envelope fields of a received header.
void ReadEnvelope(const vmime::header& header, TMailMessage& message) {
    if (auto subject = FieldValue<vmime::text>(header, vmime::fields::SUBJECT))
        message.Subject = Utf8(*subject);
    if (auto from = FieldValue<vmime::mailbox>(header, vmime::fields::FROM)) {
        message.FromName = Utf8(from->getName());
        message.FromAddress = from->getEmail().toString();
    }
    if (auto to = FieldValue<vmime::addressList>(header, vmime::fields::TO))
        message.Recipients = Addresses(*to);
    if (auto cc = FieldValue<vmime::addressList>(header, vmime::fields::CC))
        message.CCList = Addresses(*cc);
    if (header.hasField(vmime::fields::REPLY_TO))
        message.ReplyTo =
            ParseAddressList(header.findField(vmime::fields::REPLY_TO)->getValue()->generate());
    message.Date = DateOf(header);
}

// A whole received message: envelope, first text part as body, every attachment's bytes.
void ReadWhole(const std::string& raw, TMailMessage& message) {
    auto parsed = vmime::make_shared<vmime::message>();
    parsed->parse(raw);
    ReadEnvelope(*parsed->getHeader(), message);
    vmime::messageParser parser(parsed);
    if (parser.getTextPartCount() > 0) {
        vmime::string body;
        vmime::utility::outputStreamStringAdapter out(body);
        parser.getTextPartAt(0)->getText()->extract(out);
        message.Body = body;
    }
    for (const auto& part : parser.getAttachmentList()) {
        TMailAttachment attachment;
        attachment.FileName = part->getName().getConvertedText(vmime::charsets::UTF_8);
        vmime::string bytes;
        vmime::utility::outputStreamStringAdapter out(bytes);
        part->getData()->extract(out);
        attachment.Content.assign(bytes.begin(), bytes.end());
        message.Attachments.push_back(std::move(attachment));
    }
    message.Size = raw.size();
}

// A Reply-To field with every address of the list: vmime types the field as one mailbox.
class TReplyToField : public vmime::headerField {
public:
    explicit TReplyToField(const vmime::addressList& list) : headerField(vmime::fields::REPLY_TO) {
        m_value = vmime::make_shared<vmime::addressList>(list);
    }
    // The transport sends a copy of the message (without Bcc): copy the list, not a mailbox.
    vmime::shared_ptr<vmime::component> clone() const override {
        return vmime::make_shared<TReplyToField>(*vmime::dynamicCast<vmime::addressList>(m_value));
    }
};

// The subject as RFC 2047 words even to a server that takes raw UTF-8 headers (SMTPUTF8), so
// every reader shows it; as one word, so vmime encodes it whole and keeps every blank.
class TSubjectField : public vmime::headerField {
public:
    explicit TSubjectField(const std::string& subject)
        : headerField(vmime::fields::SUBJECT), subject_(subject) {
        auto text = vmime::make_shared<vmime::text>();
        text->appendWord(vmime::make_shared<vmime::word>(subject, vmime::charsets::UTF_8));
        m_value = text;
    }
    vmime::shared_ptr<vmime::component> clone() const override {
        return vmime::make_shared<TSubjectField>(subject_);
    }

protected:
    void generateImpl(const vmime::generationContext& ctx, vmime::utility::outputStream& os,
                      const size_t curLinePos, size_t* newLinePos) const override {
        vmime::generationContext ascii(ctx);
        ascii.setInternationalizedEmailSupport(false);
        headerField::generateImpl(ascii, os, curLinePos, newLinePos);
    }

private:
    std::string subject_;
};

vmime::shared_ptr<vmime::message> Build(const TMailMessage& message, const std::string& agent) {
    vmime::messageBuilder builder;
    builder.setExpeditor(Mailbox({message.FromName, message.FromAddress}));
    builder.setRecipients(AddressList(message.Recipients));
    builder.setCopyRecipients(AddressList(message.CCList));
    builder.setBlindCopyRecipients(AddressList(message.BccList));
    builder.getTextPart()->setCharset(vmime::charsets::UTF_8);
    builder.getTextPart()->setText(vmime::make_shared<vmime::stringContentHandler>(message.Body));
    for (const TMailAttachment& attachment : message.Attachments) {
        vmime::mediaType type(vmime::mediaTypes::APPLICATION,
                              vmime::mediaTypes::APPLICATION_OCTET_STREAM);
        if (attachment.FilePath.empty()) {
            std::string bytes(attachment.Content.begin(), attachment.Content.end());
            builder.appendAttachment(vmime::make_shared<vmime::defaultAttachment>(
                vmime::make_shared<vmime::stringContentHandler>(bytes), type, vmime::text(),
                vmime::word(attachment.FileName, vmime::charsets::UTF_8)));
            continue;
        }
        auto part = vmime::make_shared<vmime::fileAttachment>(attachment.FilePath, type);
        part->getFileInfo().setFilename(attachment.FileName);
        builder.appendAttachment(part);
    }
    auto built = builder.construct();
    auto header = built->getHeader();
    header->replaceField(header->Subject(), vmime::make_shared<TSubjectField>(message.Subject));
    if (!message.ReplyTo.empty())
        header->appendField(vmime::make_shared<TReplyToField>(AddressList(message.ReplyTo)));
    std::time_t date = std::chrono::system_clock::to_time_t(message.Date);
    header->Date()->setValue(vmime::datetime(date, vmime::datetime::GMT));
    if (!agent.empty())
        header->getField("X-Mailer")->setValue(agent);
    return built;
}

// The system's CA store and the settings' CA file as vmime certificates.
vmime::shared_ptr<vmime::security::cert::certificateVerifier> Verifier(const std::string& caFile) {
    std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> roots;
    for (const std::string& pem : SplitPem(TrustedCertificates(caFile))) {
        auto bytes = reinterpret_cast<const vmime::byte_t*>(pem.data());
        if (auto certificate = vmime::security::cert::X509Certificate::import(bytes, pem.size()))
            roots.push_back(certificate);
    }
    auto verifier = vmime::make_shared<vmime::security::cert::defaultCertificateVerifier>();
    verifier->setX509RootCAs(roots);
    return verifier;
}

// Connects the service; a server out of reach, a refused login, a certificate that is not
// accepted and a server that does not offer the required STARTTLS end in German texts that say
// why (the library's own texts are English; a server's reply is kept as it came). A refused SASL
// login carries only the library's summary, not the server's reply.
void Connect(vmime::net::service& service, const TMailServer& server, bool sasl) {
    namespace cert = vmime::security::cert;
    const std::string where = server.Host + ":" + std::to_string(server.Port);
    try {
        service.connect();
    } catch (const vmime::exceptions::socket_exception&) {
        throw std::runtime_error("Keine Verbindung zum Server " + where);
    } catch (const vmime::exceptions::operation_timed_out&) {
        throw std::runtime_error("Der Server " + where + " antwortet nicht");
    } catch (const vmime::exceptions::connection_greeting_error& e) {
        throw std::runtime_error("Der Server " + where +
                                 " weist die Verbindung ab: " + e.response());
    } catch (const vmime::exceptions::authentication_error& e) {
        throw std::runtime_error("Der Server " + where + " lehnt die Anmeldung als " +
                                 server.UserName + " ab" + (sasl ? "" : ": " + e.response()));
    } catch (const cert::serverIdentityException&) {
        throw std::runtime_error(CertificateText(TCertificateFault::WrongHost, server.Host));
    } catch (const cert::certificateExpiredException&) {
        throw std::runtime_error(CertificateText(TCertificateFault::Expired, server.Host));
    } catch (const cert::certificateNotYetValidException&) {
        throw std::runtime_error(CertificateText(TCertificateFault::NotYetValid, server.Host));
    } catch (const cert::certificateException&) {
        throw std::runtime_error(CertificateText(TCertificateFault::Untrusted, server.Host));
    } catch (const vmime::exceptions::command_error& e) {
        if (e.command() != "STARTTLS" && e.command() != "STLS")
            throw;
        throw std::runtime_error(
            "Server " + server.Host +
            " bietet keine verschlüsselte Verbindung (STARTTLS) an: " + e.response());
    }
}

// The URL scheme: implicit TLS has its own protocol names.
std::string Scheme(const std::string& protocol, const TMailServer& server) {
    return server.Security == TMailSecurity::Tls ? protocol + "s" : protocol;
}

// A command the POP3 server answered with "-ERR"; the text is the server's reason.
class TRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One POP3 command with a multi-line answer, read here because vmime 0.9.2 waits for the end
// of a multi-line answer even when the server refuses in one "-ERR" line. The answer's lines
// after the status line, with the dots unstuffed.
std::string Pop3MultiLine(const vmime::shared_ptr<vmime::net::store>& store,
                          const std::string& command) {
    auto socket =
        vmime::dynamicCast<vmime::net::pop3::POP3Store>(store)->getConnection()->getSocket();
    socket->send(command + "\r\n");
    std::string reply, chunk;
    while (!reply.ends_with("\r\n.\r\n") &&
           !(reply.starts_with("-") && reply.find("\r\n") != std::string::npos)) {
        socket->receive(chunk);
        if (chunk.empty() && !socket->waitForRead(ConnectTimeoutSeconds * 1000))
            throw std::runtime_error("Keine Antwort des Servers auf " + command);
        reply += chunk;
    }
    size_t end = reply.find("\r\n");
    std::string status = reply.substr(0, end);
    if (!status.starts_with("+OK")) {
        size_t space = status.find(' ');
        throw TRefused("Server verweigert " + command +
                       (space == std::string::npos ? "" : ": " + status.substr(space + 1)));
    }
    std::string lines = reply.substr(end + 2, reply.size() - end - 5); // without ".\r\n"
    for (size_t at = lines.find("\n.."); at != std::string::npos; at = lines.find("\n..", at + 2))
        lines.erase(at + 1, 1);
    return lines.starts_with("..") ? lines.substr(1) : lines;
}

} // namespace

TMailSecurity ParseMailSecurity(const std::string& text) {
    std::string value = LowerCase(Trim(text));
    if (value.empty())
        return TMailSecurity::Plain;
    if (value == "starttls")
        return TMailSecurity::StartTls;
    if (value == "tls")
        return TMailSecurity::Tls;
    return TMailSecurity::Unknown;
}

std::string MailSecurityText(TMailSecurity security) {
    switch (security) {
    case TMailSecurity::Plain:
        return "unverschlüsselt";
    case TMailSecurity::StartTls:
        return "STARTTLS";
    case TMailSecurity::Tls:
        return "TLS";
    case TMailSecurity::Unknown:
        break;
    }
    return "unbekannt";
}

TMailAddressList ParseAddressList(std::string text) {
    std::replace(text.begin(), text.end(), ';', ',');
    vmime::addressList list;
    list.parse(text);
    return Addresses(list);
}

struct TMailClient::TVmime {
    vmime::shared_ptr<vmime::net::session> Session;
    vmime::shared_ptr<vmime::net::transport> Smtp;
    vmime::shared_ptr<vmime::net::store> Store;
    vmime::shared_ptr<vmime::net::folder> Inbox;
    bool Imap = false;

    // The settings every service shares: time-out, security and login.
    void Prepare(vmime::net::service& service, const TMailServer& server) {
        if (server.Security == TMailSecurity::Unknown)
            throw std::runtime_error(
                "Unbekannte E-Mail-Sicherheit (erlaubt: leer, starttls oder tls)");
        bool secured = server.Security != TMailSecurity::Plain;
        service.setProperty("connection.tls", server.Security == TMailSecurity::StartTls);
        service.setProperty("connection.tls.required", server.Security == TMailSecurity::StartTls);
        if (secured)
            service.setCertificateVerifier(Verifier(server.CAFile));
        service.setTimeoutHandlerFactory(vmime::make_shared<TTimeoutFactory>());
        if (!server.UserName.empty()) {
            service.setProperty("auth.username", server.UserName);
            service.setProperty("auth.password", server.Password);
        }
    }
    vmime::utility::url Url(const std::string& protocol, const TMailServer& server) const {
        return vmime::utility::url(Scheme(protocol, server), server.Host, server.Port);
    }
};

TMailClient::TMailClient() : vmime_(std::make_unique<TVmime>()) {
    static std::once_flag platform;
    std::call_once(platform,
                   [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
    vmime_->Session = vmime::net::session::create();
}

TMailClient::~TMailClient() {
    CloseStore();
    CloseSmtp();
}

bool TMailClient::SmtpConnected() const {
    return vmime_->Smtp && vmime_->Smtp->isConnected();
}

void TMailClient::SmtpConnect(const TMailServer& server) {
    auto& smtp = vmime_->Smtp;
    smtp = vmime_->Session->getTransport(vmime_->Url("smtp", server));
    vmime_->Prepare(*smtp, server);
    // SMTP knows no plain login command: authentication needs the SASL mechanisms.
    smtp->setProperty("options.sasl", !server.UserName.empty());
    smtp->setProperty("options.need-authentication", !server.UserName.empty());
    Connect(*smtp, server, true);
}

void TMailClient::SmtpSend(const TMailMessage& message, const std::string& agent) {
    vmime_->Smtp->send(Build(message, agent));
}

void TMailClient::CloseSmtp() noexcept {
    try {
        if (SmtpConnected())
            vmime_->Smtp->disconnect();
    } catch (const std::exception&) {
        // the connection is gone either way
    }
    vmime_->Smtp.reset();
}

bool TMailClient::StoreConnected() const {
    return vmime_->Store && vmime_->Store->isConnected();
}

void TMailClient::StoreConnect(const TMailServer& server, bool imap) {
    auto& store = vmime_->Store;
    vmime_->Imap = imap;
    store = vmime_->Session->getStore(vmime_->Url(imap ? "imap" : "pop3", server));
    vmime_->Prepare(*store, server);
    store->setProperty("options.sasl", false);
    store->setProperty("options.apop", false);
    Connect(*store, server, false);
}

size_t TMailClient::OpenInbox() {
    auto& inbox = vmime_->Inbox;
    try {
        inbox = vmime_->Imap ? vmime_->Store->getFolder(vmime::net::folder::path("INBOX"))
                             : vmime_->Store->getDefaultFolder();
        inbox->open(vmime::net::folder::MODE_READ_WRITE);
    } catch (const vmime::exceptions::command_error&) {
        inbox.reset();
        return 0;
    }
    return inbox->getMessageCount();
}

int64_t TMailClient::MailboxSize(size_t count) {
    if (count == 0)
        return 0;
    auto messages = vmime_->Inbox->getMessages(vmime::net::messageSet::byNumber(1, count));
    vmime_->Inbox->fetchMessages(messages, vmime::net::fetchAttributes::SIZE);
    int64_t total = 0;
    for (const auto& message : messages)
        total += static_cast<int64_t>(message->getSize());
    return total;
}

bool TMailClient::ReadHeader(size_t number, TMailMessage& message) {
    if (!vmime_->Imap) {
        vmime::header header;
        try {
            header.parse(Pop3MultiLine(vmime_->Store, "TOP " + std::to_string(number) + " 0"));
        } catch (const TRefused&) {
            return false;
        }
        ReadEnvelope(header, message);
        return true;
    }
    auto remote = vmime_->Inbox->getMessage(number);
    try {
        vmime_->Inbox->fetchMessage(remote, vmime::net::fetchAttributes::FULL_HEADER);
    } catch (const vmime::exceptions::command_error&) {
        return false;
    }
    ReadEnvelope(*remote->getHeader(), message);
    return true;
}

void TMailClient::ReadMessage(size_t number, TMailMessage& message) {
    if (!vmime_->Imap)
        return ReadWhole(Pop3MultiLine(vmime_->Store, "RETR " + std::to_string(number)), message);
    vmime::string raw;
    vmime::utility::outputStreamStringAdapter out(raw);
    vmime_->Inbox->getMessage(number)->extract(out, nullptr, 0, -1, true);
    ReadWhole(raw, message);
}

void TMailClient::Delete(size_t number) {
    vmime_->Inbox->deleteMessages(vmime::net::messageSet::byNumber(number));
}

void TMailClient::Expunge() {
    if (vmime_->Imap && vmime_->Inbox && vmime_->Inbox->isOpen())
        vmime_->Inbox->expunge();
}

void TMailClient::CloseStore() noexcept {
    try {
        if (vmime_->Inbox && vmime_->Inbox->isOpen())
            vmime_->Inbox->close(true);
        if (StoreConnected())
            vmime_->Store->disconnect();
    } catch (const std::exception&) {
        // a dropped connection cannot be closed politely
    }
    vmime_->Inbox.reset();
    vmime_->Store.reset();
}

} // namespace orvendal
