// Online mode: the program settings name a settings server (the loopback web server) that
// serves the device list and each device's enciphered settings file.

#include "AppFixture.h"

namespace orvendal::testing {
namespace {

class OnlineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (web.Url().empty()) {
            GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
        }
    }
    // The main window started over program settings that name list on the server.
    TForm1& Start(const std::string& list) {
        WriteSettings(program.File("orvendal.ini"),
                      {"2=Leitstelle", "5=" + web.Url(list), "6=" + web.Url("geraet%d.ini")});
        t = std::make_unique<TFormUnderTest>(program);
        t->Form.FormCreate();
        return t->Form;
    }
    TWebFiles web;
    TProgramFolder program;
    std::unique_ptr<TFormUnderTest> t;
};

// The list and the settings come from the server, and the proxy dialog asks it for the selected
// device; a device whose settings cannot be downloaded turns the program offline for good. A
// list that cannot be read is reported with its reason.
TEST_F(OnlineTest, DevicesAndSettingsComeFromTheServerUntilADownloadFails) {
    web.Put("devices.xml", "<table><row><Id>PPC-201</Id><Name>Zentrale Nord</Name><Nr>201</Nr>"
                           "<Typ>4</Typ></row><row><Id>PPC-202</Id><Name>Ohne Datei</Name>"
                           "<Nr>202</Nr><Typ>1</Typ></row></table>");
    WriteSettings(program.File("geraet.txt"),
                  DeviceLines("PPC-201", "Zentrale Nord", "201",
                              {"4=" + program.File("work/"), "17=proxy.nord", "18=3128"}));
    web.Put("geraet201.ini", ReadText(program.File("geraet.txt")));
    TForm1& form = Start("devices.xml");
    EXPECT_TRUE(t->View.Boxes.empty()) << t->View.BoxTexts();
    EXPECT_EQ(t->View.Text["Form"], "Orvendal für mobile Geräte - Leitstelle");
    EXPECT_EQ(t->View.Items["RadioGroup1"], (Lines{"Zentrale Nord", "Ohne Datei"}));
    EXPECT_TRUE(form.IsPocketPC(1));  // type 4
    EXPECT_FALSE(form.IsPocketPC(2)); // type 1
    form.BitBtn2Click(); // the current device text is an identity afterwards, not a number
    EXPECT_EQ(form.WorkDir, program.File("work/"));
    form.CurrentProxy.clear();
    form.SpeedButton2Click();
    EXPECT_EQ(form.CurrentProxy, "proxy.nord:3128");
    EXPECT_FALSE(form.Offline);

    t->View.SetItemIndex("RadioGroup1", 1);
    form.BitBtn1Click();
    EXPECT_TRUE(form.Offline);
    EXPECT_EQ(form.CurrentDevice, ""); // empty settings; the run stops on them
    t->View.SetItemIndex("RadioGroup1", 0);
    form.LoadDeviceSettings(201); // offline now: the table has no file names
    EXPECT_EQ(form.CurrentDevice, "");
    // a list that is missing or no XML: the reason is shown and nothing can be started
    web.Put("kaputt.xml", "<table><row>");
    for (const char* list : {"fehlt.xml", "kaputt.xml"}) {
        TForm1& failed = Start(list);
        ASSERT_EQ(t->View.Boxes.size(), 1u) << list;
        EXPECT_EQ(t->View.Boxes[0].Kind, TMsgKind::Error);
        const std::string prefix = "Gerätedaten können nicht abgerufen werden! Fehlermeldung: ";
        EXPECT_TRUE(t->View.Boxes[0].Text.starts_with(prefix)) << t->View.Boxes[0].Text;
        EXPECT_GT(t->View.Boxes[0].Text.size(), prefix.size()) << "the reason is missing";
        EXPECT_FALSE(failed.Offline);
        EXPECT_FALSE(t->View.Enabled.at("BitBtn1"));
    }
}

} // namespace
} // namespace orvendal::testing
