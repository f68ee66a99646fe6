// The console front end: the console view's answers and the orvendal-cli commands run as
// programs over real program folders.

#include "AppFixture.h"

#include "app/ConsoleView.h"
#include "common/MobilDb.h"
#include "photo/Jpeg.h"

#include <filesystem>
#include <sstream>

namespace orvendal::testing {
namespace {

struct ConfirmCase {
    std::optional<bool> Confirm;
    bool Terminal;
    std::string Typed, Printed;
};

class ConsoleConfirmTest : public ::testing::TestWithParam<ConfirmCase> {};

TEST_P(ConsoleConfirmTest, ConfirmationsFollowTheOptionThenTheTerminal) {
    std::ostringstream out;
    std::istringstream in(GetParam().Typed);
    TConsoleView view(out, in, GetParam().Confirm, GetParam().Terminal);
    EXPECT_EQ(view.MessageBox(TMsgKind::Confirmation, "Weiter?"), out.str().ends_with("Ja\n"));
    EXPECT_EQ(out.str(), GetParam().Printed);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConsoleConfirmTest,
    ::testing::Values(ConfirmCase{true, true, "n\n", "Frage: Weiter? -> Ja\n"},
                      ConfirmCase{false, true, "j\n", "Frage: Weiter? -> Nein\n"},
                      ConfirmCase{std::nullopt, true, "ja\n", "Frage: Weiter? [j/N]  -> Ja\n"},
                      ConfirmCase{std::nullopt, true, "jein\n", "Frage: Weiter? [j/N]  -> Nein\n"},
                      ConfirmCase{std::nullopt, false, "j\n", "Frage: Weiter? -> Nein\n"}));

TEST(ConsoleViewTest, BoxesProgressInputAndPictures) {
    std::ostringstream out;
    std::istringstream in;
    TConsoleView view(out, in, std::nullopt, false);
    EXPECT_TRUE(view.MessageBox(TMsgKind::Information, "eins"));
    EXPECT_TRUE(view.MessageBox(TMsgKind::Warning, "zwei"));
    EXPECT_TRUE(view.MessageBox(TMsgKind::Error, "drei"));
    EXPECT_EQ(view.Problems(), 2);
    view.SetText("Label1", "Abruf... - Bitte warten!");
    view.SetText("Label1", "");
    view.SetText("Form", "Titel");
    EXPECT_EQ(view.InputBox("Proxy", "Server", "p:1"), "p:1");
    EXPECT_EQ(out.str(), "Information: eins\nWarnung: zwei\nFehler: drei\n"
                         "Abruf... - Bitte warten!\nProxy: Server -> p:1\n");
    view.SetItems("RadioGroup1", {"a", "b"});
    view.SetItemIndex("RadioGroup1", 2);
    EXPECT_EQ(view.ItemIndex("RadioGroup1"), -1);
    std::string picture;
    EXPECT_FALSE(view.OpenPictureDialog(picture));
    view.Pictures.push_back("/tmp/foto.jpg");
    EXPECT_TRUE(view.OpenPictureDialog(picture));
    EXPECT_EQ(picture, "/tmp/foto.jpg");
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSettings(folder.File("a.ini"),
                      DeviceLines("PPC-A", "Kundendienst Nord", "101",
                                  {"4=" + work, "8=http://transfer.example/", "13=geheim-smtp",
                                   "16=geheim-pop", "17=proxy.intern", "18=8080"}));
        WriteSettings(folder.File("b.ini"), DeviceLines("PPC-B", "Werkstatt", "102"));
    }
    TRun Cli(const std::string& args) {
        return RunProgram("orvendal-cli", "--program-dir '" + folder.Path() + "' " + args);
    }
    TProgramFolder folder;
    const std::string work = folder.File("work/a/"), camera = folder.File("dcim/");
};

TEST_F(CliTest, DevicesAndDeviceShowTheTableAndTheSettingsWithoutPasswords) {
    TRun list = Cli("devices");
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_EQ(list.Out, "NUMBER  NAME                            TYPE  SETTINGS FILE\n"
                        "101     Kundendienst Nord               3     a.ini\n"
                        "102     Werkstatt                             b.ini\n");
    TRun typed = Cli("--proxy typed:3128 device 101");
    EXPECT_EQ(typed.Code, 0) << typed.Err;
    for (const char* line : {"identity:        PPC-A\n", "proxy:           typed:3128\n",
                             "pocket pc:       yes\n", "mode:            offline\n",
                             "  13=********\n", "  16=********\n", "  17=proxy.intern\n"}) {
        EXPECT_NE(typed.Out.find(line), std::string::npos) << line << typed.Out;
    }
    EXPECT_NE(typed.Out.find("working folder:  " + work + "\n"), std::string::npos);
    EXPECT_EQ(typed.Out.find("geheim"), std::string::npos);
    EXPECT_NE(Cli("device 101").Out.find("proxy:           proxy.intern:8080\n"),
              std::string::npos);
}

TEST_F(CliTest, UnknownDeviceAndWrongUsageFail) {
    for (const char* command :
         {"device", "exchange", "support", "manual-update", "photos", "photo-settings"}) {
        TRun run = Cli(std::string(command) + " 999");
        EXPECT_EQ(run.Code, 1) << command;
        EXPECT_NE(run.Err.find("Kein Gerät mit der Nummer 999"), std::string::npos) << run.Err;
        EXPECT_EQ(Cli(command).Code, 2) << command;
    }
    EXPECT_EQ(Cli("devices extra").Code, 2);
    EXPECT_EQ(Cli("exchange 101 --all").Code, 2);
}

struct PhotoStep {
    std::string Args;
    int Code;
    std::string Printed; // on stdout, or (exit code 1) on stderr
    std::string State;   // Status and photo of rows 7, 8, 9, then SysData 9 and 10
};

// The photo commands on the device's "mobil.mdb": rows 7 and 8 wait for their camera files
// IMG_0815.jpg and IMG_0816.jpg, row 9 was sent with its photo. Each step acts on what the
// steps before left, and only where the dialog offers that action for that row.
TEST_F(CliTest, PhotoCommandsDoWhatTheDialogOffersForTheRowAsked) {
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(camera);
    TSQLADOServer db;
    CreateMobil(db, work + "mobil.mdb");
    for (const std::string& sql : Lines{
             "INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(1,1005,'0','ohne',1)",
             "INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(2,1005,'1','links',2)",
             "INSERT INTO SysData(Id,SysValue) VALUES(8,'" + camera + "'),(9,'IMG_'),(10,'0')",
             "INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) VALUES"
             "(7,1000,51,'815','05.12.2026 10:00',1,'0'),(8,1000,52,'816','05.12.2026 "
             "10:05',1,'0'),"
             "(9,1001,51,'817','05.12.2026 10:09',1,'3')"}) {
        ASSERT_TRUE(db.ExecSQL(sql)) << db.LastError;
    }
    TMemoryStream jpeg;
    EncodeJpeg(QImage(800, 600, QImage::Format_RGB888), 90, jpeg);
    for (const char* name : {"IMG_0815.jpg", "IMG_0816.jpg", "anderes.jpg"}) {
        jpeg.SaveToFile(camera + name);
    }
    ASSERT_TRUE(db.WriteBlob("MBlob", "FeldBlob", "Id=9", jpeg));
    auto state = [&] {
        TRecordSet rs;
        std::string text;
        db.Select("Status,FeldBlob is not null", "MBlob", "", "Id", rs);
        for (int row = 1; row <= RowCount(rs); ++row) {
            text += FieldText(rs, row, 1) + (FieldInt(rs, row, 2) ? "+ " : "- ");
        }
        db.Select("SysValue", "SysData", "Id IN (9,10)", "Id", rs);
        return text + FieldText(rs, 1, 1) + " " + FieldText(rs, 2, 1);
    };
    const std::vector<PhotoStep> steps = {
        {"photos 101 read 8", 0, camera + "IMG_0816.jpg\n", "0- 1+ 3+ IMG_ 0"},
        {"photos 101", 0, "\n8\t1000\t52\t1\t05.12.2026 10:05\t816\n", "0- 1+ 3+ IMG_ 0"},
        {"photos 101 read 8", 1, "Die Fotozeile 8 enthält bereits ein Foto.", "0- 1+ 3+ IMG_ 0"},
        {"--yes photos 101 resend 7", 1, "bietet kein erneutes Senden an", "0- 1+ 3+ IMG_ 0"},
        {"--yes photos 101 clear 9", 1, "bietet kein Löschen an", "0- 1+ 3+ IMG_ 0"},
        {"--yes photos 101 resend 9", 0, "", "0- 1+ 2+ IMG_ 0"},
        {"--yes photos 101 clear 8", 0, "", "0- 0- 2+ IMG_ 0"},
        {"photos 101 read 7 " + camera + "anderes.jpg", 0, camera + "anderes.jpg\n",
         "1+ 0- 2+ IMG_ 0"},
        {"photos 101 read 12", 1, "Es gibt keine Fotozeile mit der Id 12.", "1+ 0- 2+ IMG_ 0"},
        {"photos 101 shred 7", 2, "", "1+ 0- 2+ IMG_ 0"},
        {"photo-settings 101 --mode 2", 1, "Der Modus 2 wird nicht angeboten (0 bis 1).",
         "1+ 0- 2+ IMG_ 0"},
        {"photo-settings 101 --mode links", 2, "", "1+ 0- 2+ IMG_ 0"},
        {"photo-settings 101 --prefix DSC --mode 1", 0, "", "1+ 0- 2+ DSC 1"},
    };
    for (const PhotoStep& step : steps) {
        TRun run = Cli(step.Args);
        EXPECT_EQ(run.Code, step.Code) << step.Args << "\n" << run.Err;
        EXPECT_NE((run.Code == 1 ? run.Err : run.Out).find(step.Printed), std::string::npos)
            << step.Args << "\n"
            << run.Out << run.Err;
        EXPECT_EQ(state(), step.State) << step.Args;
    }
    EXPECT_NE(Cli("photo-settings 101").Err.find(" * 1 &1: links\n"), std::string::npos);
}

TEST(GuiProgramTest, VersionAndHelpNeedNoWindow) {
    EXPECT_EQ(RunProgram("orvendal", "--version").Out, "orvendal 1.0.0\n");
    TRun help = RunProgram("orvendal", "--help");
    EXPECT_EQ(help.Code, 0);
    EXPECT_TRUE(help.Out.starts_with("Usage: orvendal")) << help.Out;
}

} // namespace
} // namespace orvendal::testing
