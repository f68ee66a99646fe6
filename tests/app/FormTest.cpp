// TForm1 through the scripted view over real program folders of enciphered settings files, offline
// and online with a settings server (the loopback web server).

#include "AppFixture.h"

#include "tables/UserFkt.h"

namespace orvendal::testing {
namespace {

// n devices dev101.ini ... (written in reverse) with numbers and names "Gerät 101" ...: the
// radio group grows with them, then takes columns. The other files are no device's settings.
TEST(FormTest, RadioGroupGrowsWithTheDevicesThenTakesColumns) {
    const std::tuple<int, int, int> layouts[] = {{0, 0, 0},    {7, 230, 1},  {8, 260, 1},
                                                 {9, 260, 1},  {10, 260, 2}, {19, 260, 2},
                                                 {20, 260, 3}, {25, 260, 3}};
    for (const auto& [n, height, columns] : layouts) {
        SCOPED_TRACE(n);
        TTempFolder folder;
        WriteText(folder.File("kaputt.ini"), std::string(64, '\x5a'));
        WriteText(folder.File("klartext.ini"), "1=PPC-2\r\n2=Klartext\r\n7=2\r\n");
        WriteSettings(folder.File("ohne.ini"), {"1=PPC-3", "2=Ohne Nummer"});
        WriteDevice(folder.File("anders.txt"), "4", "Keine ini");
        fs::create_directory(folder.File("ordner.ini"));
        Lines names; // in name order
        for (int i = n; i >= 1; --i) {
            const std::string number = std::to_string(100 + i);
            WriteDevice(folder.File("dev" + number + ".ini"), number, "Gerät " + number);
            names.insert(names.begin(), "Gerät " + number);
        }
        TFormUnderTest t(folder);
        EXPECT_TRUE(t.Form.Offline);
        EXPECT_EQ(t.View.Text["Form"], "Orvendal für mobile Geräte - " + ComputerName());
        EXPECT_EQ(t.View.Items["RadioGroup1"], names);
        for (const char* c : {"RadioGroup1", "SpeedButton1", "SpeedButton2", "BitBtn1", "BitBtn2",
                              "BitBtn3", "BitBtn4"}) {
            EXPECT_EQ((c[0] == 'B' ? t.View.Enabled : t.View.Visible).at(c), n > 0) << c;
        }
        if (n > 0) {
            EXPECT_EQ(t.View.RadioLayout["RadioGroup1"], std::make_pair(height, columns));
            EXPECT_EQ(t.View.Index["RadioGroup1"], 0);
        }
        EXPECT_FALSE(t.View.Hourglass);
        EXPECT_TRUE(t.View.Boxes.empty());
    }
}

// The frame of every operation: buttons locked, hourglass, device settings, then unlocked, also
// after an error that nothing inside caught.
TEST(FormTest, OperationLocksLoadsTheSelectedDeviceAndUnlocks) {
    TTempFolder folder;
    WriteDevice(folder.File("a.ini"), "11", "A");
    WriteDevice(folder.File("b.ini"), "12", "B", {"8=http://transfer.example/"});
    TFormUnderTest t(folder);
    t.View.SetItemIndex("RadioGroup1", 1);
    t.View.Calls.clear();
    t.Form.RunOperation([&] {
        EXPECT_TRUE(t.Form.OperationPreamble()); // a Pocket PC: key "8" gave type "3"
        t.Form.ShowProgress("eins");
        t.Form.ShowInfo(t.Form.CurrentDevice);
        throw std::runtime_error("Datenträger voll");
    });
    EXPECT_EQ(t.View.Calls,
              (Lines{"SetEnabled(BitBtn1,0)", "SetEnabled(BitBtn2,0)", "SetEnabled(BitBtn3,0)",
                     "SetEnabled(BitBtn4,0)", "SetEnabled(CloseBtn,0)", "Hourglass",
                     "SetText(Label1,eins)", "Normal", "MessageBox(PPC-12)", "Hourglass", "Normal",
                     "MessageBox(Datenträger voll)", "Normal", "SetEnabled(CloseBtn,1)",
                     "SetEnabled(BitBtn4,1)", "SetEnabled(BitBtn3,1)", "SetEnabled(BitBtn2,1)",
                     "SetEnabled(BitBtn1,1)"}));
    EXPECT_EQ(t.View.Repaints, 1);
    t.Form.RunOperation([] { throw 42; });
    EXPECT_EQ(t.View.Boxes.back().Text, "Unbekannter Fehler");
    EXPECT_EQ(t.View.Boxes.back().Kind, TMsgKind::Error);
}

// Online, the list and the settings come from the server, and the proxy dialog asks it for the
// selected device; a device whose settings cannot be downloaded turns the program offline for
// good. The settings file's name and the pattern of the device addresses; a list that cannot be
// read is reported with its reason.
TEST(FormTest, OnlineDevicesAndSettingsComeFromTheServerUntilADownloadFails) {
    ASSERT_NE(Env("ORVENDAL_TEST_HTTP_URL"), "") << "run under tests/servers/with-servers.sh";
    TTempFolder program;
    std::unique_ptr<TFormUnderTest> t;
    auto start = [&](const std::string& list) -> TForm1& {
        WriteSettings(program.File("orvendal.ini"),
                      {"2=Leitstelle", "5=" + WebFile(list), "6=" + WebFile("geraet%d.ini")});
        t = std::make_unique<TFormUnderTest>(program);
        return t->Form;
    };
    const char* dir = "ORVENDAL_TEST_HTTP_DIR";
    WriteText(WebFile("devices.xml", dir),
              "<table><row><Id>PPC-201</Id><Name>Zentrale Nord</Name><Nr>201</Nr>"
              "<Typ>4</Typ></row><row><Id>PPC-202</Id><Name>Ohne Datei</Name>"
              "<Nr>202</Nr><Typ>1</Typ></row></table>");
    WriteDevice(WebFile("geraet201.ini", dir), "201", "Zentrale Nord",
                {"4=" + program.File("work/"), "17=proxy.nord", "18=3128"});
    TForm1& form = start("devices.xml");
    EXPECT_EQ(t->View.BoxTexts() + t->View.Text["Form"], "Orvendal für mobile Geräte - Leitstelle");
    EXPECT_EQ(t->View.Items["RadioGroup1"], (Lines{"Zentrale Nord", "Ohne Datei"}));
    EXPECT_EQ(std::pair(form.IsPocketPC(1), form.IsPocketPC(2)), std::pair(true, false)); // 4, 1
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
    EXPECT_EQ(TForm1::ProgramSettingsPath("/opt/my.app/orvendal.bin"), "/opt/my.app/orvendal.ini");
    EXPECT_EQ(TForm1::DeviceSettingsUrl("http://h/%s/%n/a%%b%d%d/ende%", 7),
              "http://h/%s/%n/a%b7%d/ende%"); // only the first %d, a lone % at the end kept
    WriteText(WebFile("kaputt.xml", dir), "<table><row>");
    const std::regex reason("Gerätedaten können nicht abgerufen werden! Fehlermeldung: .+\n");
    for (const char* list : {"fehlt.xml", "kaputt.xml"}) {
        EXPECT_FALSE(start(list).Offline);
        EXPECT_TRUE(std::regex_match(t->View.BoxTexts(), reason)) << t->View.BoxTexts();
        EXPECT_EQ(t->View.Boxes.at(0).Kind, TMsgKind::Error);
        EXPECT_FALSE(t->View.Enabled.at("BitBtn1"));
    }
}

} // namespace
} // namespace orvendal::testing
