// The mail transport against the loopback servers (tests/servers/start-mail.sh): SMTP servers
// that store what they receive (plain without STARTTLS, STARTTLS, TLS), dovecot's POP3 and
// IMAP4 (TLS required, loopback counts as secured) and the scripted POP3 server.

#include "transport/TransportFixture.h"

#include <pwd.h>

#include <algorithm>
#include <set>

namespace orvendal::testing {
namespace {

constexpr long Day = 86400;
const std::string Device = "Gerät  Kassel – Süd"; // two blanks, umlauts, a dash

// A message dated ageSeconds ago with the bytes as its attachment (base64 by the shell's
// base64) or, without them, a short body.
std::string Message(const std::string& subject, long ageSeconds, const std::string& bytes = "") {
    TTempFolder scratch;
    WriteText(scratch.File("p"), bytes);
    EXPECT_EQ(std::system(("base64 " + scratch.File("p") + " >" + scratch.File("b")).c_str()), 0);
    std::time_t date = std::time(nullptr) - ageSeconds;
    char head[200];
    std::strftime(head, sizeof head, "Date: %a, %d %b %Y %H:%M:%S +0000\r\nMIME-Version: 1.0\r\n",
                  std::gmtime(&date));
    return "Subject: " + subject + "\r\n" + head +
           (bytes.empty() ? "\r\nx"
                          : "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                            "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: "
                            "base64\r\nContent-Disposition: attachment; filename=\"7data.md_\""
                            "\r\n\r\n" +
                                ReadText(scratch.File("b")) + "--b--\r\n");
}

// The port of a server variable ("127.0.0.1:PORT").
std::string Port(const char* var) {
    return Env(var).substr(Env(var).find(':') + 1);
}

class MailServers : public ::testing::Test {
protected:
    void SetUp() override {
        if (script.empty())
            GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
        for (const std::string& folder : {maildir + "/new", maildir + "/cur", smtpDir, script})
            for (const auto& entry : fs::directory_iterator(folder))
                fs::remove(entry.path());
        fs::remove(smtpDir + "/../smtp-seen.log");
    }
    // What the servers recorded since the start: commands, EHLO/AUTH/MAIL, dovecot's log.
    std::string Seen() {
        return ReadText(script + "/.seen") + ReadText(smtpDir + "/../smtp-seen.log") +
               ReadText(Env("ORVENDAL_TEST_DOVECOT_LOG")).substr(logStart);
    }
    void Drop(const std::string& text) {
        static int serial = 0; // unique across processes: dovecot's index remembers names
        fs::path path = maildir + "/new/" + std::to_string(std::time(nullptr)) + "." +
                        std::to_string(getpid()) + "_" + std::to_string(++serial) + ".orvendal";
        WriteText(path, text);
        passwd* user = getpwnam("dovecot");
        ASSERT_EQ(chown(path.c_str(), user->pw_uid, user->pw_gid), 0);
    }
    // The subjects left in the mailbox; dovecot finishes a POP3 QUIT after its reply.
    std::set<std::string> Left(size_t expected) {
        std::set<std::string> subjects;
        for (int i = 0; i < 40 && (i == 0 || subjects.size() != expected); ++i, usleep(50000)) {
            subjects.clear();
            for (const char* sub : {"/new", "/cur"})
                for (const auto& entry : fs::directory_iterator(maildir + sub)) {
                    std::string text = ReadText(entry.path());
                    subjects.insert(text.substr(9, text.find("\r\n") - 9));
                }
        }
        return subjects;
    }
    std::unique_ptr<TVelMail> Mail(std::vector<std::string> lines) {
        lines.insert(lines.end(), {"1=7", "2=dev", "10=Orvendal", "12=orvendal", "13=geheim",
                                   "15=pc", "16=pw", "4=" + work.Path()});
        return LoadedMail(lines);
    }
    std::string Import() { return ReadText(work.Path() + "import.mdb"); }

    TMailServersLock lock;
    std::string maildir = Env("ORVENDAL_TEST_MAILDIR"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
    std::string script = Env("ORVENDAL_TEST_POP3_SCRIPT_DIR"), ca = Env("ORVENDAL_TEST_CA");
    size_t logStart = script.empty() ? 0 : fs::file_size(Env("ORVENDAL_TEST_DOVECOT_LOG"));
    TTempFolder work;
};

// Send, then receive what was sent, over each security and reader. Secured connections log in
// over TLS only, as dovecot's log and the SMTP server's record show; the export goes with Bcc
// and a plain subject beyond ASCII (encoded words, every blank kept), a photo without Bcc and
// with an enciphered one.
struct TRoundTrip {
    const char *Security, *Smtp, *Reader; // Smtp, Reader: the variables naming the ports
    bool Photo;
};

void PrintTo(const TRoundTrip& c, std::ostream* os) {
    *os << '"' << c.Security << "\" " << c.Reader << (c.Photo ? " photo" : "");
}

class RoundTrip : public MailServers, public ::testing::WithParamInterface<TRoundTrip> {};

TEST_P(RoundTrip, SendsAndReceives) {
    const TRoundTrip& c = GetParam();
    bool secured = *c.Security != 0, imap = std::string(c.Reader).find("IMAP") != std::string::npos;
    auto host = [&](const char* var) {
        return (secured ? "localhost:" : "127.0.0.1:") + Port(var);
    };
    std::string stem = (c.Photo ? "MBlob0_7_" : "0_7_") + Device;
    auto mail = Mail({"2=" + Device, "11=" + host(c.Reader), "14=" + host(c.Smtp),
                      imap ? "22=1" : "22=", std::string("23=") + c.Security, "19=" + ca,
                      "25=pc@example.org", "27=answer@example.org; second@example.org",
                      "28=server@example.org", "33=hidden@example.org", "35=copy@example.org",
                      c.Photo ? "" : "32=no", "81=" + stem});
    std::string source = work.Path() + (c.Photo ? "MBlobexport.mdb" : "export.mdb");
    WriteText(source, SampleContent(5000));
    ASSERT_TRUE(mail->SendData(c.Photo, "", "")) << mail->ErrorText;
    EXPECT_EQ(fs::exists(source), !c.Photo);
    ASSERT_FALSE(fs::is_empty(smtpDir));
    std::string raw = ReadText(fs::directory_iterator(smtpDir)->path());
    for (const char* part :
         {secured ? "TLS: yes" : "TLS: no", "Reply-To: answer@example.org, second@example.org\r\n",
          c.Photo ? "copy@example.org\r\n" : "copy@example.org,hidden@"})
        EXPECT_NE(raw.find(part), raw.npos) << part << raw.substr(0, 500);
    std::string header = raw.substr(0, raw.find("\r\n\r\n"));
    EXPECT_TRUE(std::none_of(header.begin(), header.end(), [](char b) { return b & 0x80; }))
        << header;
    EXPECT_EQ(header.find("Bcc:"), raw.npos);

    Drop(raw.substr(raw.find("\r\n", raw.find("X-Envelope-TLS")) + 2));
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_TRUE(Import() == SampleContent(5000));
    EXPECT_EQ(mail->Message.Subject == stem, !c.Photo) << mail->Message.Subject; // enciphered
    std::string seen = Seen();
    EXPECT_NE(seen.find(secured ? "AUTH tls=yes" : "AUTH tls=no"), seen.npos) << seen;
    EXPECT_NE(seen.find("Login: user=<orvendal>"), seen.npos) << seen;
    for (const char* plain : {"AUTH tls=no", "MAIL tls=no", "secured, session"})
        EXPECT_TRUE(!secured || seen.find(plain) == seen.npos) << seen;
    EXPECT_TRUE(secured || seen.find(", TLS") == seen.npos) << seen;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, RoundTrip, ::testing::Values(
    TRoundTrip{"", "ORVENDAL_TEST_SMTP", "ORVENDAL_TEST_POP3", false},
    TRoundTrip{"", "ORVENDAL_TEST_SMTP", "ORVENDAL_TEST_IMAP", true},
    TRoundTrip{"starttls", "ORVENDAL_TEST_SMTP_STARTTLS", "ORVENDAL_TEST_POP3", true},
    TRoundTrip{"starttls", "ORVENDAL_TEST_SMTP_STARTTLS", "ORVENDAL_TEST_IMAP", false},
    TRoundTrip{"tls", "ORVENDAL_TEST_SMTP_TLS", "ORVENDAL_TEST_POP3S", false},
    TRoundTrip{"TLS ", "ORVENDAL_TEST_SMTP_TLS", "ORVENDAL_TEST_IMAPS", true}),
    [](const auto& info) { // e.g. 2_POP3: the reader after "ORVENDAL_TEST_"
        return std::to_string(info.index) + "_" + std::string(info.param.Reader + 14); });
// clang-format on

// The walk: the last match is downloaded and the earlier one deleted; foreign mail older than
// MaxAgeDays (fractional days) goes. Below 999999 bytes MaxAgeDays becomes 1.
class Mailbox : public MailServers, public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(Mailbox, KeepsTheYoungAndTakesTheLastMatch) {
    auto [imap, large] = GetParam();
    Drop(Message("50_7_dev first", 0, Deflated("one")));
    Drop(Message(large ? "big" : "0.9 days", large ? 5 * Day : Day * 9 / 10,
                 std::string(large ? 750000 : 0, 'x'))); // 1000000 bytes in base64
    for (auto [subject, age] : {std::pair{"1.0 days", Day - 60},
                                {"1.5 days", Day * 3 / 2},
                                {"28 days", 28 * Day - 60},
                                {"28.5 days", 28 * Day + Day / 2}})
        if (large == (age > 27 * Day))
            Drop(Message(subject, age));
    Drop(Message("50_7_dev second", 0, Deflated("two")));
    auto mail = Mail({"11=" + Env(imap ? "ORVENDAL_TEST_IMAP" : "ORVENDAL_TEST_POP3"), "14=-",
                      imap ? "22=1" : "22="});
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(Left(2), (large ? std::set<std::string>{"big", "28 days"}
                              : std::set<std::string>{"0.9 days", "1.0 days"}));
    EXPECT_EQ(Import(), "two");
}

INSTANTIATE_TEST_SUITE_P(Table, Mailbox, ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// Refusals end the step at once with a text that says why; a secured connection never logs in
// before TLS, and what failed stays on the server: the servers' records show neither.
struct TRefusal {
    const char *Name, *Host, *Port, *Security, *File, *Error, *Seen; // Seen: not on record
    bool Ca;
};

void PrintTo(const TRefusal& c, std::ostream* os) {
    *os << c.Name;
}

class Refusal : public MailServers, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(Refusal, FailsTheStep) {
    const TRefusal& c = GetParam();
    bool smtp = std::string(c.Port).find("SMTP") != std::string::npos;
    WriteText(script + "/" + c.File, Message("50_7_dev", 0, *c.File == 'r' ? "x" : Deflated("x")));
    std::string server = c.Host + (":" + Port(c.Port));
    auto mail = Mail({(smtp ? "14=" : "11=") + server, smtp ? "" : "14=-",
                      std::string("23=") + c.Security, c.Ca ? "19=" + ca : ""});
    WriteText(work.Path() + "export.mdb", "rows");
    EXPECT_FALSE(smtp ? mail->SendData(false, "", "") : mail->ReceiveData());
    EXPECT_TRUE(mail->ErrorText.starts_with(
        std::string("Fehler bei E-Mail-Verarbeitung (Schritt ") + c.Error))
        << mail->ErrorText;
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    EXPECT_TRUE(fs::is_empty(smtpDir));
    EXPECT_EQ(Seen().find(c.Seen), std::string::npos) << Seen();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, Refusal, ::testing::Values(
    TRefusal{"Pop3WithoutStls", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "starttls", "1",
             "20: Server 127.0.0.1 bietet keine verschlüsselte Verbindung (STARTTLS) an: -ERR "
             "STLS nicht verfügbar)", "USER", true},
    TRefusal{"SmtpWithoutStarttls", "127.0.0.1", "ORVENDAL_TEST_SMTP", "starttls", "1",
             "10: Server 127.0.0.1 bietet keine verschlüsselte Verbindung (STARTTLS) an: TLS not "
             "available)", "AUTH", true},
    TRefusal{"CertificateForAnotherHost", "127.0.0.1", "ORVENDAL_TEST_POP3S", "tls", "1",
             "20: Zertifikat gilt nicht für den Server 127.0.0.1)", "Login:", true},
    TRefusal{"UnknownCA", "localhost", "ORVENDAL_TEST_IMAPS", "tls", "1", "20: Zertifikat des "
             "Servers localhost stammt von keiner vertrauenswürdigen Stelle)", "Login:", false},
    TRefusal{"UnknownSecurity", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "ssl", "1",
             "20: Unbekannte E-Mail-Sicherheit (erlaubt: leer, starttls oder tls))", "USER", true},
    TRefusal{"RefusedDownload", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "", "1-refuse-retr",
             "21: Server verweigert RETR 1: Nachricht gesperrt)", "DELE", true},
    TRefusal{"BrokenDownload", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "", "1-drop-retr", "21: ",
             "DELE", true},
    TRefusal{"DataThatDoesNotInflate", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "", "raw", "2: ",
             "DELE", true}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

// The scripted server refuses the header of the first message: the walk goes on to the next,
// whose subject another mailer split into encoded words of two character sets.
TEST_F(MailServers, RefusedHeaderIsSkipped) {
    WriteText(script + "/1-refuse-top", Message("50_7_" + Device, 0, Deflated("one")));
    WriteText(script + "/2", Message("=?windows-1252?Q?50=5F7=5FGer=E4t__Kassel_?=\r\n"
                                     " =?UTF-8?B?4oCTIFPDvGQ=?=",
                                     0, Deflated("two")));
    auto mail = Mail({"2=" + Device, "11=" + Env("ORVENDAL_TEST_POP3_SCRIPT"), "14=-"});
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(Import(), "two");
    EXPECT_NE(Seen().find("TOP 1 0\r\nTOP 2 0\r\nRETR 2\r\nDELE 2\r\n"), std::string::npos);
}

} // namespace
} // namespace orvendal::testing
