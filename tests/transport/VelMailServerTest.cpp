// The mail transport against the loopback servers (tests/servers/start-mail.sh): SMTP servers
// that store what they receive (plain without STARTTLS, STARTTLS, TLS), dovecot's POP3 and
// IMAP4 (TLS required, loopback counts as secured) and the scripted POP3 server.

#include "transport/TransportFixture.h"

#include <algorithm>
#include <set>

namespace orvendal::testing {
namespace {

constexpr long Day = 86400;
const std::string Device = "Gerät  Kassel – Süd"; // two blanks, umlauts, a dash

// A message dated ageSeconds ago with the bytes as its attachment (base64 by the shell's base64),
// every line ending in CR LF: its size is the size the servers report.
std::string Message(const std::string& subject, long ageSeconds, const std::string& bytes = "") {
    TTempFolder scratch;
    WriteText(scratch.File("p"), bytes);
    std::string encode = "base64 " + scratch.File("p") + " | sed 's/$/\r/' >" + scratch.File("b");
    EXPECT_EQ(std::system(encode.c_str()), 0);
    std::time_t date = std::time(nullptr) - ageSeconds;
    char head[100];
    std::strftime(head, sizeof head, "Date: %a, %d %b %Y %H:%M:%S +0000\r\n", std::gmtime(&date));
    return "Subject: " + subject + "\r\n" + head +
           "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
           "Content-Type: text/plain\r\n\r\n.dot\r\n--b\r\n" // POP3 sends it as "..dot"
           "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           ReadText(scratch.File("b")) + "--b--\r\n";
}

// The server of ORVENDAL_TEST_<name> ("127.0.0.1:PORT") on the host.
std::string Server(const std::string& name, const std::string& host = "127.0.0.1") {
    return host + Env(("ORVENDAL_TEST_" + name).c_str()).substr(9);
}

class MailServers : public ::testing::Test {
protected:
    void SetUp() override {
        if (script.empty())
            GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
    }
    // Empties the mailbox, the SMTP and script folders, the work folder and the records.
    void Reset() {
        for (const std::string& folder :
             {maildir + "/new", maildir + "/cur", smtpDir, script, work.Path()})
            for (const auto& entry : fs::directory_iterator(folder))
                fs::remove(entry.path());
        fs::remove(seenLog);
        logStart = fs::file_size(dovecotLog);
    }
    // What the servers recorded since the reset: commands, AUTH/DATA, dovecot's log. Dovecot
    // logs through a process of its own: after a session, wait for its end to be logged.
    std::string Seen(bool session = false) {
        for (int i = 0; session && i < 40 && Seen().find("Disconnected") == std::string::npos; ++i)
            usleep(50000);
        return ReadText(seenLog) + ReadText(dovecotLog).substr(logStart);
    }
    std::unique_ptr<TVelMail> Mail(std::vector<std::string> lines) {
        lines.insert(lines.end(), {"1=7", "2=dev", "10=Orvendal", "12=orvendal", "13=geheim",
                                   "15=pc", "16=pw", "4=" + work.Path()});
        return LoadedMail(lines);
    }

    TMailServersLock lock;
    std::string maildir = Env("ORVENDAL_TEST_MAILDIR"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
    std::string script = Env("ORVENDAL_TEST_POP3_SCRIPT_DIR"), ca = Env("ORVENDAL_TEST_CA");
    std::string seenLog = Env("ORVENDAL_TEST_MAIL_SEEN"),
                dovecotLog = Env("ORVENDAL_TEST_DOVECOT_LOG");
    size_t logStart = 0, drops = 1000; // mail files, named in drop order; Reset removes them
    TTempFolder work;
};

// Send, then receive what was sent, over each security and reader. Secured connections log in
// over TLS only, as dovecot's log and the SMTP server's record show; the export goes with Bcc
// and a plain subject beyond ASCII (encoded words, every blank kept), a photo without Bcc and
// with an enciphered one.
TEST_F(MailServers, SendsAndReceivesOverEachSecurityAndReader) {
    // clang-format off
    for (auto [security, smtp, reader, photo] : {std::tuple{"", "SMTP", "POP3", false},
             {"", "SMTP", "IMAP", true}, {"starttls", "SMTP_STARTTLS", "POP3", true},
             {"starttls", "SMTP_STARTTLS", "IMAP", false}, {"tls", "SMTP_TLS", "POP3S", false},
             {"TLS ", "SMTP_TLS", "IMAPS", true}}) {
        // clang-format on
        SCOPED_TRACE(std::string(security) + reader + (photo ? " photo" : ""));
        Reset();
        // secured: the host the certificate names
        std::string host = *security ? "localhost" : "127.0.0.1";
        std::string stem = (photo ? "MBlob0_7_" : "0_7_") + Device;
        auto mail =
            Mail({"11=" + Server(reader, host), "14=" + Server(smtp, host), "19=" + ca,
                  *reader == 'I' ? "22=1" : "22=", std::string("23=") + security, "2=" + Device,
                  "25=pc@x.org", "26=PC", "27=a@x.org; b@x.org", "28=hq@x.org", "29=HQ",
                  "33=bcc@x.org", "35=cc@x.org", photo ? "" : "32=no", "81=" + stem});
        WriteText(work.Path() + (photo ? "MBlobexport.mdb" : "export.mdb"), SampleContent(5000));
        ASSERT_TRUE(mail->SendData(photo, "", "")) << mail->ErrorText;
        ASSERT_FALSE(fs::is_empty(smtpDir));
        std::string raw = ReadText(fs::directory_iterator(smtpDir)->path());
        for (const char* part : {"From: \"PC\" <pc@x.org>\r\nTo: \"HQ\" <hq@x.org>\r\n",
                                 "Reply-To: a@x.org, b@x.org\r\nX-Mailer: Orvendal\r\n",
                                 "filename=7data.md_;", // the attachment
                                 photo ? "hq@x.org,cc@x.org\r\n" : "hq@x.org,cc@x.org,bcc@x.org"})
            EXPECT_NE(raw.find(part), raw.npos) << part << raw.substr(0, 500);
        std::string header = raw.substr(0, raw.find("\r\n\r\n"));
        EXPECT_TRUE(std::none_of(header.begin(), header.end(), [](char b) { return b & 0x80; }));
        EXPECT_EQ(header.find("Bcc:"), raw.npos) << header;

        // An empty mailbox gives nothing; then the message sent arrives.
        EXPECT_TRUE(mail->ReceiveData() && !fs::exists(work.File("import.mdb"))) << mail->ErrorText;
        WriteText(maildir + "/new/" + std::to_string(++drops),
                  raw.substr(raw.find("\r\n", raw.find("X-Envelope-TLS")) + 2));
        ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
        EXPECT_TRUE(ReadText(work.File("import.mdb")) == SampleContent(5000));
        EXPECT_EQ(mail->Message.Subject == stem, !photo) << mail->Message.Subject; // enciphered
        std::string seen = Seen(true), found;
        for (const char* part : {"Login: user=<orvendal>", "AUTH tls=yes", "AUTH tls=no",
                                 "DATA tls=no", "secured, session", ", TLS"})
            found += seen.find(part) == seen.npos ? '-' : '+';
        EXPECT_EQ(found, *security ? "++---+" : "+-+++-") << seen;
    }
}

// The walk: the last match is downloaded and the earlier one deleted; foreign mail older than
// MaxAgeDays (fractional days) goes. Below 999999 bytes MaxAgeDays becomes 1: the padding after
// the last MIME boundary of "pad" makes the mailbox one byte smaller or exactly that size.
TEST_F(MailServers, KeepsTheYoungAndTakesTheLastMatch) {
    const std::set<std::string> young = {"0.9 days", "1.0 days"},
                                underMonth = {"0.9 days", "1.0 days", "1.5 days", "28 days", "pad"};
    // clang-format off
    for (auto [imap, total] : {std::pair{false, 999998L}, {false, 999999L}, {true, 999998L},
                               {true, 999999L}}) {
        // clang-format on
        SCOPED_TRACE(std::to_string(imap) + " " + std::to_string(total));
        Reset();
        std::vector<std::string> mails = {Message("50_7_dev first", 0, Deflated("one"))};
        // clang-format off
        for (auto [subject, age] : {std::pair{"0.9 days", Day * 9 / 10}, {"1.0 days", Day - 60},
                 {"1.5 days", Day * 3 / 2}, {"28 days", 28 * Day - 60},
                 {"28.5 days", 28 * Day + Day / 2}, {"pad", 5 * Day}})
            // clang-format on
            mails.push_back(Message(subject, age));
        mails.push_back(Message("50_7_dev second", 0, Deflated("two")));
        long pad = total;
        for (const std::string& mail : mails)
            pad -= static_cast<long>(mail.size());
        mails[6] += std::string(pad, 'x');
        for (const std::string& mail : mails)
            WriteText(maildir + "/new/" + std::to_string(++drops), mail);
        auto mail = Mail({"11=" + Server(imap ? "IMAP" : "POP3"), "14=-", imap ? "22=1" : "22="});
        ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
        // The subjects left in the mailbox; dovecot finishes a POP3 QUIT after its reply.
        const auto& expected = total == 999999 ? underMonth : young;
        std::set<std::string> left;
        for (int i = 0; i < 40 && left != expected; ++i, usleep(50000)) {
            left.clear();
            for (const auto& entry : fs::recursive_directory_iterator(maildir))
                if (std::string text = entry.is_directory() ? "" : ReadText(entry.path());
                    text.starts_with("Subject: "))
                    left.insert(text.substr(9, text.find("\r\n") - 9));
        }
        EXPECT_EQ(left, expected);
        EXPECT_EQ(ReadText(work.File("import.mdb")), "two");
    }
}

// Refusals end the step at once with a text that says why; a secured connection never logs in
// before TLS, and what failed stays on the server: the servers' records show neither. The
// script server's messages take their fault from the file name.
TEST_F(MailServers, RefusalsFailTheStep) {
    const std::string noStls = "Server 127.0.0.1 bietet keine verschlüsselte Verbindung "
                               "(STARTTLS) an: ";
    const std::string login = " lehnt die Anmeldung als ";
    // server, a settings line, CA file, script file, error (after "Schritt "), not on record
    // clang-format off
    for (auto [server, key, caFile, file, error, absent] : {
             std::tuple{"POP3_SCRIPT", "23=starttls", ca, "1",
                        "20: " + noStls + "-ERR STLS nicht verfügbar)", "USER"},
             {"SMTP", "23=starttls", ca, "1", "10: " + noStls + "TLS not available)", "AUTH"},
             {"POP3S", "23=tls", ca, "1", "20: Zertifikat gilt nicht für den Server 127.0.0.1)",
              "Login:"},
             {"IMAPS", "23=tls", "", "1", "20: Zertifikat des Servers 127.0.0.1 stammt von keiner "
              "vertrauenswürdigen Stelle)", "Login:"},
             {"POP3_SCRIPT", "23=ssl", ca, "1",
              "20: Unbekannte E-Mail-Sicherheit (erlaubt: leer, starttls oder tls))", "USER"},
             {"POP3", "13=falsch", ca, "1", "20: Der Server " + Server("POP3") + login +
              "orvendal ab: -ERR [AUTH] Authentication failed.)", "DELE"},
             {"SMTP", "16=falsch", ca, "1", "10: Der Server " + Server("SMTP") + login + "pc ab)",
              "DATA"},
             {"POP3_SCRIPT", "", ca, "1-refuse-retr",
              "21: Server verweigert RETR 1: Nachricht gesperrt)", "DELE"},
             {"POP3_SCRIPT", "", ca, "1-drop-retr", "21: ", "DELE"},
             {"POP3_SCRIPT", "", ca, "raw", "2: ", "DELE"}}) {
        // clang-format on
        SCOPED_TRACE(error);
        Reset();
        bool smtp = std::string(server).starts_with("SMTP");
        WriteText(script + "/" + file, Message("50_7_dev", 0, *file == 'r' ? "x" : Deflated("x")));
        auto mail = Mail(
            {(smtp ? "14=" : "11=") + Server(server), smtp ? "" : "14=-", key, "19=" + caFile});
        WriteText(work.Path() + "export.mdb", "rows");
        EXPECT_FALSE(smtp ? mail->SendData(false, "", "") : mail->ReceiveData());
        std::string expected = "Fehler bei E-Mail-Verarbeitung (Schritt " + error;
        EXPECT_EQ(mail->ErrorText.substr(0, expected.size()), expected);
        EXPECT_TRUE(!fs::exists(work.File("import.mdb")) && fs::is_empty(smtpDir));
        EXPECT_EQ(Seen().find(absent), std::string::npos) << Seen();
    }
    // A refused header is no failure: the walk goes on to the next message, whose subject
    // another mailer split into encoded words of two character sets.
    Reset();
    WriteText(script + "/1-refuse-top", Message("50_7_" + Device, 0, Deflated("one")));
    WriteText(script + "/2", Message("=?windows-1252?Q?50=5F7=5FGer=E4t__Kassel_?=\r\n"
                                     " =?UTF-8?B?4oCTIFPDvGQ=?=",
                                     0, Deflated("two")));
    auto mail = Mail({"2=" + Device, "11=" + Server("POP3_SCRIPT"), "14=-"});
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(ReadText(work.File("import.mdb")) + mail->Message.Body, "two.dot");
    EXPECT_NE(Seen().find("TOP 1 0\r\nTOP 2 0\r\nRETR 2\r\nDELE 2\r\n"), std::string::npos);
}

} // namespace
} // namespace orvendal::testing
