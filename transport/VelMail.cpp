#include "transport/VelMail.h"

#include "protect/Ansi.h"
#include "protect/Crypt.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"
#include "tables/UserFkt.h"

#include <vmime/platforms/posix/posixHandler.hpp>
#include <vmime/vmime.hpp>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace orvendal {

namespace {

namespace fs = std::filesystem;

constexpr int ConnectTimeoutSeconds = 20; // 20000 ms, as for every client of the transport
constexpr int64_t SmallMailbox = 999999;  // below this many bytes foreign mail lives one day
constexpr int32_t MapiMaximum = 1500;     // ids collected after a fresh Simple MAPI logon

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

// An address list from a settings text: "Name <a@b>, c@d" (commas or semicolons).
TMailAddressList ParseAddresses(std::string text) {
    for (char& c : text)
        if (c == ';')
            c = ',';
    vmime::addressList list;
    list.parse(text);
    return Addresses(list);
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
    if (auto replyTo = FieldValue<vmime::mailbox>(header, vmime::fields::REPLY_TO))
        message.ReplyTo = {Address(*replyTo)};
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

vmime::shared_ptr<vmime::message> Build(const TMailMessage& message, const std::string& agent) {
    vmime::messageBuilder builder;
    builder.setSubject(vmime::text(message.Subject, vmime::charsets::UTF_8));
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
    // vmime types Reply-To as one mailbox: the first address of the list goes out.
    if (!message.ReplyTo.empty())
        header->ReplyTo()->setValue(Mailbox(message.ReplyTo.front()));
    std::time_t date = std::chrono::system_clock::to_time_t(message.Date);
    header->Date()->setValue(vmime::datetime(date, vmime::datetime::GMT));
    if (!agent.empty())
        header->getField("X-Mailer")->setValue(agent);
    return built;
}

std::string ReadFileBytes(const std::string& path) {
    TMemoryStream stream;
    stream.LoadFromFile(path);
    return stream.AsString();
}

// Removes a file the transport made; a file that is already gone is fine.
void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// Writes the stream under a temporary name beside the target and renames it into place, so
// the target is either the old file or the whole new one.
void SaveWhole(const TMemoryStream& stream, const std::string& target) {
    std::string temporary = target + ".part" + std::to_string(getpid());
    try {
        stream.SaveToFile(temporary);
        fs::rename(temporary, target);
    } catch (...) {
        RemoveFile(temporary);
        throw;
    }
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// The vmime side of the transport: one SMTP connection and one POP3 or IMAP4 store with its
// open INBOX. Methods throw vmime exceptions; TVelMail catches them at its steps.
class TMailSession {
public:
    TMailSession() {
        static std::once_flag platform;
        std::call_once(
            platform, [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
        session_ = vmime::net::session::create();
    }
    ~TMailSession() {
        CloseStore();
        CloseSmtp();
    }

    bool SmtpConnected() const { return smtp_ && smtp_->isConnected(); }
    void SmtpConnect(const TMailServer& server) {
        smtp_ = session_->getTransport(Url("smtp", server));
        Prepare(*smtp_, server);
        // SMTP knows no plain login command: authentication needs the SASL mechanisms.
        smtp_->setProperty("options.sasl", !server.UserName.empty());
        smtp_->setProperty("options.need-authentication", !server.UserName.empty());
        smtp_->connect();
    }
    void SmtpSend(const TMailMessage& message, const std::string& agent) {
        smtp_->send(Build(message, agent));
    }
    void CloseSmtp() noexcept {
        try {
            if (SmtpConnected())
                smtp_->disconnect();
        } catch (const std::exception&) {
            // the connection is gone either way
        }
        smtp_.reset();
    }

    bool StoreConnected() const { return store_ && store_->isConnected(); }
    void StoreConnect(const TMailServer& server, bool imap) {
        imap_ = imap;
        store_ = session_->getStore(Url(imap ? "imap" : "pop3", server));
        Prepare(*store_, server);
        store_->setProperty("options.sasl", false);
        store_->setProperty("options.apop", false);
        store_->connect();
    }
    // Opens INBOX; the number of its messages, 0 when it cannot be selected.
    size_t OpenInbox() {
        try {
            inbox_ = imap_ ? store_->getFolder(vmime::net::folder::path("INBOX"))
                           : store_->getDefaultFolder();
            inbox_->open(vmime::net::folder::MODE_READ_WRITE);
        } catch (const vmime::exceptions::command_error&) {
            inbox_.reset();
            return 0;
        }
        return inbox_->getMessageCount();
    }
    // The sum of the message sizes (LIST or FETCH RFC822.SIZE).
    int64_t MailboxSize(size_t count) {
        if (count == 0)
            return 0;
        auto messages = inbox_->getMessages(vmime::net::messageSet::byNumber(1, count));
        inbox_->fetchMessages(messages, vmime::net::fetchAttributes::SIZE);
        int64_t total = 0;
        for (const auto& message : messages)
            total += static_cast<int64_t>(message->getSize());
        return total;
    }
    // The header of message number (TOP or a header fetch); false when the server refuses it.
    bool ReadHeader(size_t number, TMailMessage& message) {
        auto remote = inbox_->getMessage(number);
        try {
            inbox_->fetchMessage(remote, vmime::net::fetchAttributes::FULL_HEADER);
        } catch (const vmime::exceptions::command_error&) {
            return false;
        }
        ReadEnvelope(*remote->getHeader(), message);
        return true;
    }
    // The whole message number, read without marking it seen and parsed here.
    void ReadMessage(size_t number, TMailMessage& message) {
        vmime::string raw;
        vmime::utility::outputStreamStringAdapter out(raw);
        inbox_->getMessage(number)->extract(out, nullptr, 0, -1, true);
        ReadWhole(raw, message);
    }
    // DELE (effective at QUIT) or STORE +FLAGS.SILENT (\Deleted).
    void Delete(size_t number) { inbox_->deleteMessages(vmime::net::messageSet::byNumber(number)); }
    void Expunge() {
        if (imap_ && inbox_ && inbox_->isOpen())
            inbox_->expunge();
    }
    // Closes INBOX (POP3 commits its deletions at QUIT) and the store.
    void CloseStore() noexcept {
        try {
            if (inbox_ && inbox_->isOpen())
                inbox_->close(true);
            if (StoreConnected())
                store_->disconnect();
        } catch (const std::exception&) {
            // a dropped connection cannot be closed politely
        }
        inbox_.reset();
        store_.reset();
    }

private:
    static vmime::utility::url Url(const std::string& protocol, const TMailServer& server) {
        return vmime::utility::url(protocol, server.Host, server.Port);
    }
    static void Prepare(vmime::net::service& service, const TMailServer& server) {
        service.setProperty("connection.tls", false);
        service.setTimeoutHandlerFactory(vmime::make_shared<TTimeoutFactory>());
        if (!server.UserName.empty()) {
            service.setProperty("auth.username", server.UserName);
            service.setProperty("auth.password", server.Password);
        }
    }

    vmime::shared_ptr<vmime::net::session> session_;
    vmime::shared_ptr<vmime::net::transport> smtp_;
    vmime::shared_ptr<vmime::net::store> store_;
    vmime::shared_ptr<vmime::net::folder> inbox_;
    bool imap_ = false;
};

std::string FormatPattern(const std::string& pattern, const std::string& value) {
    size_t at = pattern.find("%s");
    if (at == std::string::npos)
        return pattern;
    return pattern.substr(0, at) + value + pattern.substr(at + 2);
}

void SplitHostPort(const std::string& text, uint16_t fallback, TMailServer& server) {
    server.Host = text;
    server.Port = fallback;
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return;
    std::string digits = text.substr(colon + 1);
    int port = StrToIntDef(digits, -1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || port < 1 ||
        port > 65535)
        return;
    server.Host = text.substr(0, colon);
    server.Port = static_cast<uint16_t>(port);
}

TVelMail::TVelMail()
    : Session(std::make_unique<TMailSession>()), Mapi(std::make_unique<TMAPIMail>()) {}

TVelMail::~TVelMail() {
    PackedBuffer.Clear();
    PlainBuffer.Clear();
    Session->CloseStore();
    Mapi->Logoff();
    Session->CloseSmtp();
}

void TVelMail::LoadSettings(TStream& settings) {
    TKeyList keys;
    keys.Load(settings); // a list that does not decipher stays empty: the defaults apply
    auto value = [&keys](const char* key) { return keys.Value(key); };
    auto trimmed = [&keys](const char* key) { return Trim(keys.Value(key)); };

    DeviceNumber = StrToIntDef(value("1"), 0);
    DeviceName = value("2");
    WorkDir = value("4");
    if (WorkDir.empty())
        WorkDir = value("3");
    if (WorkDir.empty())
        WorkDir = TempPath();
    MaxAgeDays = StrToIntDef(value("9"), 28);
    std::string device = std::to_string(DeviceNumber) + "_" + DeviceName;
    SendName = value("31").empty() ? "0_" + device : value("31");
    ReceiveName = value("81").empty() ? "50_" + device : value("81");
    DecryptSubjects = trimmed("82").empty();
    EncryptSubjects = trimmed("32").empty();
    UseMail = !trimmed("10").empty();
    MailAgent = value("10");

    if (UseMail) {
        Message.FromAddress = value("25");
        Message.FromName = value("26").empty() ? Message.FromAddress : value("26");
        Message.ReplyTo = ParseAddresses(value("27"));
        if (Message.ReplyTo.empty())
            Message.ReplyTo = {{"", Message.FromAddress}};
        Message.Recipients = {{value("29"), value("28")}};
        Message.Body = value("30");
        if (!trimmed("33").empty())
            Message.BccList = ParseAddresses(value("33"));
        if (!trimmed("35").empty())
            Message.CCList = ParseAddresses(value("35"));
        Message.Date = std::chrono::system_clock::now();
    } else {
        FileOutPattern = trimmed("28");
        FileInPattern = trimmed("78");
    }

    UseMapi = value("11") == "MAPI";
    UseImap = !value("22").empty();
    bool pop3 = !UseMapi && !UseImap;
    if (UseMapi) {
        Mapi->ProfileName = value("12");
        Mapi->ProfilePassword = value("13");
    } else {
        SplitHostPort(trimmed("11"), UseImap ? 143 : 110, IncomingServer);
        IncomingServer.UserName = value("12");
        IncomingServer.Password = value("13");
    }

    std::string smtpHost = trimmed("14");
    if (smtpHost.empty() && pop3)
        smtpHost = IncomingServer.Host;
    if (smtpHost == "-")
        smtpHost.clear();
    SplitHostPort(smtpHost, 25, SmtpServer);
    SmtpServer.UserName = value("15");
    SmtpServer.Password = SmtpServer.UserName.empty() ? std::string() : value("16");
}

std::string TVelMail::DataFileName(const std::string& source) const {
    return FolderOf(source) + std::to_string(DeviceNumber) + "data.md_";
}

bool TVelMail::SendData(bool isBlob, const std::string& fileName, const std::string& blobTag) {
    if (SmtpServer.Host.empty())
        return true;
    std::string dataFile;
    try {
        Message.Attachments.clear();
        std::string prefix = isBlob ? "MBlob" : "";
        std::string subject = prefix + SendName;
        if (EncryptSubjects)
            EncryptTextToHex(Utf8ToAnsi(subject), subject);
        Message.Subject = subject;

        std::string source = fileName.empty() ? WorkDir + prefix + "export.mdb" : fileName;
        PlainBuffer.LoadFromFile(source);
        PackedBuffer.Clear();
        if (PlainBuffer.Size() > 0) {
            PlainBuffer.Rewind();
            DeflateStream(PlainBuffer, PackedBuffer);
        }
        // A source of zero bytes gives an empty data file: an empty attachment or output file.
        dataFile = DataFileName(source);
        PackedBuffer.SaveToFile(dataFile);
        if (isBlob) {
            RemoveFile(source);
            Message.BccList.clear();
        }
        if (UseMail)
            Message.Attachments.push_back({fs::path(dataFile).filename().string(), {}, dataFile});
        else
            SaveWhole(PackedBuffer, FormatPattern(FileOutPattern, blobTag));
        PackedBuffer.Clear();
        PlainBuffer.Clear();

        if (UseMail) {
            if (!Session->SmtpConnected())
                Session->SmtpConnect(SmtpServer);
            Session->SmtpSend(Message, MailAgent);
            if (!isBlob)
                Session->CloseSmtp();
        }
        RemoveFile(dataFile);
        return true;
    } catch (const std::exception& e) {
        SetError(10, e.what());
        Session->CloseSmtp();
        PackedBuffer.Clear();
        PlainBuffer.Clear();
        if (!dataFile.empty())
            RemoveFile(dataFile);
        return false;
    }
}

bool TVelMail::ReceiveData() {
    try {
        bool result = true, found = false;
        std::string inFile;
        if (UseMail) {
            result = FetchMessage();
            if (result)
                found = TakeAttachments();
            CloseIncoming();
        } else {
            inFile = FormatPattern(FileInPattern, "");
            found = !inFile.empty() && fs::is_regular_file(inFile);
            if (found)
                PackedBuffer.LoadFromFile(inFile);
        }
        if (found) {
            PlainBuffer.Clear();
            if (PackedBuffer.Size() > 0) {
                PackedBuffer.Rewind();
                InflateStream(PackedBuffer, PlainBuffer);
            }
            PackedBuffer.Clear();
            SaveWhole(PlainBuffer, WorkDir + "import.mdb");
            PlainBuffer.Clear();
            // The shared-folder file goes only once its data is safely written.
            if (!inFile.empty())
                RemoveFile(inFile);
        }
        return result;
    } catch (const std::exception& e) {
        SetError(2, e.what());
        PackedBuffer.Clear();
        PlainBuffer.Clear();
        CloseIncoming();
        return false;
    }
}

bool TVelMail::TakeAttachments() {
    bool found = false;
    for (auto part = Message.Attachments.rbegin(); part != Message.Attachments.rend(); ++part) {
        std::string bytes = part->FilePath.empty()
                                ? std::string(part->Content.begin(), part->Content.end())
                                : ReadFileBytes(part->FilePath);
        if (part->TemporaryFile)
            RemoveFile(part->FilePath);
        PackedBuffer.Rewind();
        PackedBuffer.WriteString(bytes);
        found = true;
    }
    return found;
}

void TVelMail::CloseIncoming() {
    if (UseMapi)
        Mapi->Logoff();
    else
        Session->CloseStore();
}

bool TVelMail::SubjectMatches(const std::string& subject) const {
    if (DecryptSubjects) {
        std::string decoded;
        DecryptHexText(Utf8ToAnsi(subject), decoded);
        if (AnsiToUtf8(decoded).starts_with(ReceiveName))
            return true;
    }
    return subject.starts_with(ReceiveName);
}

bool TVelMail::TooOld(const TMailMessage& message) const {
    auto age = std::chrono::system_clock::now() - message.Date;
    // Whole days: a message exactly MaxAgeDays old (to the second the header gives) stays.
    return std::chrono::floor<std::chrono::days>(age).count() > MaxAgeDays;
}

bool TVelMail::FetchMessage() {
    if (UseMapi)
        return FetchMapiMessage();
    size_t chosen = 0;
    try {
        if (!Session->StoreConnected())
            Session->StoreConnect(IncomingServer, UseImap);
        if (!Session->StoreConnected())
            return false;
        size_t count = Session->OpenInbox();
        int64_t size = Session->MailboxSize(count);
        if (size >= 0 && size < SmallMailbox)
            MaxAgeDays = 1;
        for (size_t number = 1; number <= count; ++number) {
            Message.Clear();
            if (!Session->ReadHeader(number, Message))
                continue;
            if (SubjectMatches(Message.Subject)) {
                if (chosen != 0)
                    Session->Delete(chosen);
                chosen = number;
            } else if (TooOld(Message)) {
                Session->Delete(number);
            }
        }
        Message.Clear();
        if (chosen == 0) {
            Session->Expunge();
            return true;
        }
    } catch (const std::exception& e) {
        SetError(20, e.what());
        Message.Clear();
        return false;
    }
    try {
        // A download that fails leaves the chosen message on the server for the next run.
        Session->ReadMessage(chosen, Message);
        Session->Delete(chosen);
        Session->Expunge();
        return true;
    } catch (const std::exception& e) {
        SetError(21, e.what());
        Message.Clear();
        return false;
    }
}

bool TVelMail::FetchMapiMessage() {
    int32_t count = 0;
    if (!Mapi->LoggedOn) {
        Mapi->Logon();
        count = Mapi->FindMessages(MapiMaximum, true);
    } else {
        count = Mapi->FindMessages(0, false);
    }
    int32_t chosen = 0;
    for (int32_t index = count; index >= 1; --index) {
        Message.Clear();
        if (!Mapi->ReadHeader(index, Message))
            continue;
        if (SubjectMatches(Message.Subject)) {
            if (chosen != 0)
                Mapi->DeleteMessage(chosen);
            chosen = index;
        } else if (TooOld(Message) && Mapi->DeleteMessage(index) && chosen > index) {
            --chosen; // the later ids moved down by one
        }
    }
    Message.Clear();
    if (chosen == 0)
        return true;
    if (!Mapi->ReadMessage(chosen, Message)) {
        SetError(31, "MAPIReadMail: Code " + std::to_string(Mapi->LastResult));
        Message.Clear();
        return false;
    }
    Mapi->DeleteMessage(chosen);
    return true;
}

void TVelMail::SetError(int step, const std::string& message) {
    ErrorText = FormatPattern(
        "Fehler bei E-Mail-Verarbeitung (Schritt " + std::to_string(step) + ": %s)", message);
}

} // namespace orvendal
