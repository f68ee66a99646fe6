// The mail transport against the loopback servers: the SMTP server that stores what it
// receives, dovecot's POP3 and IMAP4 over a maildir, and a POP3 server that drops on RETR.

#include "transport/MailFixture.h"
#include "transport/VelMail.h"

#include <chrono>
#include <ctime>
#include <grp.h>
#include <pwd.h>
#include <random>
#include <unistd.h>

namespace orvendal::testing {
namespace {

std::vector<fs::path> Files(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<uint8_t>(bytes[i + 2]);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

// An RFC 822 date ageDays days (and one minute less, so that the whole-day age is exact) ago.
std::string DateAgo(int ageDays) {
    std::time_t t = std::time(nullptr) - ageDays * 86400L + (ageDays > 0 ? 60 : 0);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&t));
    return text;
}

// A message with one attachment holding the payload, packed unless told otherwise.
std::string MimeMessage(const std::string& subject, int ageDays, const std::string& payload,
                        bool packed = true) {
    return "From: server@example.org\r\nTo: pc@example.org\r\nSubject: " + subject +
           "\r\nDate: " + DateAgo(ageDays) +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
           "--b1\r\nContent-Type: text/plain\r\n\r\nbody\r\n--b1\r\n"
           "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"7data.md_\"\r\n\r\n" +
           Base64(packed ? Deflated(payload) : payload) + "\r\n--b1--\r\n";
}

class VelMailServer : public ::testing::Test {
protected:
    void SetUp() override {
        smtp = Env("ORVENDAL_TEST_SMTP");
        smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
        if (smtp.empty() || smtpDir.empty())
            GTEST_SKIP() << "ORVENDAL_TEST_SMTP is not set: run the tests under "
                            "tests/servers/with-servers.sh";
        for (const auto& file : Files(smtpDir))
            fs::remove(file);
    }
    std::vector<std::string> MailLines() {
        return {"1=7",
                "2=dev",
                "4=" + work.Path(),
                "10=Orvendal",
                "14=" + smtp,
                "25=pc@example.org",
                "26=PC",
                "27=answer@example.org",
                "28=server@example.org",
                "29=Server",
                "30=Body text",
                "33=hidden@example.org",
                "35=copy@example.org",
                "32=no"};
    }
    TMailServersLock lock;
    std::string smtp, smtpDir;
    TTempFolder work;
};

TEST_F(VelMailServer, SendCarriesEnvelopeHeadersAndPackedAttachment) {
    TMemoryStream settings = SettingsStream(MailLines());
    TVelMail mail;
    mail.LoadSettings(settings);
    WriteText(work.Path() + "export.mdb", std::string(5000, 'x') + "export");
    ASSERT_TRUE(mail.SendData(false, "", "")) << mail.ErrorText;
    auto files = Files(smtpDir);
    ASSERT_EQ(files.size(), 1u);
    std::string raw = ReadText(files[0]);
    EXPECT_NE(raw.find("X-Envelope-From: pc@example.org"), std::string::npos);
    EXPECT_NE(raw.find("server@example.org,copy@example.org,hidden@example.org"), std::string::npos)
        << raw.substr(0, 300);
    EXPECT_EQ(raw.find("Bcc:"), std::string::npos); // Bcc stays in the envelope
    EXPECT_NE(raw.find("Subject: 0_7_dev"), std::string::npos);
    EXPECT_NE(raw.find("Reply-To: answer@example.org\r\n"), std::string::npos);
    EXPECT_NE(raw.find("X-Mailer: Orvendal"), std::string::npos);
    EXPECT_NE(raw.find("Body text"), std::string::npos);
    EXPECT_FALSE(fs::exists(work.Path() + "7data.md_"));

    // The attachment decoded from the stored message inflates to the source.
    std::string body = raw.substr(raw.find("\r\n", raw.find("X-Envelope-To")) + 2);
    size_t at = body.find("filename=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(body.find("7data.md_", at), std::string::npos);
    size_t start = body.find("\r\n\r\n", at) + 4;
    size_t end = body.find("\r\n--", start);
    std::string encoded = body.substr(start, end - start);
    std::string packed;
    int bits = 0;
    uint32_t buffer = 0;
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (char c : encoded) {
        size_t v = digits.find(c);
        if (v == std::string::npos)
            continue;
        buffer = (buffer << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            packed += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    EXPECT_EQ(Inflated(packed), std::string(5000, 'x') + "export");
}

TEST_F(VelMailServer, EncipheredSubjectIsLowerCaseHex) {
    auto lines = MailLines();
    lines.pop_back(); // key 32 missing: subjects are enciphered
    TMemoryStream settings = SettingsStream(lines);
    TVelMail mail;
    mail.LoadSettings(settings);
    WriteText(work.Path() + "MBlobexport.mdb", "photo");
    ASSERT_TRUE(mail.SendData(true, "", "3")) << mail.ErrorText;
    EXPECT_TRUE(mail.Message.BccList.empty());
    EXPECT_FALSE(fs::exists(work.Path() + "MBlobexport.mdb"));
    auto files = Files(smtpDir);
    ASSERT_EQ(files.size(), 1u);
    std::string raw = ReadText(files[0]);
    EXPECT_EQ(raw.find("hidden@example.org"), std::string::npos); // photos go without Bcc
    size_t at = raw.find("Subject: ");
    ASSERT_NE(at, std::string::npos);
    std::string subject = raw.substr(at + 9, raw.find("\r\n", at) - at - 9);
    EXPECT_EQ(subject.size(), 64u); // 12 characters + CR LF: two blocks after the header
    EXPECT_EQ(subject.find_first_not_of("0123456789abcdef"), std::string::npos) << subject;
    std::string text;
    DecryptHexText(subject, text);
    EXPECT_TRUE(text.starts_with("MBlob0_7_dev")) << text;
}

// The incoming side over dovecot, once with POP3 and once with IMAP4.
class VelMailMailbox : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        host = Env(GetParam() ? "ORVENDAL_TEST_IMAP" : "ORVENDAL_TEST_POP3");
        maildir = Env("ORVENDAL_TEST_MAILDIR");
        if (host.empty() || maildir.empty())
            GTEST_SKIP() << "ORVENDAL_TEST_POP3/IMAP are not set: run the tests under "
                            "tests/servers/with-servers.sh";
        for (const char* sub : {"new", "cur"})
            for (const auto& file : Files(maildir + "/" + sub))
                fs::remove(file);
    }
    void Drop(const std::string& name, const std::string& text) {
        // Unique names across test processes: dovecot's index remembers expunged ones.
        static int serial = 0;
        fs::path path = fs::path(maildir) / "new" /
                        (std::to_string(std::time(nullptr)) + "." + std::to_string(getpid()) + "_" +
                         std::to_string(100000 + ++serial) + "_" + name +
                         ".orvendal"); // in the order of dropping
        WriteText(path, text);
        passwd* user = getpwnam("dovecot");
        ASSERT_NE(user, nullptr);
        ASSERT_EQ(chown(path.c_str(), user->pw_uid, user->pw_gid), 0);
    }
    // The messages left; dovecot finishes a POP3 QUIT after its reply, so give it up to 2 s.
    size_t Stored(size_t expected) {
        size_t count = 0;
        for (int i = 0; i < 40; ++i) {
            count = Files(maildir + "/new").size() + Files(maildir + "/cur").size();
            if (count == expected)
                break;
            usleep(50000);
        }
        return count;
    }
    std::unique_ptr<TVelMail> Mail() {
        std::vector<std::string> lines = {"1=7",
                                          "2=dev",
                                          "4=" + work.Path(),
                                          "10=x",
                                          "11=" + host,
                                          "12=" + Env("ORVENDAL_TEST_MAIL_USER"),
                                          "13=" + Env("ORVENDAL_TEST_MAIL_PASSWORD"),
                                          "14=-"};
        if (GetParam())
            lines.push_back("22=1");
        TMemoryStream settings = SettingsStream(lines);
        auto mail = std::make_unique<TVelMail>();
        mail->LoadSettings(settings);
        return mail;
    }
    TMailServersLock lock;
    std::string host, maildir;
    TTempFolder work;
};

TEST_P(VelMailMailbox, LastMatchDownloadedOthersAndOldDeleted) {
    Drop("1", MimeMessage("50_7_dev first", 0, "one"));
    Drop("2", MimeMessage("foreign old", 3, "x"));
    Drop("3", MimeMessage("50_7_dev second", 0, "two"));
    Drop("4", MimeMessage("foreign exactly one day", 1, "x"));
    Drop("5", MimeMessage("50_7_dev third", 0, "three"));
    auto mail = Mail();
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(mail->MaxAgeDays, 1); // a small mailbox keeps foreign mail one day
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "three");
    EXPECT_EQ(mail->Message.Subject, "50_7_dev third");
    ASSERT_EQ(Stored(1), 1u);
    auto kept = Files(maildir + "/cur");
    auto fresh = Files(maildir + "/new");
    std::string left = ReadText(kept.empty() ? fresh[0] : kept[0]);
    EXPECT_NE(left.find("foreign exactly one day"), std::string::npos);
}

TEST_P(VelMailMailbox, NoMatchReturnsTrueAndWritesNothing) {
    Drop("1", MimeMessage("something else", 0, "x"));
    auto mail = Mail();
    EXPECT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    EXPECT_EQ(Stored(1), 1u);
}

TEST_P(VelMailMailbox, DataThatDoesNotInflateStaysOnTheServer) {
    Drop("1", MimeMessage("50_7_dev", 0, "no zlib stream", false));
    for (int run = 1; run <= 2; ++run) { // the second run finds the same message again
        auto mail = Mail();
        EXPECT_FALSE(mail->ReceiveData()) << run;
        EXPECT_TRUE(mail->ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 2: "))
            << run << ": " << mail->ErrorText;
        EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    }
}

TEST_P(VelMailMailbox, LargeMailboxKeepsMaxAge) {
    std::mt19937 random(7); // random bytes do not pack: the message stays above 999999 bytes
    std::string noise(800000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    Drop("1", MimeMessage("big foreign", 5, noise));
    Drop("2", MimeMessage("older foreign", 30, "x"));
    auto mail = Mail();
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(mail->MaxAgeDays, 28);
    EXPECT_EQ(Stored(1), 1u); // 5 days stays under 28, 30 days goes
}

TEST_P(VelMailMailbox, WrongPasswordFailsWithStep20) {
    std::vector<std::string> lines = {"10=x",   "11=" + host, "12=nobody",
                                      "13=bad", "14=-",       "4=" + work.Path()};
    if (GetParam())
        lines.push_back("22=1");
    TMemoryStream settings = SettingsStream(lines);
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_FALSE(mail.ReceiveData());
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 20: "))
        << mail.ErrorText;
}

INSTANTIATE_TEST_SUITE_P(Readers, VelMailMailbox, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Imap" : "Pop3"; });

TEST(VelMailDrop, DownloadBreakingOffFailsWithStep21) {
    std::string host = Env("ORVENDAL_TEST_POP3_DROP"), dir = Env("ORVENDAL_TEST_POP3_DROP_DIR");
    if (host.empty() || dir.empty())
        GTEST_SKIP() << "ORVENDAL_TEST_POP3_DROP is not set: run under with-servers.sh";
    TMailServersLock lock;
    WriteText(dir + "/1", MimeMessage("50_7_dev", 0, "data"));
    TTempFolder work;
    TMemoryStream settings = SettingsStream(
        {"1=7", "2=dev", "4=" + work.Path(), "10=x", "11=" + host, "12=u", "13=p", "14=-"});
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_FALSE(mail.ReceiveData());
    fs::remove(dir + "/1");
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 21: "))
        << mail.ErrorText;
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    EXPECT_TRUE(mail.Message.Subject.empty());
}

} // namespace
} // namespace orvendal::testing
