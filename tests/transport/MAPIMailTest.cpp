// The Simple MAPI reader and the transport's Simple MAPI side over the folder-backed library
// (tests/fakes/mapi: one text file per message), loaded through the same run-time path as a
// real one.

#include "transport/MAPIMail.h"
#include "transport/TransportFixture.h"
#include "transport/VelMail.h"

namespace orvendal::testing {
namespace {

class MAPIMailStore : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORVENDAL_MAPI_LIBRARY", ORVENDAL_FAKE_MAPI_LIBRARY, 1);
        setenv("ORVENDAL_MAPI_INSTALLED", "1", 1);
        setenv("ORVENDAL_FAKE_MAPI_DIR", store.Path().c_str(), 1);
    }
    void Put(const std::string& id, const std::string& text) { WriteText(store.Path() + id, text); }
    bool Receive() {
        TMemoryStream settings =
            SettingsStream({"1=7", "2=dev", "4=" + work.Path(), "10=x", "11=MAPI"});
        mail.LoadSettings(settings);
        return mail.ReceiveData();
    }
    TTempFolder store, work;
    TVelMail mail;
};

// Visited from the last id: 3 is chosen first, 1 matches later and wins; the too-old 2 goes,
// an unparsable date counts as now.
TEST_F(MAPIMailStore, TransportTakesTheLastMatchInVisitOrder) {
    WriteText(work.Path() + "a.md_", Deflated("from one"));
    Put("1", "Subject: 50_7_dev a\nDate: 2024/01/01 10:00\nAttach: " + work.Path() + "a.md_\n\n");
    Put("2", "Subject: foreign old\nDate: 2001/01/01 10:00\n\n");
    Put("3", "Subject: 50_7_dev b\nDate: 2024/01/01 10:00\n\n");
    Put("4", "Subject: foreign undated\nDate: gestern\n\n");
    ASSERT_TRUE(Receive()) << mail.ErrorText;
    EXPECT_EQ(ReadText(work.Path() + "import.mdb"), "from one");
    EXPECT_EQ(std::distance(fs::directory_iterator(store.Path()), {}), 1);
    EXPECT_TRUE(fs::exists(store.Path() + "4"));
    EXPECT_FALSE(mail.MapiReader().LoggedOn);
}

// A download that fails (step 31) or data that does not inflate (step 2) keep the message.
TEST_F(MAPIMailStore, FailuresKeepTheMessage) {
    WriteText(work.Path() + "a.md_", "no zlib stream");
    Put("1", "Subject: 50_7_dev\nDate: 2024/01/01 10:00\nAttach: " + work.Path() + "a.md_\n\n");
    for (const char* error : {"31: MAPIReadMail: Code 2)", "2: "}) {
        if (*error == '3')
            setenv("ORVENDAL_FAKE_MAPI_FAIL_READ", "1", 1);
        EXPECT_FALSE(Receive());
        unsetenv("ORVENDAL_FAKE_MAPI_FAIL_READ");
        EXPECT_TRUE(mail.ErrorText.starts_with(
            std::string("Fehler bei E-Mail-Verarbeitung (Schritt ") + error))
            << mail.ErrorText;
        EXPECT_TRUE(fs::exists(store.Path() + "1"));
        EXPECT_FALSE(fs::exists(work.Path() + "import.mdb"));
    }
}

// Not installed ("1 " and "0" are not "1"), no library, no entry points: every call gives
// code 1. Loading happens once per process: each case runs in a fresh one.
TEST(MAPIMailMissing, EveryCallGivesCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (auto [installed, library] : {std::pair{"1 ", ORVENDAL_FAKE_MAPI_LIBRARY},
                                      {"0", ORVENDAL_FAKE_MAPI_LIBRARY},
                                      {"1", "/nonexistent/libmapi.so"},
                                      {"1", "libz.so.1"}})
        EXPECT_EXIT(
            {
                setenv("ORVENDAL_MAPI_INSTALLED", installed, 1);
                setenv("ORVENDAL_MAPI_LIBRARY", library, 1);
                TMAPIMail mapi;
                _exit(mapi.Logon() ? 9 : static_cast<int>(mapi.LastResult));
            },
            ::testing::ExitedWithCode(1), "")
            << installed << library;
}

} // namespace
} // namespace orvendal::testing
