#include "transport/VelMail.h"

#include "protect/Ansi.h"
#include "protect/Crypt.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"
#include "tables/UserFkt.h"

#include <filesystem>
#include <unistd.h>

namespace orvendal {

namespace {

namespace fs = std::filesystem;

constexpr int64_t SmallMailbox = 999999; // below this many bytes foreign mail lives one day
constexpr int32_t MapiMaximum = 1500;    // ids collected after a fresh Simple MAPI logon

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
    : Client(std::make_unique<TMailClient>()), Mapi(std::make_unique<TMAPIMail>()) {}

TVelMail::~TVelMail() {
    PackedBuffer.Clear();
    PlainBuffer.Clear();
    Client->CloseStore();
    Mapi->Logoff();
    Client->CloseSmtp();
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
        Message.ReplyTo = ParseAddressList(value("27"));
        if (Message.ReplyTo.empty())
            Message.ReplyTo = {{"", Message.FromAddress}};
        Message.Recipients = {{value("29"), value("28")}};
        Message.Body = value("30");
        if (!trimmed("33").empty())
            Message.BccList = ParseAddressList(value("33"));
        if (!trimmed("35").empty())
            Message.CCList = ParseAddressList(value("35"));
        Message.Date = std::chrono::system_clock::now();
    } else {
        FileOutPattern = trimmed("28");
        FileInPattern = trimmed("78");
    }

    UseMapi = value("11") == "MAPI";
    UseImap = !value("22").empty();
    bool pop3 = !UseMapi && !UseImap;
    TMailSecurity security = ParseMailSecurity(value("23"));
    bool tls = security == TMailSecurity::Tls;
    if (UseMapi) {
        Mapi->ProfileName = value("12");
        Mapi->ProfilePassword = value("13");
    } else {
        SplitHostPort(trimmed("11"), UseImap ? (tls ? 993 : 143) : (tls ? 995 : 110),
                      IncomingServer);
        IncomingServer.UserName = value("12");
        IncomingServer.Password = value("13");
    }

    std::string smtpHost = trimmed("14");
    if (smtpHost.empty() && pop3)
        smtpHost = IncomingServer.Host;
    if (smtpHost == "-")
        smtpHost.clear();
    SplitHostPort(smtpHost, tls ? 465 : 25, SmtpServer);
    SmtpServer.UserName = value("15");
    SmtpServer.Password = SmtpServer.UserName.empty() ? std::string() : value("16");
    for (TMailServer* server : {&SmtpServer, &IncomingServer}) {
        server->Security = security;
        server->CAFile = trimmed("19");
    }
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
            if (!Client->SmtpConnected())
                Client->SmtpConnect(SmtpServer);
            Client->SmtpSend(Message, MailAgent);
            if (!isBlob)
                Client->CloseSmtp();
        }
        RemoveFile(dataFile);
        return true;
    } catch (const std::exception& e) {
        SetError(10, e.what());
        Client->CloseSmtp();
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
            if (!inFile.empty())
                RemoveFile(inFile);
        }
        // The server's copy goes only once its data is safely written.
        if (UseMail) {
            DeleteChosen();
            CloseIncoming();
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

void TVelMail::DeleteChosen() {
    if (chosen_ == 0)
        return;
    if (UseMapi) {
        Mapi->DeleteMessage(static_cast<int32_t>(chosen_));
    } else {
        Client->Delete(chosen_);
        Client->Expunge();
    }
    chosen_ = 0;
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
        Client->CloseStore();
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
    // Fractional days: 1.5 days is older than 1; exactly MaxAgeDays (to the second) stays.
    return std::chrono::system_clock::now() - message.Date > std::chrono::days(MaxAgeDays);
}

bool TVelMail::FetchMessage() {
    chosen_ = 0;
    if (UseMapi)
        return FetchMapiMessage();
    size_t chosen = 0;
    try {
        if (!Client->StoreConnected())
            Client->StoreConnect(IncomingServer, UseImap);
        if (!Client->StoreConnected())
            return false;
        size_t count = Client->OpenInbox();
        int64_t size = Client->MailboxSize(count);
        if (size >= 0 && size < SmallMailbox)
            MaxAgeDays = 1;
        for (size_t number = 1; number <= count; ++number) {
            Message.Clear();
            if (!Client->ReadHeader(number, Message))
                continue;
            if (SubjectMatches(Message.Subject)) {
                if (chosen != 0)
                    Client->Delete(chosen);
                chosen = number;
            } else if (TooOld(Message)) {
                Client->Delete(number);
            }
        }
        Message.Clear();
        if (chosen == 0) {
            Client->Expunge();
            return true;
        }
    } catch (const std::exception& e) {
        SetError(20, e.what());
        Message.Clear();
        return false;
    }
    try {
        // A download that fails leaves the chosen message on the server for the next run.
        Client->ReadMessage(chosen, Message);
        chosen_ = chosen;
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
    chosen_ = static_cast<size_t>(chosen);
    return true;
}

void TVelMail::SetError(int step, const std::string& message) {
    ErrorText = FormatPattern(
        "Fehler bei E-Mail-Verarbeitung (Schritt " + std::to_string(step) + ": %s)", message);
}

} // namespace orvendal
