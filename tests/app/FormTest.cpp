// TForm1 over real program folders of enciphered settings files, offline and against a
// loopback settings server.

#include "AppFixture.h"

#include "tables/UserFkt.h"

#include <cstdio>
#include <filesystem>

namespace orvendal::testing {
namespace {

const std::vector<std::string> OperationButtons = {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"};

std::string Numbered(const char* format, int i) {
    char text[64];
    std::snprintf(text, sizeof text, format, i);
    return text;
}

// n devices dev01.ini ... with numbers 101 ... and names "Gerät 01" ...
void WriteDevices(const TProgramFolder& folder, int n) {
    for (int i = 1; i <= n; ++i) {
        WriteSettings(folder.Path() + Numbered("dev%02d.ini", i),
                      DeviceLines(Numbered("ID-%02d", i), Numbered("Gerät %02d", i),
                                  std::to_string(100 + i)));
    }
}

TEST(FormStartTest, WithoutSettingsAndDevicesTheWindowOffersNothing) {
    TProgramFolder folder;
    TFormUnderTest t(folder);
    t.Form.FormCreate();

    EXPECT_TRUE(t.Form.Offline);
    EXPECT_EQ(t.View.Text["Form"], "Orvendal für mobile Geräte - " + ComputerName());
    EXPECT_EQ(t.View.Text["Label1"], "");
    EXPECT_EQ(t.View.Text["Label2"],
              "Orvendal Version 1.0.0\nCopyright (C) 2026 Orvendal-Entwickler");
    for (const std::string& button : OperationButtons) {
        EXPECT_FALSE(t.View.Enabled.at(button)) << button;
    }
    EXPECT_FALSE(t.View.Visible.at("SpeedButton1"));
    EXPECT_FALSE(t.View.Visible.at("SpeedButton2"));
    EXPECT_FALSE(t.View.Visible.at("RadioGroup1"));
    EXPECT_TRUE(t.View.Items["RadioGroup1"].empty());
    EXPECT_EQ(t.Form.Http.UserAgent, "_WebTransfer");
    EXPECT_FALSE(t.View.Hourglass);
    EXPECT_TRUE(t.View.Boxes.empty());
}

struct LayoutCase {
    int Devices, Height, Columns;
};

class FormLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FormLayoutTest, RadioGroupGrowsWithTheDevicesThenTakesColumns) {
    const LayoutCase c = GetParam();
    TProgramFolder folder;
    WriteDevices(folder, c.Devices);
    TFormUnderTest t(folder);
    t.Form.FormCreate();

    EXPECT_EQ(t.View.RadioLayout["RadioGroup1"], std::make_pair(c.Height, c.Columns));
    const auto& items = t.View.Items["RadioGroup1"];
    ASSERT_EQ(static_cast<int>(items.size()), c.Devices);
    for (int i = 1; i <= c.Devices; ++i) { // by file name: dev01.ini, dev02.ini, ...
        EXPECT_EQ(items[i - 1], Numbered("Gerät %02d", i));
        EXPECT_EQ(t.Form.DeviceField(i, 3), std::to_string(100 + i));
    }
    EXPECT_EQ(t.View.Index["RadioGroup1"], 0);
    EXPECT_TRUE(t.View.Visible.at("RadioGroup1"));
    for (const std::string& button : OperationButtons) {
        EXPECT_TRUE(t.View.Enabled.at(button)) << button;
    }
    EXPECT_TRUE(t.View.Visible.at("SpeedButton1"));
    EXPECT_TRUE(t.View.Visible.at("SpeedButton2"));
    EXPECT_FALSE(t.View.Hourglass);
}

INSTANTIATE_TEST_SUITE_P(Devices, FormLayoutTest,
                         ::testing::Values(LayoutCase{1, 50, 1}, LayoutCase{7, 230, 1},
                                           LayoutCase{8, 260, 1}, LayoutCase{25, 260, 3}),
                         [](const auto& info) { return std::to_string(info.param.Devices); });

TEST(FormDeviceTableTest, RowsCarryIdentityNameNumberTypeAndFile) {
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "Außendienst A", "7", {"8=http://transfer.example/"}));
    WriteSettings(folder.Path() + "b.ini", DeviceLines("PPC-B", "Außendienst B", "8"));
    TFormUnderTest t(folder);
    t.Form.FormCreate();

    ASSERT_EQ(t.Form.DeviceTable->RowCount(), 2);
    const std::vector<std::vector<std::string>> expected = {
        {"PPC-A", "Außendienst A", "7", "3", "a.ini"},
        {"PPC-B", "Außendienst B", "8", "", "b.ini"}};
    for (int row = 1; row <= 2; ++row) {
        for (int field = 1; field <= 5; ++field) {
            EXPECT_EQ(t.Form.DeviceField(row, field), expected[row - 1][field - 1])
                << "row " << row << " field " << field;
        }
    }
    EXPECT_TRUE(t.Form.IsPocketPC(1));  // key "8" makes type "3"
    EXPECT_FALSE(t.Form.IsPocketPC(2)); // no type
    EXPECT_EQ(t.Form.FindDevice("8"), 2);
    EXPECT_EQ(t.Form.FindDevice("9"), 0);
}

TEST(FormDeviceTableTest, FilesThatDoNotDecipherOrLackANumberAreNotListed) {
    TProgramFolder folder;
    WriteSettings(folder.Path() + "gut.ini", DeviceLines("PPC-1", "Gut", "1"));
    WriteFile(folder.Path() + "kaputt.ini", std::string(64, '\x5a'));
    WriteFile(folder.Path() + "klartext.ini", "1=PPC-2\r\n2=Klartext\r\n7=2\r\n");
    WriteSettings(folder.Path() + "ohne.ini", {"1=PPC-3", "2=Ohne Nummer"});
    WriteSettings(folder.Path() + "anders.txt", DeviceLines("PPC-4", "Keine ini", "4"));
    std::filesystem::create_directory(folder.Path() + "ordner.ini");
    TFormUnderTest t(folder);
    t.Form.FormCreate();

    EXPECT_EQ(t.View.Items["RadioGroup1"], std::vector<std::string>{"Gut"});
}

TEST(FormSettingsTest, DeviceSettingsFillTheStateAndMakeTheWorkingFolder) {
    TProgramFolder folder;
    const std::string work = folder.Path() + "daten/geraet 1/";
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "A", "41",
                              {"3=\\Storage Card\\", "4=" + work, "8=http://transfer.example/x"}));
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    EXPECT_EQ(t.Form.CurrentDevice, ComputerName()); // no program settings: no site name

    t.Form.LoadDeviceSettings(41);
    EXPECT_EQ(t.Form.CurrentDevice, "PPC-A");
    EXPECT_EQ(t.Form.DeviceFolder, "\\Storage Card\\");
    EXPECT_EQ(t.Form.WorkDir, work);
    EXPECT_EQ(t.Form.DeviceNumber, "41");
    EXPECT_EQ(t.Form.TransferUrl, "http://transfer.example/x");
    EXPECT_TRUE(t.Form.WebTransfer);
    EXPECT_TRUE(std::filesystem::is_directory(work));
    EXPECT_GT(t.Form.SettingsStream.Size(), 0u); // the raw file, for the mail transport
}

struct ProxyCase {
    const char* Name;
    std::vector<std::string> Keys;
    std::deque<std::string> Typed; // answers of the proxy dialog
    std::string Preset, Proxy;
};

class FormProxyTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(FormProxyTest, ProxyComesFromTheDeviceUnlessTyped) {
    const ProxyCase& c = GetParam();
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "A", "3", c.Keys));
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    EXPECT_EQ(t.Form.CurrentProxy, "");
    t.View.Inputs = c.Typed;

    t.Form.SpeedButton2Click();
    ASSERT_FALSE(t.View.Calls.empty());
    EXPECT_EQ(t.View.Calls.back(), "InputBox(Proxy für HTTP-Verbindung,Proxy-Server und Port "
                                   "(z.B. MyServer:80)," +
                                       c.Preset + ")");
    EXPECT_EQ(t.Form.CurrentProxy, c.Proxy);
    t.Form.BitBtn1Click(); // loading the settings again keeps what is there
    EXPECT_EQ(t.Form.CurrentProxy, c.Proxy);
}

INSTANTIATE_TEST_SUITE_P(Keys, FormProxyTest,
                         ::testing::Values(ProxyCase{"HostAndPort",
                                                     {"17=proxy.intern", "18=8080"},
                                                     {},
                                                     "proxy.intern:8080",
                                                     "proxy.intern:8080"},
                                           ProxyCase{"PortWithoutHost", {"18=8080"}, {}, "", ""},
                                           ProxyCase{"NoKeys", {}, {}, "", ""},
                                           ProxyCase{"TypedWins",
                                                     {"17=proxy.intern", "18=8080"},
                                                     {"anderer:3128"},
                                                     "proxy.intern:8080",
                                                     "anderer:3128"},
                                           ProxyCase{"TypedDashMeansNone",
                                                     {"17=proxy.intern", "18=8080"},
                                                     {"-"},
                                                     "proxy.intern:8080",
                                                     "-"}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct PathCase {
    const char* Program;
    const char* Settings;
};

TEST(FormSettingsTest, ProgramSettingsPathReplacesOnlyTheFileExtension) {
    const std::vector<PathCase> cases = {
        {"/opt/orvendal/orvendal", "/opt/orvendal/orvendal.ini"},
        {"/opt/orvendal.2/orvendal", "/opt/orvendal.2/orvendal.ini"},
        {"/opt/my.app/orvendal.bin", "/opt/my.app/orvendal.ini"},
        {"/usr/bin/orvendal-cli", "/usr/bin/orvendal-cli.ini"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(TForm1::ProgramSettingsPath(c.Program), c.Settings) << c.Program;
    }
}

TEST(FormSettingsTest, DeviceAddressPatternTakesTheNumberOnce) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"http://h/geraet%d.ini", 7, "http://h/geraet7.ini"},
        {"http://h/%s/%n/%d", 5, "http://h/%s/%n/5"},
        {"a%%b%d%d", 3, "a%b3%d"},
        {"http://h/ohne", 3, "http://h/ohne"},
        {"ende%", 1, "ende%"},
    };
    for (const auto& [pattern, number, url] : cases) {
        EXPECT_EQ(TForm1::DeviceSettingsUrl(pattern, number), url) << pattern;
    }
}

TEST(FormSettingsTest, ADotInTheFolderNameStillFindsTheProgramSettings) {
    TTempFolder base;
    std::filesystem::create_directory(base.Path() + "orvendal.2");
    const std::string program = base.Path() + "orvendal.2/orvendal";
    WriteSettings(base.Path() + "orvendal.2/orvendal.ini", {"2=Zentrale Süd"});
    TScriptedView view;
    TForm1 form(view, program);
    form.FormCreate();

    EXPECT_FALSE(form.Offline);
    EXPECT_EQ(view.Text["Form"], "Orvendal für mobile Geräte - Zentrale Süd");
    EXPECT_EQ(form.ProgramFolder, base.Path() + "orvendal.2/");
}

// The frame of every operation: buttons locked, hourglass, device settings, then unlocked.
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
    std::string device;
    t.Form.RunOperation([&] {
        pocketPC = t.Form.OperationPreamble();
        device = t.Form.CurrentDevice;
        t.Form.ShowInfo("Zwischenstand");
    });

    const std::vector<std::string> expected = {"SetEnabled(BitBtn1,0)",
                                               "SetEnabled(BitBtn2,0)",
                                               "SetEnabled(BitBtn3,0)",
                                               "SetEnabled(BitBtn4,0)",
                                               "SetEnabled(CloseBtn,0)",
                                               "Hourglass",
                                               "Normal",
                                               "MessageBox(Zwischenstand)",
                                               "Hourglass",
                                               "Normal",
                                               "SetEnabled(CloseBtn,1)",
                                               "SetEnabled(BitBtn4,1)",
                                               "SetEnabled(BitBtn3,1)",
                                               "SetEnabled(BitBtn2,1)",
                                               "SetEnabled(BitBtn1,1)"};
    EXPECT_EQ(t.View.Calls, expected);
    EXPECT_TRUE(pocketPC);      // key "8" gave type "3"
    EXPECT_EQ(device, "PPC-B"); // key "1" of the selected row's file
    EXPECT_TRUE(t.Form.WebTransfer);
}

// The photo settings and the photo assignment start from the same frame.
TEST(FormOperationFrameTest, EveryOperationButtonUnlocksTheWindowAtItsEnd) {
    const std::vector<void (TForm1::*)()> clicks = {&TForm1::BitBtn1Click, &TForm1::BitBtn2Click,
                                                    &TForm1::BitBtn3Click, &TForm1::BitBtn4Click,
                                                    &TForm1::SpeedButton1Click};
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "A", "11", {"4=" + folder.Path() + "work/"}));
    for (auto click : clicks) {
        TFormUnderTest t(folder);
        t.Form.FormCreate();
        (t.Form.*click)();
        EXPECT_FALSE(t.View.Hourglass);
        for (const char* button : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "CloseBtn"}) {
            EXPECT_TRUE(t.View.Enabled.at(button)) << button;
        }
        EXPECT_EQ(t.Form.CurrentDevice, "PPC-A");
    }
}

TEST(FormOperationFrameTest, AnUncaughtErrorIsShownAndTheWindowIsUnlocked) {
    TProgramFolder folder;
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "A", "11"));
    TFormUnderTest t(folder);
    t.Form.FormCreate();

    t.Form.RunOperation([&] {
        t.Form.OperationPreamble();
        t.Form.ShowProgress("Versand der Geräte-Daten... - Bitte warten!");
        throw std::runtime_error("Datenträger voll");
    });
    t.Form.RunOperation([&] {
        t.Form.OperationPreamble();
        throw 42;
    });

    ASSERT_EQ(t.View.Boxes.size(), 2u);
    EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(t.View.Boxes[0].Text, "Datenträger voll");
    EXPECT_EQ(t.View.Boxes[1].Kind, TMsgKind::Error);
    EXPECT_EQ(t.View.Boxes[1].Text, "Unbekannter Fehler");
    EXPECT_FALSE(t.View.Hourglass);
    for (const char* button : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "CloseBtn"}) {
        EXPECT_TRUE(t.View.Enabled.at(button)) << button;
    }
    EXPECT_EQ(t.View.Text["Label1"], "Versand der Geräte-Daten... - Bitte warten!");
}

TEST(FormOperationFrameTest, ProgressRepaintsAndInfoShowsTheNormalCursor) {
    TProgramFolder folder;
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    t.View.Calls.clear();
    int repaints = t.View.Repaints;

    t.Form.ShowProgress("eins");
    t.Form.ShowInfo("zwei");

    EXPECT_EQ(t.View.Repaints, repaints + 1);
    EXPECT_EQ(t.View.Calls, (std::vector<std::string>{"SetText(Label1,eins)", "Normal",
                                                      "MessageBox(zwei)", "Hourglass"}));
}

TEST(FormOperationFrameTest, WithoutADeviceTheOperationLoadsEmptySettings) {
    TProgramFolder folder;
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    EXPECT_FALSE(t.Form.OperationPreamble());
    t.Form.OperationEpilogue();
    EXPECT_EQ(t.Form.CurrentDevice, "");
    EXPECT_EQ(t.Form.WorkDir, "");
}

TEST(FormRadioLayoutTest, HeightsAndColumnsByCount) {
    const std::vector<std::tuple<int, int, int>> cases = {{0, 20, 1},  {7, 230, 1},  {8, 260, 1},
                                                          {9, 260, 1}, {10, 260, 2}, {25, 260, 3},
                                                          {40, 260, 5}};
    for (const auto& [n, height, columns] : cases) {
        EXPECT_EQ(TForm1::RadioGroupLayout(n), std::make_pair(height, columns)) << n;
    }
}

} // namespace
} // namespace orvendal::testing
