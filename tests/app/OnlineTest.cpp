// Online mode: the program settings name a settings server (a real HTTP server on loopback)
// that serves the device list and each device's enciphered settings file.

#include "AppFixture.h"
#include "transport/MailFixture.h"

#include <memory>

namespace orvendal::testing {
namespace {

class OnlineTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteText(
            site.File("devices.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<table>\r\n"
            "<row><Id>PPC-201</Id><Name>Zentrale Nord</Name><Nr>201</Nr><Typ>4</Typ></row>\r\n"
            "<row><Id>PPC-202</Id><Name>Zentrale Sued</Name><Nr>202</Nr><Typ>1</Typ></row>\r\n"
            "<row><Id>PPC-203</Id><Name>Ohne Datei</Name><Nr>203</Nr><Typ>5</Typ></row>\r\n"
            "</table>\r\n");
        WriteText(site.File("kaputt.xml"), "<table><row>");
        WriteSettings(site.File("geraet201.ini"), DeviceLines("PPC-201", "Zentrale Nord", "201",
                                                              {"4=" + program.Path() + "work/201/",
                                                               "17=proxy.nord", "18=3128"}));
        WriteSettings(site.File("geraet202.ini"), DeviceLines("PPC-202", "Zentrale Sued", "202"));
        ASSERT_TRUE(server.Running()) << "python3 http.server did not answer on loopback";
    }

    // The main window started over the program settings that name list on the server.
    TFormUnderTest& Start(const std::string& list) {
        WriteSettings(program.SettingsFile(), {"2=Leitstelle", "5=" + server.Url() + list,
                                               "6=" + server.Url() + "geraet%d.ini"});
        form = std::make_unique<TFormUnderTest>(program);
        form->Form.FormCreate();
        return *form;
    }

    TTempFolder site;
    TProgramFolder program;
    THttpServer server{site.Path()};
    std::unique_ptr<TFormUnderTest> form;
};

TEST_F(OnlineTest, DeviceListAndSettingsComeFromTheServer) {
    TFormUnderTest& t = Start("devices.xml");
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
    EXPECT_EQ(t.View.Text["Form"], "Orvendal für mobile Geräte - Leitstelle");
    EXPECT_EQ(t.View.Items["RadioGroup1"], (Lines{"Zentrale Nord", "Zentrale Sued", "Ohne Datei"}));
    EXPECT_EQ(t.View.RadioLayout["RadioGroup1"], std::make_pair(110, 1));
    EXPECT_TRUE(t.Form.IsPocketPC(1));  // type 4
    EXPECT_FALSE(t.Form.IsPocketPC(2)); // type 1

    t.View.SetItemIndex("RadioGroup1", 0);
    EXPECT_TRUE(t.Form.OperationPreamble());
    t.Form.OperationEpilogue();
    EXPECT_EQ(t.Form.CurrentDevice, "PPC-201");
    EXPECT_EQ(t.Form.WorkDir, program.Path() + "work/201/");
    EXPECT_EQ(t.Form.CurrentProxy, "proxy.nord:3128");
    EXPECT_FALSE(t.Form.Offline);
}

TEST_F(OnlineTest, AFailedSettingsDownloadSwitchesToOfflineForGood) {
    TFormUnderTest& t = Start("devices.xml");
    t.View.SetItemIndex("RadioGroup1", 2); // 203 has no file on the server
    t.Form.BitBtn1Click();
    EXPECT_TRUE(t.Form.Offline);
    EXPECT_EQ(t.Form.CurrentDevice, ""); // empty settings; the run stops on them
    EXPECT_TRUE(t.View.Enabled.at("BitBtn1"));
    t.Form.LoadDeviceSettings(202); // offline now: the table has no file names
    EXPECT_EQ(t.Form.CurrentDevice, "");
}

TEST_F(OnlineTest, ProxyDialogAsksForTheSelectedDeviceAndStaysOnline) {
    TFormUnderTest& t = Start("devices.xml");
    t.Form.BitBtn2Click(); // the current device text is now an identity, not a number
    ASSERT_EQ(t.Form.CurrentDevice, "PPC-201");
    t.Form.CurrentProxy.clear();
    t.Form.SpeedButton2Click();
    EXPECT_FALSE(t.Form.Offline);
    EXPECT_EQ(t.Form.CurrentProxy, "proxy.nord:3128");
}

// A list that is missing or no XML: the reason is shown and nothing can be started.
TEST_F(OnlineTest, AFailedListIsReportedWithItsReason) {
    for (const char* list : {"fehlt.xml", "kaputt.xml"}) {
        TFormUnderTest& t = Start(list);
        ASSERT_EQ(t.View.Boxes.size(), 1u) << list;
        EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Error);
        const std::string prefix = "Gerätedaten können nicht abgerufen werden! Fehlermeldung: ";
        EXPECT_TRUE(t.View.Boxes[0].Text.starts_with(prefix)) << t.View.Boxes[0].Text;
        EXPECT_GT(t.View.Boxes[0].Text.size(), prefix.size()) << "the reason is missing";
        EXPECT_FALSE(t.Form.Offline);
        EXPECT_FALSE(t.View.Visible.at("RadioGroup1"));
        EXPECT_FALSE(t.View.Enabled.at("BitBtn1"));
    }
}

} // namespace
} // namespace orvendal::testing
