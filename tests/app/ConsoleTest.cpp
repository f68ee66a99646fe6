// The console front end: its confirmations, and the orvendal-cli commands run as programs over
// real program folders.

#include "AppFixture.h"

#include "app/ConsoleView.h"
#include "common/MobilDb.h"
#include "photo/Jpeg.h"

#include <sstream>

namespace orvendal::testing {
namespace {

TEST(ConsoleViewTest, ConfirmationsFollowTheOptionThenTheTerminal) {
    const std::tuple<std::optional<bool>, bool, const char*, std::string> cases[] = {
        {true, true, "n\n", "Frage: Weiter? -> Ja\n"},
        {false, true, "j\n", "Frage: Weiter? -> Nein\n"},
        {std::nullopt, true, "ja\n", "Frage: Weiter? [j/N]  -> Ja\n"},
        {std::nullopt, true, "jein\n", "Frage: Weiter? [j/N]  -> Nein\n"},
        {std::nullopt, false, "j\n", "Frage: Weiter? -> Nein\n"}};
    for (const auto& [confirm, terminal, typed, printed] : cases) {
        std::ostringstream out;
        std::istringstream in(typed);
        TConsoleView view(out, in, confirm, terminal);
        EXPECT_EQ(view.MessageBox(TMsgKind::Confirmation, "Weiter?"), printed.ends_with("Ja\n"));
        EXPECT_EQ(out.str(), printed);
    }
}

class CliTest : public TOfficeTest {
protected:
    void SetUp() override {
        TOfficeTest::SetUp();
        Device("a", "101", "Kundendienst Nord",
               {"8=http://transfer.example/", "13=geheim-smtp", "16=geheim-pop", "17=proxy.intern",
                "18=8080"});
        Device("b", "102", "Werkstatt", {"18=8080"});
    }
    const std::string work = Path("work/a/"), camera = Path("dcim/");
};

// A port without a host is no proxy; the working folder is made when the settings are loaded.
TEST_F(CliTest, DevicesAndDeviceShowTheSettingsWithoutPasswordsOrFailWithTheirExitCode) {
    EXPECT_EQ(Cli("devices").Out,
              "NUMMER  NAME                            TYP   EINSTELLUNGSDATEI\n"
              "101     Kundendienst Nord               3     a.ini\n"
              "102     Werkstatt                             b.ini\n");
    const std::string typed = Cli("--proxy typed:3128 device 101").Out;
    for (const std::string& line :
         Lines{"Kennung:         PPC-a", "Gerätenummer:    101", "Geräteordner:    \\a\\",
               "Arbeitsordner:   " + work, "Transferserver:  http://transfer.example/",
               "Proxy:           typed:3128", "Web-Transfer:    ja", "Pocket PC:       ja",
               "Modus:           offline", "  13=********", "  16=********"}) {
        EXPECT_NE(typed.find(line + "\n"), std::string::npos) << line << "\n" << typed;
    }
    EXPECT_EQ(typed.find("geheim"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(work));
    EXPECT_NE(Cli("device 101").Out.find("Proxy:           proxy.intern:8080\n"),
              std::string::npos);
    EXPECT_NE(Cli("device 102").Out.find("Proxy:           \n"), std::string::npos);
    for (const char* command :
         {"device", "exchange", "support", "manual-update", "photos", "photo-settings"}) {
        TRun run = Cli(std::string(command) + " 999");
        EXPECT_EQ(run.Code, 1) << command;
        EXPECT_NE(run.Err.find("Kein Gerät mit der Nummer 999."), std::string::npos) << run.Err;
        EXPECT_EQ(Cli(command).Code, 2) << command;
    }
    EXPECT_EQ(Cli("devices extra").Code, 2);
    EXPECT_EQ(Cli("exchange 101 --all").Code, 2);
}

// The photo commands on the device's "mobil.mdb": rows 7 and 8 wait for their camera files
// IMG_0815.jpg and IMG_0816.jpg, row 9 was sent with its photo. Each step acts on what the
// steps before left, and only where the dialog offers that action for that row.
TEST_F(CliTest, PhotoCommandsDoWhatTheDialogOffersForTheRowAsked) {
    fs::create_directories(work);
    fs::create_directories(camera);
    TSQLADOServer db;
    CreateMobil(db, work + "mobil.mdb");
    ASSERT_TRUE(db.ExecSQL("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES"
                           "(1,1005,'0','ohne',1),(2,1005,'1','links',2)"));
    ASSERT_TRUE(db.ExecSQL("INSERT INTO SysData(Id,SysValue) VALUES(8,'" + camera +
                           "'),(9,'IMG_'),(10,'0')"));
    ASSERT_TRUE(db.ExecSQL("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,"
                           "Status) VALUES(7,1000,51,'815','05.12.2026 10:00',1,'0'),"
                           "(8,1000,52,'816','05.12.2026 10:05',1,'0'),"
                           "(9,1001,51,'817','05.12.2026 10:09',1,'3')"));
    TMemoryStream jpeg;
    EncodeJpeg(QImage(800, 600, QImage::Format_RGB888), 90, jpeg);
    for (const char* name : {"IMG_0815.jpg", "IMG_0816.jpg", "anderes.jpg"}) {
        jpeg.SaveToFile(camera + name);
    }
    ASSERT_TRUE(db.WriteBlob("MBlob", "FeldBlob", "Id=9", jpeg));
    auto state = [&] { // Status and photo (1) of rows 7, 8 and 9, then SysData 9 and 10
        TRecordSet rows, values;
        db.Select("group_concat(Status || (FeldBlob IS NOT NULL), ' ')", "MBlob", "", "", rows);
        db.Select("group_concat(SysValue, ' ')", "SysData", "Id IN (9,10)", "", values);
        return FieldText(rows, 1, 1) + " " + FieldText(values, 1, 1);
    };
    // args, exit code, printed on stdout (on stderr with exit code 1), state afterwards
    const std::tuple<std::string, int, std::string, std::string> steps[] = {
        {"photos 101 read 8", 0, camera + "IMG_0816.jpg\n", "00 11 31 IMG_ 0"},
        {"photos 101", 0, "\n8\t1000\t52\t1\t05.12.2026 10:05\t816\n", "00 11 31 IMG_ 0"},
        {"photos 101 read 8", 1, "Die Fotozeile 8 enthält bereits ein Foto.", "00 11 31 IMG_ 0"},
        {"--yes photos 101 resend 7", 1, "(Status 0) bietet kein erneutes", "00 11 31 IMG_ 0"},
        {"--yes photos 101 clear 9", 1, "(Status 3) bietet kein Löschen", "00 11 31 IMG_ 0"},
        {"--yes photos 101 resend 9", 0, "", "00 11 21 IMG_ 0"},
        {"--yes photos 101 clear 8", 0, "", "00 00 21 IMG_ 0"},
        {"photos 101 read 7 " + camera + "anderes.jpg", 0, "anderes.jpg\n", "11 00 21 IMG_ 0"},
        {"photos 101 read 12", 1, "Es gibt keine Fotozeile mit der Id 12.", "11 00 21 IMG_ 0"},
        {"photos 101 shred 7", 2, "", "11 00 21 IMG_ 0"},
        {"photo-settings 101 --mode 2", 1, "Modus 2 wird nicht angeboten (0 bis 1).",
         "11 00 21 IMG_ 0"},
        {"photo-settings 101 --mode links", 2, "", "11 00 21 IMG_ 0"},
        {"photo-settings 101 --prefix DSC --mode 1", 0, "", "11 00 21 DSC 1"},
    };
    for (const auto& [args, code, printed, after] : steps) {
        TRun run = Cli(args);
        EXPECT_EQ(run.Code, code) << args << "\n" << run.Err;
        EXPECT_NE((code == 1 ? run.Err : run.Out).find(printed), std::string::npos)
            << args << "\n"
            << run.Out << run.Err;
        EXPECT_EQ(state(), after) << args;
    }
    EXPECT_NE(Cli("photo-settings 101").Err.find(" * 1 &1: links\n"), std::string::npos);
}

} // namespace
} // namespace orvendal::testing
