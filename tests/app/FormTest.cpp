// TForm1 through the scripted view over real program folders of enciphered settings files.

#include "AppFixture.h"

#include "tables/UserFkt.h"

#include <cstdio>
#include <filesystem>

namespace orvendal::testing {
namespace {

const char* const Locked[] = {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "CloseBtn"};

std::string Numbered(const char* format, int i) {
    char text[64];
    std::snprintf(text, sizeof text, format, i);
    return text;
}

// n devices dev01.ini ... (written in reverse) with numbers 101 ... and names "Gerät 01" ...
class FormLayoutTest : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(FormLayoutTest, RadioGroupGrowsWithTheDevicesThenTakesColumns) {
    const auto [n, height, columns] = GetParam();
    TProgramFolder folder;
    WriteFile(folder.Path() + "kaputt.ini", std::string(64, '\x5a')); // none of these is listed
    WriteFile(folder.Path() + "klartext.ini", "1=PPC-2\r\n2=Klartext\r\n7=2\r\n");
    WriteSettings(folder.Path() + "ohne.ini", {"1=PPC-3", "2=Ohne Nummer"});
    WriteSettings(folder.Path() + "anders.txt", DeviceLines("PPC-4", "Keine ini", "4"));
    std::filesystem::create_directory(folder.Path() + "ordner.ini");
    for (int i = n; i >= 1; --i) {
        WriteSettings(folder.Path() + Numbered("dev%02d.ini", i),
                      DeviceLines("ID", Numbered("Gerät %02d", i), std::to_string(100 + i)));
    }
    TFormUnderTest t(folder);
    t.Form.FormCreate();

    EXPECT_TRUE(t.Form.Offline);
    EXPECT_EQ(t.View.Text["Form"], "Orvendal für mobile Geräte - " + ComputerName());
    EXPECT_EQ(t.View.Text["Label2"],
              "Orvendal Version 1.0.0\nCopyright (C) 2026 Orvendal-Entwickler");
    const auto& items = t.View.Items["RadioGroup1"];
    ASSERT_EQ(int(items.size()), n);
    for (int i = 1; i <= n; ++i) { // in name order
        EXPECT_EQ(items[size_t(i - 1)], Numbered("Gerät %02d", i));
    }
    for (const char* c : {"RadioGroup1", "SpeedButton1", "SpeedButton2"}) {
        EXPECT_EQ(t.View.Visible.at(c), n > 0) << c;
    }
    for (const char* button : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"}) {
        EXPECT_EQ(t.View.Enabled.at(button), n > 0) << button;
    }
    if (n > 0) {
        EXPECT_EQ(t.View.RadioLayout["RadioGroup1"], std::make_pair(height, columns));
        EXPECT_EQ(t.View.Index["RadioGroup1"], 0);
    }
    EXPECT_FALSE(t.View.Hourglass);
    EXPECT_TRUE(t.View.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Devices, FormLayoutTest,
                         ::testing::Values(std::make_tuple(0, 0, 0), std::make_tuple(7, 230, 1),
                                           std::make_tuple(8, 260, 1), std::make_tuple(9, 260, 1),
                                           std::make_tuple(10, 260, 2),
                                           std::make_tuple(25, 260, 3)));

TEST(FormSettingsTest, DeviceSettingsFillTheStateAndMakeTheWorkingFolder) {
    TProgramFolder folder;
    const std::string work = folder.Path() + "daten/geraet 1/";
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "A", "41",
                                                       {"3=\\Storage Card\\", "4=" + work,
                                                        "8=http://transfer.example/x", "18=8080"}));
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    EXPECT_EQ(t.Form.CurrentDevice, ComputerName()); // no program settings: no site name
    t.Form.LoadDeviceSettings(41);
    EXPECT_EQ(t.Form.CurrentDevice + t.Form.DeviceFolder + t.Form.DeviceNumber,
              "PPC-A\\Storage Card\\41");
    EXPECT_EQ(t.Form.TransferUrl, "http://transfer.example/x");
    EXPECT_TRUE(t.Form.WebTransfer);
    EXPECT_EQ(t.Form.CurrentProxy, ""); // a port without a host is no proxy
    EXPECT_TRUE(std::filesystem::is_directory(work));
    EXPECT_GT(t.Form.SettingsStream.Size(), 0u); // the raw file, for the mail transport
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
    TTempFolder base;
    std::filesystem::create_directory(base.Path() + "orvendal.2");
    WriteSettings(base.Path() + "orvendal.2/orvendal.ini", {"2=Zentrale Süd"});
    TScriptedView view;
    TForm1 form(view, base.Path() + "orvendal.2/orvendal");
    form.FormCreate();
    EXPECT_FALSE(form.Offline);
    EXPECT_EQ(view.Text["Form"], "Orvendal für mobile Geräte - Zentrale Süd");
}

// The frame of every operation: buttons locked, hourglass, device settings, then unlocked, also
// after an error that nothing inside caught.
TEST(FormOperationFrameTest, OperationLocksLoadsTheSelectedDeviceAndUnlocks) {
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "A", "11"));
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
    const std::vector<std::string> expected = {"SetEnabled(BitBtn1,0)",
                                               "SetEnabled(BitBtn2,0)",
                                               "SetEnabled(BitBtn3,0)",
                                               "SetEnabled(BitBtn4,0)",
                                               "SetEnabled(CloseBtn,0)",
                                               "Hourglass",
                                               "SetText(Label1,eins)",
                                               "Normal",
                                               "MessageBox(PPC-B)",
                                               "Hourglass",
                                               "Normal",
                                               "MessageBox(Datenträger voll)",
                                               "Normal",
                                               "SetEnabled(CloseBtn,1)",
                                               "SetEnabled(BitBtn4,1)",
                                               "SetEnabled(BitBtn3,1)",
                                               "SetEnabled(BitBtn2,1)",
                                               "SetEnabled(BitBtn1,1)"};
    EXPECT_EQ(t.View.Calls, expected);
    EXPECT_TRUE(pocketPC); // key "8" gave type "3"
    EXPECT_EQ(t.View.Repaints, 1);
    t.Form.RunOperation([] { throw 42; });
    EXPECT_EQ(t.View.Boxes.back().Text, "Unbekannter Fehler");
    EXPECT_EQ(t.View.Boxes.back().Kind, TMsgKind::Error);
}

TEST(FormOperationFrameTest, EveryOperationButtonUnlocksTheWindowAtItsEnd) {
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "A", "11", {"4=" + folder.Path() + "work/"}));
    for (auto click : {&TForm1::BitBtn1Click, &TForm1::BitBtn2Click, &TForm1::BitBtn3Click,
                       &TForm1::BitBtn4Click, &TForm1::SpeedButton1Click}) {
        TFormUnderTest t(folder);
        t.Form.FormCreate();
        (t.Form.*click)();
        EXPECT_FALSE(t.View.Hourglass);
        for (const char* button : Locked) {
            EXPECT_TRUE(t.View.Enabled.at(button)) << button;
        }
        EXPECT_EQ(t.Form.CurrentDevice, "PPC-A");
    }
}

} // namespace
} // namespace orvendal::testing
