// The Simple MAPI reader and the transport's Simple MAPI side over the folder-backed library
// (tests/fakes/mapi), loaded through the same run-time path as a real one.

#include "transport/MAPIMail.h"
#include "transport/MailFixture.h"
#include "transport/VelMail.h"

#include <unistd.h>

namespace orvendal::testing {
namespace {

class MAPIMailStore : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORVENDAL_MAPI_LIBRARY", ORVENDAL_FAKE_MAPI_LIBRARY, 1);
        setenv("ORVENDAL_MAPI_INSTALLED", "1", 1);
        setenv("ORVENDAL_FAKE_MAPI_DIR", store.Path().c_str(), 1);
        unsetenv("ORVENDAL_FAKE_MAPI_FAIL_READ");
    }
    void Put(const std::string& id, const std::string& text) { WriteText(store.Path() + id, text); }
    TTempFolder store, files;
};

TEST_F(MAPIMailStore, ConvertsEnvelopeAndRemovesSmtpPrefix) {
    Put("01", "Subject: Hallo\nDate: 2024/03/05 14:07\nFrom: Server|SMTP:srv@example.org\n"
              "To: A|SMTP:a@example.org\nCc: B|smtp:b@example.org\nBcc: C|c@example.org\n\nnote\n");
    TMAPIMail mapi;
    ASSERT_TRUE(mapi.Logon());
    ASSERT_EQ(mapi.FindMessages(10, true), 1);
    TMailMessage message;
    ASSERT_TRUE(mapi.ReadMessage(1, message)) << mapi.LastResult;
    EXPECT_EQ(message.Subject, "Hallo");
    EXPECT_EQ(message.FromName, "Server");
    EXPECT_EQ(message.FromAddress, "srv@example.org");
    EXPECT_EQ(message.Recipients, (TMailAddressList{{"A", "a@example.org"}}));
    EXPECT_EQ(message.CCList, (TMailAddressList{{"B", "smtp:b@example.org"}}));
    EXPECT_EQ(message.BccList, (TMailAddressList{{"C", "c@example.org"}}));
    EXPECT_EQ(message.Body, "note\n");
    EXPECT_EQ(std::chrono::system_clock::to_time_t(message.Date), 1709647620);
    EXPECT_TRUE(mapi.Logoff());
    EXPECT_TRUE(mapi.MessageIds.empty());
    EXPECT_FALSE(mapi.ReadHeader(1, message)); // not logged on
}

TEST(MAPIMailDate, ParsesOrGivesNow) {
    struct {
        const char* text;
        bool parses;
    } cases[] = {{"2024/03/05 14:07", true},
                 {"2024-03-05 14:07", false},
                 {"2024/13/05 14:07", false},
                 {"", false},
                 {"2024/03/05 14:07x", false}};
    for (const auto& c : cases) {
        auto age = std::chrono::system_clock::now() - ParseMapiDate(c.text);
        EXPECT_EQ(age > std::chrono::hours(24), c.parses) << c.text;
    }
    EXPECT_EQ(RemoveSmtpPrefix("SMTP:x@y"), "x@y");
    EXPECT_EQ(RemoveSmtpPrefix("Smtp:x@y"), "Smtp:x@y");
    EXPECT_EQ(RemoveSmtpPrefix("SMTP"), "SMTP");
}

TEST_F(MAPIMailStore, DeletionRenumbersAndFindStopsAtMaximum) {
    for (const char* id : {"1", "2", "3", "4", "5"})
        Put(id, std::string("Subject: m") + id + "\n\n");
    TMAPIMail mapi;
    ASSERT_TRUE(mapi.Logon());
    EXPECT_EQ(mapi.FindMessages(3, true), 3);
    EXPECT_EQ(mapi.FindMessages(0, true), 5);
    ASSERT_TRUE(mapi.DeleteMessage(3));
    EXPECT_EQ(mapi.FindMessages(0, false), 4);
    TMailMessage message;
    ASSERT_TRUE(mapi.ReadHeader(3, message));
    EXPECT_EQ(message.Subject, "m4");
    ASSERT_TRUE(mapi.ReadHeader(4, message));
    EXPECT_EQ(message.Subject, "m5");
    EXPECT_FALSE(mapi.ReadHeader(5, message));
    EXPECT_FALSE(fs::exists(store.Path() + "3"));
}

TEST_F(MAPIMailStore, TransportTakesLastIdFirstAndDeletesTheRest) {
    WriteText(files.Path() + "a.md_", Deflated("from one"));
    WriteText(files.Path() + "b.md_", Deflated("from three"));
    Put("1", "Subject: 50_7_dev a\nDate: 2024/01/01 10:00\n"
             "Attach: " +
                 files.Path() + "a.md_\n\n");
    Put("2", "Subject: foreign old\nDate: 2001/01/01 10:00\n\n");
    Put("3", "Subject: 50_7_dev b\nDate: 2024/01/01 10:00\nAttach: " + files.Path() + "b.md_\n\n");
    Put("4", "Subject: foreign undated\nDate: gestern\n\n");
    TTempFolder work;
    TMemoryStream settings = SettingsStream(
        {"1=7", "2=dev", "4=" + work.Path(), "10=x", "11=MAPI", "12=profile", "13=pw"});
    TVelMail mail;
    mail.LoadSettings(settings);
    ASSERT_TRUE(mail.UseMapi);
    ASSERT_TRUE(mail.ReceiveData()) << mail.ErrorText;
    // Visited from the last id: 3 is chosen first, 1 matches later and wins.
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "from one");
    EXPECT_FALSE(fs::exists(store.Path() + "1"));
    EXPECT_FALSE(fs::exists(store.Path() + "2"));
    EXPECT_FALSE(fs::exists(store.Path() + "3"));
    EXPECT_TRUE(fs::exists(store.Path() + "4")); // an unparsable date makes it current
    EXPECT_FALSE(mail.MapiReader().LoggedOn);
}

TEST_F(MAPIMailStore, FailedDownloadGivesStep31AndKeepsTheMessage) {
    Put("1", "Subject: 50_7_dev\nDate: 2024/01/01 10:00\n\n");
    setenv("ORVENDAL_FAKE_MAPI_FAIL_READ", "1", 1);
    TTempFolder work;
    TMemoryStream settings =
        SettingsStream({"1=7", "2=dev", "4=" + work.Path(), "10=x", "11=MAPI"});
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_FALSE(mail.ReceiveData());
    EXPECT_EQ(mail.ErrorText, "Fehler bei E-Mail-Verarbeitung (Schritt 31: MAPIReadMail: Code 2)");
    EXPECT_TRUE(fs::exists(store.Path() + "1"));
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
}

TEST_F(MAPIMailStore, DataThatDoesNotInflateStaysInTheStore) {
    WriteText(files.Path() + "a.md_", "no zlib stream");
    Put("1", "Subject: 50_7_dev\nDate: 2024/01/01 10:00\nAttach: " + files.Path() + "a.md_\n\n");
    TTempFolder work;
    TMemoryStream settings =
        SettingsStream({"1=7", "2=dev", "4=" + work.Path(), "10=x", "11=MAPI"});
    TVelMail mail;
    mail.LoadSettings(settings);
    EXPECT_FALSE(mail.ReceiveData());
    EXPECT_TRUE(mail.ErrorText.starts_with("Fehler bei E-Mail-Verarbeitung (Schritt 2: "))
        << mail.ErrorText;
    EXPECT_TRUE(fs::exists(store.Path() + "1"));
    EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
}

// Loading happens once per process: each case runs in a fresh one.
struct TMissingCase {
    const char* name;
    const char* installed;
    const char* library;
};

class MAPIMailMissing : public ::testing::TestWithParam<TMissingCase> {};

TEST_P(MAPIMailMissing, EveryCallGivesCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TMissingCase& c = GetParam();
    EXPECT_EXIT(
        {
            setenv("ORVENDAL_MAPI_INSTALLED", c.installed, 1);
            setenv("ORVENDAL_MAPI_LIBRARY", c.library, 1);
            TMAPIMail mapi;
            bool logon = mapi.Logon();
            _exit(logon ? 9 : static_cast<int>(mapi.LastResult));
        },
        ::testing::ExitedWithCode(1), "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, MAPIMailMissing,
    ::testing::Values(TMissingCase{"TrailingBlank", "1 ", ORVENDAL_FAKE_MAPI_LIBRARY},
                      TMissingCase{"Zero", "0", ORVENDAL_FAKE_MAPI_LIBRARY},
                      TMissingCase{"NoLibrary", "1", "/nonexistent/libmapi.so"},
                      TMissingCase{"NoEntryPoints", "1", "libz.so.1"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orvendal::testing
