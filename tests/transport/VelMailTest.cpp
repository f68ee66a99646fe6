// The mail transport without servers: settings keys and their defaults, subject matching and
// the shared-folder file mode.

#include "transport/VelMail.h"

#include "tables/UserFkt.h"
#include "transport/TransportFixture.h"

namespace orvendal::testing {
namespace {

std::unique_ptr<TVelMail> Loaded(const std::vector<std::string>& lines) {
    TMemoryStream settings = SettingsStream(lines);
    auto mail = std::make_unique<TVelMail>();
    mail->LoadSettings(settings);
    return mail;
}

TEST(VelMailSettings, MissingOrUndecipherableKeysGiveFileModeDefaults) {
    TVelMail plainMail;
    TMemoryStream plain; // not enciphered: every key is missing
    plain.WriteString("1=12\r\n10=agent\r\n");
    plain.Rewind();
    plainMail.LoadSettings(plain);
    EXPECT_EQ(plainMail.SendName, "0_0_");
    auto keyed = Loaded({"1=12", "2=abc"});
    EXPECT_FALSE(keyed->UseMail || keyed->UseMapi || keyed->UseImap || !keyed->DecryptSubjects ||
                 !keyed->EncryptSubjects);
    EXPECT_EQ(keyed->SendName + " " + keyed->ReceiveName, "0_12_abc 50_12_abc");
    EXPECT_EQ(keyed->MaxAgeDays, 28);
    EXPECT_EQ(keyed->WorkDir, TempPath());
    EXPECT_EQ(keyed->SmtpServer.Host, "");
}

// Keys 11, 14, 22 and 23 select the reader, the hosts, the ports and the security.
struct TKeyCase {
    std::vector<std::string> Lines;
    bool Mapi, Imap;
    std::string Incoming, Smtp; // "host:port"
    TMailSecurity Security;
};

TEST(VelMailSettings, KeysSelectReaderHostsAndSecurity) {
    using S = TMailSecurity;
    // clang-format off
    for (const TKeyCase& c : {
        TKeyCase{{"11=mail.example"}, false, false, "mail.example:110", "mail.example:25", S::Plain},
        TKeyCase{{"11=h:2110", "14=s:2525"}, false, false, "h:2110", "s:2525", S::Plain},
        TKeyCase{{"11=h", "14=-"}, false, false, "h:110", ":25", S::Plain},
        TKeyCase{{"11=h", "22=1"}, false, true, "h:143", ":25", S::Plain},
        TKeyCase{{"11=MAPI", "22=1", "12=p"}, true, true, ":0", ":25", S::Plain},
        TKeyCase{{"11=mapi"}, false, false, "mapi:110", "mapi:25", S::Plain},
        TKeyCase{{"11=h:abc"}, false, false, "h:abc:110", "h:abc:25", S::Plain},
        TKeyCase{{"11=h", "23= TLS"}, false, false, "h:995", "h:465", S::Tls},
        TKeyCase{{"11=h", "22=1", "14=s", "23=tls"}, false, true, "h:993", "s:465", S::Tls},
        TKeyCase{{"11=h:1110", "23=StartTLS"}, false, false, "h:1110", "h:25", S::StartTls},
        TKeyCase{{"11=h", "23=ssl"}, false, false, "h:110", "h:25", S::Unknown}}) {
        // clang-format on
        auto lines = c.Lines;
        lines.insert(lines.end(), {"10=x", "19= /etc/ca.pem "});
        auto mail = Loaded(lines);
        std::string incoming =
            mail->IncomingServer.Host + ":" + std::to_string(mail->IncomingServer.Port);
        EXPECT_EQ(incoming, c.Incoming) << lines[0];
        EXPECT_EQ(mail->SmtpServer.Host + ":" + std::to_string(mail->SmtpServer.Port), c.Smtp);
        EXPECT_EQ(mail->UseMapi, c.Mapi) << lines[0];
        EXPECT_EQ(mail->UseImap, c.Imap) << lines[0];
        for (const TMailServer& server : {mail->IncomingServer, mail->SmtpServer}) {
            EXPECT_EQ(server.Security, c.Security) << lines[0];
            EXPECT_EQ(server.CAFile, "/etc/ca.pem");
        }
    }
}

TEST(VelMailSettings, MailModeMessageFields) {
    auto mail = Loaded({"10=Agent", "25=pc@example.org", "27=a@example.org; Chef <b@example.org>",
                        "28=server@example.org", "29=Server", "30=Hallo", "33=bcc@example.org",
                        "35=Chef <cc@example.org>; two@example.org", "31=send", "81=recv", "32=no",
                        "82=no", "9=5", "4=/work/"});
    const TMailMessage& m = mail->Message;
    EXPECT_EQ(mail->MailAgent + m.FromAddress + m.FromName + m.Body,
              "Agentpc@example.orgpc@example.orgHallo");
    EXPECT_EQ(m.ReplyTo, (TMailAddressList{{"", "a@example.org"}, {"Chef", "b@example.org"}}));
    EXPECT_EQ(m.Recipients, (TMailAddressList{{"Server", "server@example.org"}}));
    EXPECT_EQ(m.CCList, (TMailAddressList{{"Chef", "cc@example.org"}, {"", "two@example.org"}}));
    EXPECT_EQ(m.BccList.size(), 1u);
    EXPECT_EQ(mail->SendName + mail->ReceiveName + mail->WorkDir, "sendrecv/work/");
    EXPECT_FALSE(mail->EncryptSubjects || mail->DecryptSubjects);
    EXPECT_EQ(mail->MaxAgeDays, 5);
    EXPECT_LT(std::chrono::abs(std::chrono::system_clock::now() - m.Date), std::chrono::minutes(1));
    EXPECT_EQ(Loaded({"10=x", "25=pc@example.org"})->Message.ReplyTo,
              (TMailAddressList{{"", "pc@example.org"}})); // no key 27: the sender
}

TEST(VelMailSubject, PlainAndEnciphered) {
    auto mail = Loaded({"1=12", "2=abc"});
    std::string wanted, outgoing;
    EncryptTextToHex("50_12_abc", wanted);
    EncryptTextToHex("0_12_abc", outgoing);
    for (auto [subject, matches] : {std::pair{wanted, true},
                                    {"50_12_abc", true},
                                    {"50_12_abc more", true},
                                    {"x50_12_abc", false},
                                    {"50_12_ABC", false},
                                    {outgoing, false}})
        EXPECT_EQ(mail->SubjectMatches(subject), matches) << subject;
    mail->DecryptSubjects = false;
    EXPECT_FALSE(mail->SubjectMatches(wanted));
    EXPECT_EQ(FormatPattern("/x/in%s-%s-%d%n", "%s%n"), "/x/in%s%n-%s-%d%n");
}

class VelMailFileMode : public ::testing::Test {
protected:
    TTempFolder work, shared;
    std::unique_ptr<TVelMail> owned =
        Loaded({"1=7", "2=dev", "4=" + work.Path(), "14=x", "28=" + shared.Path() + "out%s.md_",
                "78=" + shared.Path() + "in%s.md_"});
    TVelMail& mail = *owned;
};

TEST_F(VelMailFileMode, SendWritesPackedFilesWithTheTag) {
    for (auto [isBlob, tag, content] :
         {std::tuple{false, "", "export data"}, {true, "42", "photo"}, {false, "", ""}}) {
        std::string source = work.Path() + (isBlob ? "MBlobexport.mdb" : "export.mdb");
        WriteText(source, content);
        ASSERT_TRUE(mail.SendData(isBlob, "", tag)) << mail.ErrorText;
        std::string packed = ReadText(shared.Path() + "out" + tag + ".md_");
        EXPECT_EQ(*content ? Inflated(packed) : packed, content);
        EXPECT_EQ(fs::exists(source), !isBlob);
        EXPECT_FALSE(fs::exists(work.Path() + "7data.md_"));
    }
    EXPECT_FALSE(mail.SendData(false, work.Path() + "none.mdb", ""));
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 10: "));
    auto off = Loaded({"4=" + work.Path(), "14=-", "28=" + shared.Path() + "off%s"});
    EXPECT_TRUE(off->SendData(false, "", "")); // "-" sends nothing
    EXPECT_FALSE(fs::exists(shared.Path() + "off"));
}

// A damaged input fails step 2 and keeps both the old import and the input; a good one
// replaces the import and goes.
TEST_F(VelMailFileMode, ReceiveReplacesTheImportWholeOrNotAtAll) {
    EXPECT_TRUE(mail.ReceiveData());
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    WriteText(work.Path() + "import.mdb", "old");
    std::string packed = Deflated("import data");
    WriteText(shared.Path() + "in.md_", packed.substr(0, packed.size() / 2));
    EXPECT_FALSE(mail.ReceiveData());
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 2: "));
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(work.Path()), {}), 1);
    WriteText(shared.Path() + "in.md_", packed);
    ASSERT_TRUE(mail.ReceiveData()) << mail.ErrorText;
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "import data");
    EXPECT_FALSE(fs::exists(shared.Path() + "in.md_"));
}

} // namespace
} // namespace orvendal::testing
