// The mail transport without servers: settings keys and their defaults, subject matching,
// pattern formatting and the shared-folder file mode.

#include "transport/VelMail.h"
#include "tables/UserFkt.h"
#include "transport/MailFixture.h"

#include "protect/Ansi.h"

namespace orvendal::testing {
namespace {

TEST(VelMailSettings, MissingKeysGiveFileModeDefaults) {
    TMemoryStream settings = SettingsStream({"1=12", "2=abc"});
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_FALSE(mail.UseMail);
    EXPECT_EQ(mail.DeviceNumber, 12);
    EXPECT_EQ(mail.SendName, "0_12_abc");
    EXPECT_EQ(mail.ReceiveName, "50_12_abc");
    EXPECT_EQ(mail.MaxAgeDays, 28);
    EXPECT_TRUE(mail.DecryptSubjects);
    EXPECT_TRUE(mail.EncryptSubjects);
    EXPECT_FALSE(mail.UseMapi);
    EXPECT_FALSE(mail.UseImap);
    EXPECT_EQ(mail.WorkDir, TempPath());
    EXPECT_TRUE(mail.SmtpServer.Host.empty());
}

TEST(VelMailSettings, UndecipherableSettingsGiveDefaults) {
    TMemoryStream settings;
    settings.WriteString("1=12\r\n10=agent\r\n");
    settings.Rewind();
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_FALSE(mail.UseMail);
    EXPECT_EQ(mail.DeviceNumber, 0);
    EXPECT_EQ(mail.SendName, "0_0_");
}

struct TKeyCase {
    const char* name;
    std::vector<std::string> lines;
    bool useMapi, useImap;
    std::string incomingHost;
    uint16_t incomingPort;
    std::string smtpHost;
    uint16_t smtpPort;
};

class VelMailKeys : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(VelMailKeys, SelectReaderAndHosts) {
    const TKeyCase& c = GetParam();
    TMemoryStream settings = SettingsStream(c.lines);
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_EQ(mail.UseMapi, c.useMapi);
    EXPECT_EQ(mail.UseImap, c.useImap);
    EXPECT_EQ(mail.IncomingServer.Host, c.incomingHost);
    EXPECT_EQ(mail.IncomingServer.Port, c.incomingPort);
    EXPECT_EQ(mail.SmtpServer.Host, c.smtpHost);
    EXPECT_EQ(mail.SmtpServer.Port, c.smtpPort);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VelMailKeys,
    ::testing::Values(
        TKeyCase{"Pop3HostServesSmtp",
                 {"10=x", "11=mail.example"},
                 false,
                 false,
                 "mail.example",
                 110,
                 "mail.example",
                 25},
        TKeyCase{"HostWithPorts",
                 {"10=x", "11=h:2110", "14=s:2525"},
                 false,
                 false,
                 "h",
                 2110,
                 "s",
                 2525},
        TKeyCase{"DashSwitchesSmtpOff", {"10=x", "11=h", "14=-"}, false, false, "h", 110, "", 25},
        TKeyCase{"ImapHasNoSmtpFallback", {"10=x", "11=h", "22=1"}, false, true, "h", 143, "", 25},
        TKeyCase{
            "MapiWinsOverImap", {"10=x", "11=MAPI", "22=1", "12=p"}, true, true, "", 0, "", 25},
        TKeyCase{
            "LowerCaseMapiIsAHost", {"10=x", "11=mapi"}, false, false, "mapi", 110, "mapi", 25},
        TKeyCase{
            "BadPortStaysInHost", {"10=x", "11=h:abc"}, false, false, "h:abc", 110, "h:abc", 25}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VelMailSettings, MailModeMessageFields) {
    TMemoryStream settings = SettingsStream(
        {"10=Agent", "25=pc@example.org", "27=", "28=server@example.org", "29=Server", "30=Hallo",
         "33=bcc@example.org", "35=Chef <cc@example.org>; two@example.org", "31=send", "81=recv",
         "32=no", "82=no", "9=5", "4=/work/"});
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_TRUE(mail.UseMail);
    EXPECT_EQ(mail.MailAgent, "Agent");
    EXPECT_EQ(mail.Message.FromAddress, "pc@example.org");
    EXPECT_EQ(mail.Message.FromName, "pc@example.org");
    ASSERT_EQ(mail.Message.ReplyTo.size(), 1u);
    EXPECT_EQ(mail.Message.ReplyTo[0].Address, "pc@example.org");
    ASSERT_EQ(mail.Message.Recipients.size(), 1u);
    EXPECT_EQ(mail.Message.Recipients[0], (TMailAddress{"Server", "server@example.org"}));
    EXPECT_EQ(mail.Message.Body, "Hallo");
    ASSERT_EQ(mail.Message.BccList.size(), 1u);
    ASSERT_EQ(mail.Message.CCList.size(), 2u);
    EXPECT_EQ(mail.Message.CCList[0], (TMailAddress{"Chef", "cc@example.org"}));
    EXPECT_EQ(mail.SendName, "send");
    EXPECT_EQ(mail.ReceiveName, "recv");
    EXPECT_FALSE(mail.EncryptSubjects);
    EXPECT_FALSE(mail.DecryptSubjects);
    EXPECT_EQ(mail.MaxAgeDays, 5);
    EXPECT_EQ(mail.WorkDir, "/work/");
    auto age = std::chrono::system_clock::now() - mail.Message.Date;
    EXPECT_LT(std::chrono::abs(age), std::chrono::minutes(1));
}

TEST(VelMailPattern, ReplacesOnlyTheFirstPercentS) {
    EXPECT_EQ(FormatPattern("/x/out%s.md_", "17"), "/x/out17.md_");
    EXPECT_EQ(FormatPattern("/x/in%s-%s-%d%n", "a"), "/x/ina-%s-%d%n");
    EXPECT_EQ(FormatPattern("/x/plain", "a"), "/x/plain");
    EXPECT_EQ(FormatPattern("%s", "%s%n"), "%s%n");
}

TEST(VelMailSubject, PlainAndEnciphered) {
    TMemoryStream settings = SettingsStream({"1=12", "2=abc"});
    TVelMail mail;
    mail.LoadSettings(settings);
    std::string hex;
    EncryptTextToHex("50_12_abc", hex);
    EXPECT_TRUE(mail.SubjectMatches(hex));
    EXPECT_TRUE(mail.SubjectMatches("50_12_abc"));
    EXPECT_TRUE(mail.SubjectMatches("50_12_abc more"));
    EXPECT_FALSE(mail.SubjectMatches("x50_12_abc"));
    EXPECT_FALSE(mail.SubjectMatches("50_12_ABC"));
    EncryptTextToHex("0_12_abc", hex);
    EXPECT_FALSE(mail.SubjectMatches(hex));
    mail.DecryptSubjects = false;
    EncryptTextToHex("50_12_abc", hex);
    EXPECT_FALSE(mail.SubjectMatches(hex));
}

class VelMailFileMode : public ::testing::Test {
protected:
    void SetUp() override {
        TMemoryStream settings = SettingsStream({"1=7", "2=dev", "4=" + work.Path(), "14=x",
                                                 "28=" + shared.Path() + "out%s.md_",
                                                 "78=" + shared.Path() + "in%s.md_"});
        mail.LoadSettings(settings);
    }
    TTempFolder work, shared;
    TVelMail mail;
};

TEST_F(VelMailFileMode, SendWritesPackedFileWithTag) {
    WriteText(work.Path() + "export.mdb", "export data");
    ASSERT_TRUE(mail.SendData(false, "", "")) << mail.ErrorText;
    EXPECT_EQ(Inflated(ReadText(shared.Path() + "out.md_")), "export data");
    EXPECT_FALSE(fs::exists(work.Path() + "7data.md_")); // the data file is gone again
    WriteText(work.Path() + "MBlobexport.mdb", "photo");
    ASSERT_TRUE(mail.SendData(true, "", "42")) << mail.ErrorText;
    EXPECT_EQ(Inflated(ReadText(shared.Path() + "out42.md_")), "photo");
    EXPECT_FALSE(fs::exists(work.Path() + "MBlobexport.mdb")); // a photo send deletes it
}

TEST_F(VelMailFileMode, EmptySourceGivesEmptyFile) {
    WriteText(work.Path() + "export.mdb", "");
    ASSERT_TRUE(mail.SendData(false, "", ""));
    EXPECT_TRUE(fs::exists(shared.Path() + "out.md_"));
    EXPECT_EQ(fs::file_size(shared.Path() + "out.md_"), 0u);
}

TEST_F(VelMailFileMode, MissingSourceFailsWithStep10) {
    EXPECT_FALSE(mail.SendData(false, work.Path() + "none.mdb", ""));
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 10: "))
        << mail.ErrorText;
}

TEST_F(VelMailFileMode, ReceiveInflatesAndDeletes) {
    WriteText(shared.Path() + "in.md_", Deflated("import data"));
    ASSERT_TRUE(mail.ReceiveData()) << mail.ErrorText;
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "import data");
    EXPECT_FALSE(fs::exists(shared.Path() + "in.md_"));
}

TEST_F(VelMailFileMode, NothingThereWritesNothing) {
    EXPECT_TRUE(mail.ReceiveData());
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
}

TEST_F(VelMailFileMode, DamagedDataKeepsOldImportAndInput) {
    WriteText(work.Path() + "import.mdb", "old");
    std::string packed = Deflated("import data");
    WriteText(shared.Path() + "in.md_", packed.substr(0, packed.size() / 2));
    EXPECT_FALSE(mail.ReceiveData());
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 2: "))
        << mail.ErrorText;
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "old");
    EXPECT_TRUE(fs::exists(shared.Path() + "in.md_"));
    for (const auto& entry : fs::directory_iterator(work.Path()))
        EXPECT_EQ(entry.path().filename(), "import.mdb"); // no half-written file left
}

TEST(VelMailSend, DashInKey14SendsNothing) {
    TTempFolder work, shared;
    TMemoryStream settings =
        SettingsStream({"4=" + work.Path(), "14=-", "28=" + shared.Path() + "out%s"});
    TVelMail mail;
    mail.LoadSettings(settings);
    WriteText(work.Path() + "export.mdb", "data");
    EXPECT_TRUE(mail.SendData(false, "", ""));
    EXPECT_TRUE(fs::is_empty(shared.Path()));
    EXPECT_TRUE(fs::exists(work.Path() + "export.mdb"));
}

} // namespace
} // namespace orvendal::testing
