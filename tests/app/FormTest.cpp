// TForm1 through the scripted view over real program folders of enciphered settings files.

#include "AppFixture.h"

#include "tables/UserFkt.h"

#include <filesystem>

namespace orvendal::testing {
namespace {

// n devices dev101.ini ... (written in reverse) with numbers and names "Gerät 101" ...: the
// radio group grows with them, then takes columns.
TEST(FormLayoutTest, RadioGroupGrowsWithTheDevicesThenTakesColumns) {
    const std::tuple<int, int, int> layouts[] = {{0, 0, 0},   {7, 230, 1},  {8, 260, 1},
                                                 {9, 260, 1}, {10, 260, 2}, {25, 260, 3}};
    for (const auto& [n, height, columns] : layouts) {
        SCOPED_TRACE(n);
        TProgramFolder folder;
        WriteText(folder.Path() + "kaputt.ini", std::string(64, '\x5a')); // none of these is listed
        WriteText(folder.Path() + "klartext.ini", "1=PPC-2\r\n2=Klartext\r\n7=2\r\n");
        WriteSettings(folder.Path() + "ohne.ini", {"1=PPC-3", "2=Ohne Nummer"});
        WriteSettings(folder.Path() + "anders.txt", DeviceLines("PPC-4", "Keine ini", "4"));
        std::filesystem::create_directory(folder.Path() + "ordner.ini");
        Lines names; // in name order
        for (int i = n; i >= 1; --i) {
            const std::string number = std::to_string(100 + i);
            WriteSettings(folder.Path() + "dev" + number + ".ini",
                          DeviceLines("ID", "Gerät " + number, number));
            names.insert(names.begin(), "Gerät " + number);
        }
        TFormUnderTest t(folder);
        t.Form.FormCreate();

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

TEST(FormSettingsTest, ProgramSettingsPathAndDeviceAddressPattern) {
    EXPECT_EQ(TForm1::ProgramSettingsPath("/opt/my.app/orvendal.bin"), "/opt/my.app/orvendal.ini");
    for (const auto& [pattern, url] : std::vector<std::pair<std::string, std::string>>{
             {"http://h/geraet%d.ini", "http://h/geraet7.ini"},
             {"http://h/%s/%n/%d", "http://h/%s/%n/7"},
             {"a%%b%d%d", "a%b7%d"},
             {"ende%", "ende%"}}) {
        EXPECT_EQ(TForm1::DeviceSettingsUrl(pattern, 7), url);
    }
}

// The frame of every operation: buttons locked, hourglass, device settings, then unlocked, also
// after an error that nothing inside caught; every operation button goes through it.
TEST(FormOperationFrameTest, OperationLocksLoadsTheSelectedDeviceAndUnlocks) {
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "A", "11", {"4=" + folder.Path() + "work/"}));
    WriteSettings(folder.Path() + "b.ini",
                  DeviceLines("PPC-B", "B", "12", {"8=http://transfer.example/"}));
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    t.View.SetItemIndex("RadioGroup1", 1);
    t.View.Calls.clear();
    bool pocketPC = false;
    t.Form.RunOperation([&] {
        pocketPC = t.Form.OperationPreamble();
        t.Form.ShowProgress("eins");
        t.Form.ShowInfo(t.Form.CurrentDevice);
        throw std::runtime_error("Datenträger voll");
    });
    EXPECT_EQ(t.View.Calls,
              (Lines{"SetEnabled(BitBtn1,0)", "SetEnabled(BitBtn2,0)", "SetEnabled(BitBtn3,0)",
                     "SetEnabled(BitBtn4,0)", "SetEnabled(CloseBtn,0)", "Hourglass",
                     "SetText(Label1,eins)", "Normal", "MessageBox(PPC-B)", "Hourglass", "Normal",
                     "MessageBox(Datenträger voll)", "Normal", "SetEnabled(CloseBtn,1)",
                     "SetEnabled(BitBtn4,1)", "SetEnabled(BitBtn3,1)", "SetEnabled(BitBtn2,1)",
                     "SetEnabled(BitBtn1,1)"}));
    EXPECT_TRUE(pocketPC); // key "8" gave type "3"
    EXPECT_EQ(t.View.Repaints, 1);
    t.Form.RunOperation([] { throw 42; });
    EXPECT_EQ(t.View.Boxes.back().Text, "Unbekannter Fehler");
    EXPECT_EQ(t.View.Boxes.back().Kind, TMsgKind::Error);
    for (auto click : {&TForm1::BitBtn1Click, &TForm1::BitBtn2Click, &TForm1::BitBtn3Click,
                       &TForm1::BitBtn4Click, &TForm1::SpeedButton1Click}) {
        TFormUnderTest u(folder);
        u.Form.FormCreate();
        (u.Form.*click)();
        EXPECT_FALSE(u.View.Hourglass);
        for (const char* button : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "CloseBtn"}) {
            EXPECT_TRUE(u.View.Enabled.at(button)) << button;
        }
        EXPECT_EQ(u.Form.CurrentDevice, "PPC-A");
    }
}

} // namespace
} // namespace orvendal::testing
