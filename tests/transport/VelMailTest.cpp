// The mail transport without servers: settings keys and their defaults, subject matching and
// the shared-folder file mode.

#include "transport/VelMail.h"

#include "tables/UserFkt.h"
#include "transport/TransportFixture.h"

namespace orvendal::testing {
namespace {

std::unique_ptr<TVelMail> Loaded(const std::vector<std::string>& lines, bool encipher = true) {
    TMemoryStream settings = SettingsStream(lines);
    if (!encipher) { // not enciphered: every key reads as missing
        settings.Clear();
        for (const std::string& line : lines)
            settings.WriteString(line + "\r\n");
        settings.Rewind();
    }
    auto mail = std::make_unique<TVelMail>();
    mail->LoadSettings(settings);
    return mail;
}

TEST(VelMailSettings, MissingKeysGiveFileModeDefaults) {
    EXPECT_EQ(Loaded({"1=12", "10=agent"}, false)->SendName, "0_0_");
    auto mail = Loaded({"1=12", "2=abc", "25=pc@example.org", "9=x"});
    EXPECT_FALSE(mail->UseMail || mail->UseMapi || mail->UseImap || !mail->DecryptSubjects ||
                 !mail->EncryptSubjects || !mail->Message.FromAddress.empty());
    EXPECT_EQ(mail->SendName + " " + mail->ReceiveName + " " + mail->WorkDir,
              "0_12_abc 50_12_abc " + TempPath());
    EXPECT_EQ(mail->MaxAgeDays, 28);
    mail = Loaded({"10=x", "25=pc@example.org", "9=5", "31=send", "81=recv", "32=", "82= "});
    EXPECT_EQ(mail->SendName + mail->ReceiveName + mail->Message.FromName,
              "sendrecvpc@example.org");
    EXPECT_EQ(mail->Message.ReplyTo, (TMailAddressList{{"", "pc@example.org"}})); // no key 27
    EXPECT_TRUE(mail->DecryptSubjects && mail->EncryptSubjects && mail->MaxAgeDays == 5);
}

// Keys 11, 14, 22 and 23 select the reader, the hosts, the ports and the security.
struct TKeyCase {
    std::vector<std::string> Lines;
    bool Mapi, Imap;
    std::string Servers; // "incoming-host:port smtp-host:port"
    TMailSecurity Security;
};

TEST(VelMailSettings, KeysSelectReaderHostsAndSecurity) {
    using S = TMailSecurity;
    // clang-format off
    for (const TKeyCase& c : {
             TKeyCase{{"11=mail.example"}, 0, 0, "mail.example:110 mail.example:25", S::Plain},
             {{"11=h:2110", "14=s:2525"}, 0, 0, "h:2110 s:2525", S::Plain},
             {{"11=h", "14=-"}, 0, 0, "h:110 :25", S::Plain},
             {{"11=h", "22=1"}, 0, 1, "h:143 :25", S::Plain},
             {{"11=MAPI", "22=1"}, 1, 1, ":0 :25", S::Plain},
             {{"11=mapi"}, 0, 0, "mapi:110 mapi:25", S::Plain},
             {{"11=h:abc"}, 0, 0, "h:abc:110 h:abc:25", S::Plain},
             {{"11=h", "23= TLS"}, 0, 0, "h:995 h:465", S::Tls},
             {{"11=h", "22=1", "14=s", "23=tls"}, 0, 1, "h:993 s:465", S::Tls},
             {{"11=h:1110", "23=StartTLS"}, 0, 0, "h:1110 h:25", S::StartTls},
             {{"11=h", "23=ssl"}, 0, 0, "h:110 h:25", S::Unknown}}) {
        // clang-format on
        auto lines = c.Lines;
        lines.insert(lines.end(), {"10=x", "19= /etc/ca.pem "});
        auto mail = Loaded(lines);
        const TMailServer &in = mail->IncomingServer, &out = mail->SmtpServer;
        EXPECT_EQ(in.Host + ":" + std::to_string(in.Port) + " " + out.Host + ":" +
                      std::to_string(out.Port),
                  c.Servers);
        EXPECT_EQ(mail->UseMapi, c.Mapi) << c.Servers;
        EXPECT_EQ(mail->UseImap, c.Imap) << c.Servers;
        EXPECT_TRUE(in.Security == c.Security && out.Security == c.Security) << c.Servers;
        EXPECT_EQ(in.CAFile + out.CAFile, "/etc/ca.pem/etc/ca.pem");
    }
}

TEST(VelMailSubject, PlainAndEnciphered) {
    auto mail = Loaded({"1=12", "2=abc"});
    std::string wanted, outgoing;
    EncryptTextToHex("50_12_abc", wanted);
    EncryptTextToHex("0_12_abc", outgoing);
    for (auto [subject, matches] : {std::pair{wanted, true},
                                    {"50_12_abc more", true},
                                    {"x50_12_abc", false},
                                    {"50_12_ABC", false},
                                    {outgoing, false}})
        EXPECT_EQ(mail->SubjectMatches(subject), matches) << subject;
    mail->DecryptSubjects = false;
    EXPECT_FALSE(mail->SubjectMatches(wanted));
    EXPECT_EQ(FormatPattern("/x/in%s-%s-%d%n", "%s%n"), "/x/in%s%n-%s-%d%n");
}

// File mode: a send writes the packed data to the pattern with the tag (a photo's source goes);
// a receive replaces import.mdb whole or not at all and takes the input only when it worked.
TEST(VelMailFileMode, SendsAndReceivesThroughTheSharedFolder) {
    TTempFolder work, shared;
    auto mail = Loaded({"1=7", "4=" + work.Path(), "14=x", "28=" + shared.Path() + "out%s.md_",
                        "78=" + shared.Path() + "in%s.md_"});
    for (auto [isBlob, tag, content] :
         {std::tuple{false, "", "export data"}, {true, "42", "photo"}, {false, "", ""}}) {
        std::string source = work.Path() + (isBlob ? "MBlobexport.mdb" : "export.mdb");
        WriteText(source, content);
        ASSERT_TRUE(mail->SendData(isBlob, "", tag)) << mail->ErrorText;
        std::string packed = ReadText(shared.Path() + "out" + tag + ".md_");
        EXPECT_EQ(*content ? Inflated(packed) : packed, content);
        EXPECT_EQ(fs::exists(source), !isBlob);
    }
    EXPECT_FALSE(mail->SendData(false, work.Path() + "none.mdb", ""));
    EXPECT_TRUE(mail->ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 10: "));
    EXPECT_TRUE(Loaded({"4=" + work.Path(), "14=-", "28=/nowhere/%s"})->SendData(false, "", ""));

    fs::remove(work.Path() + "export.mdb");
    EXPECT_TRUE(mail->ReceiveData());
    EXPECT_TRUE(fs::is_empty(work.Path()));
    WriteText(work.Path() + "import.mdb", "old");
    std::string packed = Deflated("import data");
    WriteText(shared.Path() + "in.md_", packed.substr(0, packed.size() / 2));
    EXPECT_FALSE(mail->ReceiveData());
    EXPECT_TRUE(mail->ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 2: "));
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(work.Path()), {}), 1);
    WriteText(shared.Path() + "in.md_", packed);
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "import data");
    EXPECT_FALSE(fs::exists(shared.Path() + "in.md_"));
}

} // namespace
} // namespace orvendal::testing
