// The console front end: the console view's answers and the orvendal-cli commands run as
// programs over real program folders.

#include "AppFixture.h"

#include "app/ConsoleView.h"
#include "common/MobilDb.h"
#include "db/SQLADO.h"
#include "photo/Jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace orvendal::testing {
namespace {

using namespace std::string_literals;

struct ConfirmCase {
    const char* Name;
    std::optional<bool> Confirm;
    bool Terminal;
    std::string Typed;
    bool Answer;
    std::string Printed;
};

class ConsoleConfirmTest : public ::testing::TestWithParam<ConfirmCase> {};

TEST_P(ConsoleConfirmTest, ConfirmationsFollowTheOptionThenTheTerminal) {
    const ConfirmCase& c = GetParam();
    std::ostringstream out;
    std::istringstream in(c.Typed);
    TConsoleView view(out, in, c.Confirm, c.Terminal);
    EXPECT_EQ(view.MessageBox(TMsgKind::Confirmation, "Weiter?"), c.Answer);
    EXPECT_EQ(out.str(), c.Printed);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConsoleConfirmTest,
    ::testing::Values(
        ConfirmCase{"Yes", true, true, "n\n", true, "Frage: Weiter? -> Ja\n"},
        ConfirmCase{"No", false, true, "j\n", false, "Frage: Weiter? -> Nein\n"},
        ConfirmCase{"TypedJa", std::nullopt, true, "ja\n", true, "Frage: Weiter? [j/N]  -> Ja\n"},
        ConfirmCase{"TypedOther", std::nullopt, true, "vielleicht\n", false,
                    "Frage: Weiter? [j/N]  -> Nein\n"},
        ConfirmCase{"NoTerminal", std::nullopt, false, "j\n", false, "Frage: Weiter? -> Nein\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ConsoleViewTest, BoxesProgressAndInputArePrinted) {
    std::ostringstream out;
    std::istringstream in;
    TConsoleView view(out, in, std::nullopt, false);
    EXPECT_TRUE(view.MessageBox(TMsgKind::Information, "eins"));
    EXPECT_TRUE(view.MessageBox(TMsgKind::Warning, "zwei"));
    EXPECT_TRUE(view.MessageBox(TMsgKind::Error, "drei"));
    view.SetText("Label1", "Abruf der Server-Daten... - Bitte warten!");
    view.SetText("Label1", "");
    view.SetText("Form", "Titel");
    EXPECT_EQ(view.InputBox("Proxy", "Server", "p:1"), "p:1");
    EXPECT_EQ(out.str(), "Information: eins\nWarnung: zwei\nFehler: drei\n"
                         "Abruf der Server-Daten... - Bitte warten!\nProxy: Server -> p:1\n");

    view.SetItems("RadioGroup1", {"a", "b"});
    EXPECT_EQ(view.ItemIndex("RadioGroup1"), -1);
    view.SetItemIndex("RadioGroup1", 1);
    EXPECT_EQ(view.ItemIndex("RadioGroup1"), 1);
    view.SetItemIndex("RadioGroup1", 2);
    EXPECT_EQ(view.ItemIndex("RadioGroup1"), -1);

    std::string picture;
    EXPECT_FALSE(view.OpenPictureDialog(picture));
    view.Pictures.push_back("/tmp/foto.jpg");
    EXPECT_TRUE(view.OpenPictureDialog(picture));
    EXPECT_EQ(picture, "/tmp/foto.jpg");
}

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

std::string ReadAll(const std::string& fileName) {
    std::ifstream in(fileName);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a program of the build with stdin from /dev/null; arguments must not hold quotes.
TRun RunProgram(const std::string& program, const std::string& args) {
    TTempFolder scratch;
    const std::string out = scratch.Path() + "out", err = scratch.Path() + "err";
    const std::string command = std::string(ORVENDAL_BINARY_DIR) + "/app/" + program + " " + args +
                                " </dev/null >'" + out + "' 2>'" + err + "'";
    int status = std::system(command.c_str());
    TRun run;
    run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = ReadAll(out);
    run.Err = ReadAll(err);
    return run;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSettings(
            folder.Path() + "a.ini",
            DeviceLines("PPC-A", "Kundendienst Nord", "101",
                        {"4=" + folder.Path() + "work/a/", "8=http://transfer.example/",
                         "13=geheim-smtp", "16=geheim-pop", "17=proxy.intern", "18=8080"}));
        WriteSettings(folder.Path() + "b.ini", DeviceLines("PPC-B", "Werkstatt", "102"));
    }
    TRun Cli(const std::string& args) {
        return RunProgram("orvendal-cli", "--program-dir '" + folder.Path() + "' " + args);
    }
    TProgramFolder folder;
};

TEST_F(CliTest, DevicesListsTheTable) {
    TRun run = Cli("devices");
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "NUMBER  NAME                            TYPE  SETTINGS FILE\n"
                       "101     Kundendienst Nord               3     a.ini\n"
                       "102     Werkstatt                             b.ini\n");
}

TEST_F(CliTest, DeviceShowsTheLoadedSettingsWithoutPasswords) {
    TRun run = Cli("--proxy typed:3128 device 101");
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("identity:        PPC-A\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("working folder:  " + folder.Path() + "work/a/\n"), std::string::npos);
    EXPECT_NE(run.Out.find("proxy:           typed:3128\n"), std::string::npos);
    EXPECT_NE(run.Out.find("pocket pc:       yes\n"), std::string::npos);
    EXPECT_NE(run.Out.find("mode:            offline\n"), std::string::npos);
    EXPECT_NE(run.Out.find("  13=********\n"), std::string::npos);
    EXPECT_NE(run.Out.find("  16=********\n"), std::string::npos);
    EXPECT_NE(run.Out.find("  17=proxy.intern\n"), std::string::npos);
    EXPECT_EQ(run.Out.find("geheim"), std::string::npos);
}

TEST_F(CliTest, DeviceProxyComesFromTheKeysWithoutTheOption) {
    TRun run = Cli("device 101");
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("proxy:           proxy.intern:8080\n"), std::string::npos) << run.Out;
}

TEST_F(CliTest, UnknownDeviceAndWrongUsageFail) {
    TRun unknown = Cli("device 999");
    EXPECT_EQ(unknown.Code, 1);
    EXPECT_NE(unknown.Err.find("no device with number 999"), std::string::npos) << unknown.Err;
    EXPECT_EQ(Cli("device").Code, 2);
    EXPECT_EQ(Cli("devices extra").Code, 2);
}

TEST_F(CliTest, OperationsNeedAKnownDevice) {
    for (const char* command :
         {"exchange", "support", "manual-update", "photos", "photo-settings"}) {
        TRun run = Cli(std::string(command) + " 999");
        EXPECT_EQ(run.Code, 1) << command;
        EXPECT_NE(run.Err.find("no device with number 999"), std::string::npos) << run.Err;
        EXPECT_EQ(Cli(command).Code, 2) << command;
    }
}

// The photo commands on the device's "mobil.mdb": one photo row 7 whose camera file waits.
TEST_F(CliTest, PhotoCommandsWorkOnTheDevicesDatabase) {
    const std::string work = folder.Path() + "work/a/", camera = folder.Path() + "dcim/";
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(camera);
    TSQLADOServer db;
    CreateMobil(db, work + "mobil.mdb");
    for (const std::string& sql :
         {"INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(1,1005,'0','ohne',1)"s,
          "INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(2,1005,'1','links',2)"s,
          "INSERT INTO SysData(Id,SysValue) VALUES(8,'"s + camera + "')",
          "INSERT INTO SysData(Id,SysValue) VALUES(9,'IMG_')"s,
          "INSERT INTO SysData(Id,SysValue) VALUES(10,'0')"s,
          "INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) "
          "VALUES(7,1000,51,'815','05.12.2026 10:00',1,'0')"s}) {
        ASSERT_TRUE(db.ExecSQL(sql)) << db.LastError;
    }
    TMemoryStream jpeg;
    EncodeJpeg(QImage(800, 600, QImage::Format_RGB888), 90, jpeg);
    jpeg.SaveToFile(camera + "IMG_0815.jpg");
    auto status = [&] {
        TRecordSet rs;
        db.Select("Status", "MBlob", "Id=7", "", rs);
        return FieldText(rs, 1, 1);
    };

    TRun shown = Cli("photo-settings 101");
    EXPECT_EQ(shown.Code, 0) << shown.Err;
    EXPECT_NE(shown.Err.find("Präfix im Foto-Dateinamen: IMG_\n"), std::string::npos) << shown.Err;
    EXPECT_NE(shown.Err.find(" * 0 &0: ohne\n   1 &1: links\n"), std::string::npos) << shown.Err;
    EXPECT_EQ(Cli("photo-settings 101 --mode links").Code, 2);

    TRun read = Cli("photos 101 read 7");
    EXPECT_EQ(read.Code, 0) << read.Err;
    EXPECT_EQ(read.Out, camera + "IMG_0815.jpg\n");
    EXPECT_EQ(status(), "1");
    TRun list = Cli("photos 101");
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_NE(list.Out.find("\n7\t1000\t51\t1\t05.12.2026 10:00\t815\n"), std::string::npos)
        << list.Out;
    EXPECT_EQ(Cli("photos 101 read 7").Code, 1); // holds a photo already
    EXPECT_EQ(Cli("--yes photos 101 clear 7").Code, 0);
    EXPECT_EQ(status(), "0");
    TRun missing = Cli("photos 101 clear 9");
    EXPECT_EQ(missing.Code, 1);
    EXPECT_NE(missing.Err.find("no photo row with Id 9"), std::string::npos) << missing.Err;
    EXPECT_EQ(Cli("photos 101 shred 7").Code, 2);

    TRun changed = Cli("photo-settings 101 --prefix DSC --mode 1");
    EXPECT_EQ(changed.Code, 0) << changed.Err;
    TRecordSet rs;
    ASSERT_TRUE(db.Select("Id,SysValue", "SysData", "Id IN (8,9,10)", "Id", rs));
    EXPECT_EQ(FieldText(rs, 1, 2), camera);
    EXPECT_EQ(FieldText(rs, 2, 2), "DSC");
    EXPECT_EQ(FieldText(rs, 3, 2), "1");
}

TEST(GuiProgramTest, VersionAndHelpNeedNoWindow) {
    TRun version = RunProgram("orvendal", "--version");
    EXPECT_EQ(version.Code, 0);
    EXPECT_EQ(version.Out, "orvendal 1.0.0\n");
    TRun help = RunProgram("orvendal", "--help");
    EXPECT_EQ(help.Code, 0);
    EXPECT_EQ(help.Out.rfind("Usage: orvendal", 0), 0u) << help.Out;
}

} // namespace
} // namespace orvendal::testing
