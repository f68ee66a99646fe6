// Plain subjects beyond ASCII: sent to the loopback SMTP server as RFC 2047 words with every
// blank kept, and matched on receipt over POP3 however the sender encoded them.

#include "protect/KeyList.h"
#include "transport/MailFixture.h"
#include "transport/VelMail.h"

#include <algorithm>
#include <pwd.h>

namespace orvendal::testing {
namespace {

const std::string kStem = "0_7_Gerät  Kassel – Süd"; // two blanks, umlauts, a dash

std::vector<fs::path> Files(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    return files;
}

std::unique_ptr<TVelMail> Mail(const std::string& workDir) {
    TMemoryStream settings;
    SaveKeyLines({"1=7", "2=Gerät  Kassel – Süd", "4=" + workDir, "10=x",
                  "11=" + Env("ORVENDAL_TEST_POP3"), "12=" + Env("ORVENDAL_TEST_MAIL_USER"),
                  "13=" + Env("ORVENDAL_TEST_MAIL_PASSWORD"), "14=" + Env("ORVENDAL_TEST_SMTP"),
                  "25=pc@example.org", "28=server@example.org", "32=no", "81=" + kStem, "82=no"},
                 settings);
    settings.Rewind();
    auto mail = std::make_unique<TVelMail>();
    mail->LoadSettings(settings);
    return mail;
}

// The sent message as the SMTP server stored it, without its two envelope lines.
std::string SentMessage(TVelMail& mail, const std::string& smtpDir, const std::string& workDir) {
    for (const auto& file : Files(smtpDir))
        fs::remove(file);
    WriteText(workDir + "export.mdb", "payload");
    EXPECT_TRUE(mail.SendData(false, "", "")) << mail.ErrorText;
    const auto files = Files(smtpDir);
    if (files.size() != 1)
        return {};
    const std::string raw = ReadText(files[0]);
    return raw.substr(raw.find("\r\n", raw.find("X-Envelope-To")) + 2);
}

std::string Header(const std::string& message) {
    return message.substr(0, message.find("\r\n\r\n"));
}

std::string ReplaceSubject(std::string message, const std::string& encoded) {
    const size_t at = message.find("Subject: ") + 9;
    size_t end = at;
    while ((end = message.find("\r\n", end)) != std::string::npos && message[end + 2] == ' ')
        end += 2; // folded lines belong to the field
    return message.replace(at, end - at, encoded);
}

TEST(MailSubject, BlanksAndUmlautsTravelAsEncodedWordsAndMatchOnReceipt) {
    const std::string maildir = Env("ORVENDAL_TEST_MAILDIR"),
                      smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
    if (maildir.empty() || smtpDir.empty() || Env("ORVENDAL_TEST_POP3").empty())
        GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
    TMailServersLock lock;
    TTempFolder work;
    auto mail = Mail(work.Path());
    const std::string sent = SentMessage(*mail, smtpDir, work.Path());
    const std::string header = Header(sent);
    ASSERT_FALSE(header.empty());
    EXPECT_EQ(std::count_if(header.begin(), header.end(), [](char c) { return c & 0x80; }), 0)
        << header; // no raw 8-bit bytes on the wire
    EXPECT_NE(header.find("Subject: =?"), std::string::npos) << header;

    struct TCase {
        const char* Name;
        std::string Message;
    };
    const TCase cases[] = {
        {"as sent", sent},
        {"words of another mailer",
         ReplaceSubject(sent, "=?windows-1252?Q?0=5F7=5FGer=E4t__Kassel_?=\r\n"
                              " =?UTF-8?B?4oCTIFPDvGQ=?=")},
    };
    passwd* dovecot = getpwnam("dovecot");
    ASSERT_NE(dovecot, nullptr);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const char* sub : {"new", "cur"})
            for (const auto& file : Files(maildir + "/" + sub))
                fs::remove(file);
        const fs::path drop = fs::path(maildir) / "new" /
                              (std::to_string(std::time(nullptr)) + "." + std::to_string(getpid()) +
                               "_subject_" + std::to_string(&c - cases) + ".orvendal");
        WriteText(drop, c.Message);
        ASSERT_EQ(chown(drop.c_str(), dovecot->pw_uid, dovecot->pw_gid), 0);
        auto receiver = Mail(work.Path());
        ASSERT_TRUE(receiver->ReceiveData()) << receiver->ErrorText;
        EXPECT_EQ(receiver->Message.Subject, kStem);
        EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "payload");
    }
}

} // namespace
} // namespace orvendal::testing
