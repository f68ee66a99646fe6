// The mail transport against the loopback servers (tests/servers/start-mail.sh): SMTP servers
// that store what they receive (plain without STARTTLS, STARTTLS, TLS), dovecot's POP3 and
// IMAP4 (TLS required, loopback counts as secured) and the scripted POP3 server.

#include "transport/TransportFixture.h"
#include "transport/VelMail.h"

#include <pwd.h>

#include <random>
#include <set>

namespace orvendal::testing {
namespace {

std::vector<fs::path> Files(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (!entry.path().filename().string().starts_with("."))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// An RFC 822 date the given number of seconds ago.
std::string DateAgo(long seconds) {
    std::time_t t = std::time(nullptr) - seconds;
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&t));
    return text;
}

// A message whose attachment holds the payload, packed unless told otherwise (base64, made by
// the shell's base64).
std::string MimeMessage(const std::string& subject, long ageSeconds, const std::string& payload,
                        bool packed = true) {
    TTempFolder scratch;
    WriteText(scratch.File("p"), packed ? Deflated(payload) : payload);
    std::string command = "base64 " + scratch.File("p") + " > " + scratch.File("b");
    EXPECT_EQ(std::system(command.c_str()), 0);
    return "From: server@example.org\r\nSubject: " + subject + "\r\nDate: " + DateAgo(ageSeconds) +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
           "--b1\r\nContent-Type: text/plain\r\n\r\nbody\r\n--b1\r\nContent-Type: "
           "application/octet-stream\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: "
           "attachment; filename=\"7data.md_\"\r\n\r\n" +
           ReadText(scratch.File("b")) + "\r\n--b1--\r\n";
}

constexpr long Day = 86400;

class MailServers : public ::testing::Test {
protected:
    void SetUp() override {
        if (maildir.empty() || script.empty())
            GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
        for (const std::string& folder : {maildir + "/new", maildir + "/cur", smtpDir, script})
            for (const auto& file : Files(folder))
                fs::remove(file);
        fs::remove(script + "/.seen");
        fs::remove(smtpDir + "/../smtp-seen.log");
        logStart = fs::file_size(Env("ORVENDAL_TEST_DOVECOT_LOG"));
    }
    std::string DovecotLog() { return ReadText(Env("ORVENDAL_TEST_DOVECOT_LOG")).substr(logStart); }
    void Drop(const std::string& text) {
        static int serial = 0; // unique across processes: dovecot's index remembers names
        fs::path path = fs::path(maildir) / "new" /
                        (std::to_string(std::time(nullptr)) + "." + std::to_string(getpid()) + "_" +
                         std::to_string(1000 + ++serial) + ".orvendal");
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
                for (const auto& file : Files(maildir + sub)) {
                    std::string text = ReadText(file);
                    size_t at = text.find("Subject: ") + 9;
                    subjects.insert(text.substr(at, text.find("\r\n", at) - at));
                }
        }
        return subjects;
    }
    std::unique_ptr<TVelMail> Mail(std::vector<std::string> lines) {
        for (std::string line : {"1=7", "2=dev", "10=Orvendal", "12=orvendal", "13=geheim"})
            lines.push_back(line);
        lines.push_back("4=" + work.Path());
        TMemoryStream settings = SettingsStream(lines);
        auto mail = std::make_unique<TVelMail>();
        mail->LoadSettings(settings);
        return mail;
    }
    std::string Import() { return ReadText(work.Path() + "import.mdb"); }

    TMailServersLock lock;
    std::string maildir = Env("ORVENDAL_TEST_MAILDIR"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
    std::string script = Env("ORVENDAL_TEST_POP3_SCRIPT_DIR");
    TTempFolder work;
    size_t logStart = 0;
};

// Send, then receive what was sent, over each security and reader. Secured connections log in
// over TLS only (dovecot's and the SMTP server's records say so); the export goes with Bcc and a
// plain subject, a photo without Bcc and with an enciphered one.
struct TRoundTrip {
    const char *Security, *Smtp, *Reader; // the variables naming the ports
    bool Imap, Photo;
};

class RoundTrip : public MailServers, public ::testing::WithParamInterface<TRoundTrip> {};

TEST_P(RoundTrip, SendsAndReceives) {
    const TRoundTrip& c = GetParam();
    bool secured = *c.Security != 0;
    auto host = [&](const char* var) {
        std::string port = Env(var);
        return secured ? "localhost:" + port.substr(port.find(':') + 1) : port;
    };
    auto mail = Mail({"11=" + host(c.Reader), "14=" + host(c.Smtp), "15=pc", "16=pw",
                      std::string("22=") + (c.Imap ? "1" : ""), std::string("23=") + c.Security,
                      "19=" + Env("ORVENDAL_TEST_CA"), "25=pc@example.org",
                      "27=answer@example.org; second@example.org", "28=server@example.org",
                      "33=hidden@example.org", "35=copy@example.org", c.Photo ? "" : "32=no",
                      c.Photo ? "81=MBlob0_7_dev" : "81=0_7_dev"});
    std::string source = work.Path() + (c.Photo ? "MBlobexport.mdb" : "export.mdb");
    WriteText(source, SampleContent(5000));
    ASSERT_TRUE(mail->SendData(c.Photo, "", "")) << mail->ErrorText;
    EXPECT_EQ(fs::exists(source), !c.Photo);
    auto sent = Files(smtpDir);
    ASSERT_EQ(sent.size(), 1u);
    std::string raw = ReadText(sent[0]);
    EXPECT_NE(raw.find(std::string("X-Envelope-TLS: ") + (secured ? "yes" : "no")), raw.npos);
    EXPECT_NE(raw.find(c.Photo ? "To: server@example.org,copy@example.org\r\n"
                               : "To: server@example.org,copy@example.org,hidden@example.org"),
              raw.npos);
    EXPECT_EQ(raw.find("Bcc:"), raw.npos);
    EXPECT_NE(raw.find("Reply-To: answer@example.org, second@example.org\r\n"), raw.npos);
    EXPECT_NE(raw.find(c.Photo ? "Subject: " : "Subject: 0_7_dev\r\n"), raw.npos);
    std::string seen = ReadText(smtpDir + "/../smtp-seen.log");
    EXPECT_NE(seen.find(secured ? "AUTH tls=yes" : "AUTH tls=no"), seen.npos) << seen;
    for (const char* plain : {"AUTH tls=no", "MAIL tls=no"}) // before STARTTLS only EHLO
        EXPECT_TRUE(!secured || seen.find(plain) == seen.npos) << seen;

    Drop(raw.substr(raw.find("\r\n", raw.find("X-Envelope-TLS")) + 2));
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_TRUE(Import() == SampleContent(5000));
    std::string log = DovecotLog();
    EXPECT_NE(log.find("Login: user=<orvendal>"), log.npos) << log;
    EXPECT_EQ(log.find(secured ? "secured, session" : ", TLS"), log.npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoundTrip,
    ::testing::Values(
        TRoundTrip{"", "ORVENDAL_TEST_SMTP", "ORVENDAL_TEST_POP3", false, false},
        TRoundTrip{"", "ORVENDAL_TEST_SMTP", "ORVENDAL_TEST_IMAP", true, true},
        TRoundTrip{"starttls", "ORVENDAL_TEST_SMTP_STARTTLS", "ORVENDAL_TEST_POP3", false, true},
        TRoundTrip{"starttls", "ORVENDAL_TEST_SMTP_STARTTLS", "ORVENDAL_TEST_IMAP", true, false},
        TRoundTrip{"tls", "ORVENDAL_TEST_SMTP_TLS", "ORVENDAL_TEST_POP3S", false, false},
        TRoundTrip{"TLS ", "ORVENDAL_TEST_SMTP_TLS", "ORVENDAL_TEST_IMAPS", true, true}),
    [](const auto& info) { return std::to_string(info.index); });

// The walk: the last match is downloaded and the earlier one deleted; foreign mail older than
// MaxAgeDays (in fractional days) goes. Below 999999 bytes MaxAgeDays becomes 1.
class Mailbox : public MailServers, public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(Mailbox, KeepsTheYoungAndTakesTheLastMatch) {
    auto [imap, large] = GetParam();
    std::set<std::string> left;
    if (large) {
        std::mt19937 random(7); // random bytes do not pack: the mailbox stays above 999999 bytes
        std::string noise(800000, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        Drop(MimeMessage("big", 5 * Day, noise));
        Drop(MimeMessage("28 days", 28 * Day - 60, "x"));
        Drop(MimeMessage("28.5 days", 28 * Day + Day / 2, "x"));
        left = {"big", "28 days"};
    } else {
        Drop(MimeMessage("50_7_dev first", 0, "one"));
        for (auto [subject, age] : {std::pair{"0.9 days", Day * 9 / 10},
                                    {"1.0 days", Day - 60},
                                    {"1.5 days", Day * 3 / 2},
                                    {"2 days", 2 * Day}})
            Drop(MimeMessage(subject, age, "x"));
        Drop(MimeMessage("50_7_dev second", 0, "two"));
        left = {"0.9 days", "1.0 days"};
    }
    auto mail = Mail({"11=" + Env(imap ? "ORVENDAL_TEST_IMAP" : "ORVENDAL_TEST_POP3"), "14=-",
                      imap ? "22=1" : "22="});
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(mail->MaxAgeDays, large ? 28 : 1);
    EXPECT_EQ(Left(left.size()), left);
    EXPECT_EQ(large ? fs::exists(work.Path() + "import.mdb") : Import() == "two", !large);
}

INSTANTIATE_TEST_SUITE_P(Table, Mailbox, ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// Refusals end the step with a text that says why, at once; secured connections never log in
// before TLS, which the servers' records prove.
struct TRefusal {
    const char *Name, *Host, *Port, *Security, *Error, *Seen; // Seen: must not be on record
    bool Smtp, Ca;
};

class Refusal : public MailServers, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(Refusal, FailsTheStep) {
    const TRefusal& c = GetParam();
    WriteText(script + "/1-refuse-retr", MimeMessage("50_7_dev", 0, "data"));
    std::string port = Env(c.Port).substr(Env(c.Port).find(':') + 1);
    std::string server = std::string(c.Host) + ":" + port;
    auto mail =
        Mail({(c.Smtp ? "14=" : "11=") + server, c.Smtp ? "" : "14=-", "15=pc", "16=pw",
              std::string("23=") + c.Security, c.Ca ? "19=" + Env("ORVENDAL_TEST_CA") : ""});
    WriteText(work.Path() + "export.mdb", "rows");
    EXPECT_FALSE(c.Smtp ? mail->SendData(false, "", "") : mail->ReceiveData());
    EXPECT_EQ(mail->ErrorText, std::string("Fehler bei E-Mail-Verarbeitung (Schritt ") + c.Error);
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    EXPECT_TRUE(Files(smtpDir).empty());
    std::string seen =
        ReadText(script + "/.seen") + ReadText(smtpDir + "/../smtp-seen.log") + DovecotLog();
    EXPECT_EQ(seen.find(c.Seen), seen.npos) << seen;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refusal,
    ::testing::Values(
        TRefusal{"Pop3WithoutStls", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "starttls",
                 "20: Server 127.0.0.1 bietet keine verschlüsselte Verbindung (STARTTLS) an: "
                 "-ERR STLS nicht verfügbar)",
                 "USER", false, true},
        TRefusal{"SmtpWithoutStarttls", "127.0.0.1", "ORVENDAL_TEST_SMTP", "starttls",
                 "10: Server 127.0.0.1 bietet keine verschlüsselte Verbindung (STARTTLS) an: "
                 "TLS not available)",
                 "AUTH", true, true},
        TRefusal{"CertificateForAnotherHost", "127.0.0.1", "ORVENDAL_TEST_POP3S", "tls",
                 "20: Zertifikat gilt nicht für den Server 127.0.0.1)", "Login:", false, true},
        TRefusal{"UnknownCA", "localhost", "ORVENDAL_TEST_IMAPS", "tls",
                 "20: Zertifikat des Servers localhost stammt von keiner vertrauenswürdigen "
                 "Stelle)",
                 "Login:", false, false},
        TRefusal{"UnknownSecurity", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "ssl",
                 "20: Unbekannte E-Mail-Sicherheit (erlaubt: leer, starttls oder tls))", "USER",
                 false, true},
        TRefusal{"RefusedDownload", "127.0.0.1", "ORVENDAL_TEST_POP3_SCRIPT", "",
                 "21: Server verweigert RETR 1: Nachricht gesperrt)", "DELE", false, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// Data that does not inflate fails step 2 and stays on the server: the next run finds it again.
TEST_F(MailServers, DataThatDoesNotInflateStaysOnTheServer) {
    Drop(MimeMessage("50_7_dev", 0, "no zlib stream", false));
    for (std::string imap : {"", "1", ""}) {
        auto mail = Mail({"11=" + Env(imap.empty() ? "ORVENDAL_TEST_POP3" : "ORVENDAL_TEST_IMAP"),
                          "14=-", "22=" + imap});
        EXPECT_FALSE(mail->ReceiveData());
        EXPECT_TRUE(mail->ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 2: "));
        EXPECT_EQ(Left(1), std::set<std::string>{"50_7_dev"});
    }
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
}

// The scripted server refuses the header of one message: the walk goes on to the next.
TEST_F(MailServers, RefusedHeaderIsSkippedAndBrokenDownloadIsStep21) {
    WriteText(script + "/1-refuse-top", MimeMessage("50_7_dev refused", 0, "one"));
    WriteText(script + "/2", MimeMessage("50_7_dev", 0, "two"));
    auto mail = Mail({"11=" + Env("ORVENDAL_TEST_POP3_SCRIPT"), "14=-"});
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(Import(), "two");
    EXPECT_NE(ReadText(script + "/.seen").find("TOP 1 0\r\nTOP 2 0\r\n"), std::string::npos);

    fs::remove(work.Path() + "import.mdb");
    fs::rename(script + "/2", script + "/2-drop-retr");
    EXPECT_FALSE(mail->ReceiveData());
    EXPECT_TRUE(mail->ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 21: "));
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    EXPECT_TRUE(mail->Message.Subject.empty());
}

} // namespace
} // namespace orvendal::testing
