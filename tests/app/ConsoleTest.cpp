// The console front end: its confirmations, and orvendal-cli run as a program over real program
// folders: device settings, photo commands, support dispatch, manual update and the data exchange
// of an office with its JSON report.

#include "AppFixture.h"

#include "app/ConsoleView.h"
#include "device/DeviceSandbox.h"
#include "exchange/ServerSimulator.h"
#include "photo/Jpeg.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <vmime/vmime.hpp>

#include <poll.h>

#include <optional>
#include <sstream>

namespace orvendal::testing {
namespace {

using nlohmann::json;
using namespace ::testing; // matchers

TEST(ConsoleViewTest, ConfirmationsFollowTheOptionThenTheTerminal) {
    const std::tuple<std::optional<bool>, bool, const char*, std::string> cases[] = {
        {false, true, "j\n", "Frage: Weiter? -> Nein\n"}, // the option before the terminal
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

int Count(const std::string& file, const std::string& table, const std::string& where = "") {
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = file;
    return db.Connect() ? db.CountRows(table, where) : -1;
}

// An office for orvendal-cli in a fresh folder: the program folder program/, the docked
// folder-backed handheld handheld/, and for each device x its folder "\x\" there and work/x/ on
// the desktop. Nothing listens on loopback port 1: a server that is down.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        Dock(true);
        fs::create_directories(Path("program"));
    }
    std::string Path(const std::string& name) const { return folder.File(name); }
    void Dock(bool docked) {
        docked ? setenv("ORVENDAL_DEVICE_ROOT", Path("handheld").c_str(), 1)
               : unsetenv("ORVENDAL_DEVICE_ROOT");
    }
    // Writes program/x.ini for device x: its number, name, its folders, then keys.
    void Device(const std::string& x, const std::string& number, const std::string& name,
                Lines keys = {}) {
        fs::create_directories(Path("handheld/" + x));
        keys.insert(keys.begin(), {"3=\\" + x + "\\", "4=" + Path("work/" + x + "/")});
        WriteDevice(Path("program/" + x + ".ini"), number, name, keys);
    }
    // Device x exchanging by mail through the shared folder server/x/, where the server's
    // packed reply waits; its export waits on the handheld when docked.
    void MailDevice(const std::string& x, const std::string& number, const std::string& name,
                    bool docked, const std::string& reply, int transferPort = 1) {
        const std::string server = Path("server/" + x + "/");
        Device(x, number, name,
               {"8=http://127.0.0.1:" + std::to_string(transferPort) + "/", "14=localhost",
                "28=" + server + "export%s.md_", "78=" + server + "import%s.md_"});
        if (docked) {
            simulator::MakeDeviceExport(Path("handheld/" + x + "/ExportData.xm_"), "PPC-" + number);
        }
        fs::create_directories(server);
        WriteText(server + "import.md_", Deflated(reply));
    }
    // Device 301 keeps its database and an old manual on the handheld; key 8 makes it a Pocket
    // PC. Its usual, copy and blind-copy recipients must never receive a support mail.
    void Maintained(bool pocketPC, const std::string& mailServer = "") {
        Device("k", "301", "Kundendienst Nord",
               {pocketPC ? "8=http://127.0.0.1:1/" : "8=", "10=Orvendal", "14=" + mailServer,
                "25=geraet301@orvendal.example", "28=zentrale@orvendal.example",
                "30=Gesendet von Gerät 301", "32=no", "33=blind@orvendal.example",
                "35=kopie@orvendal.example"});
        WriteText(Path("handheld/k/VAVID.sdf"), "altes Handbuch");
        WriteBytes(Path("handheld/k/mobil.sdf"), database);
    }
    TProcess Start(const std::string& args) {
        return TProcess("exec " + std::string(ORVENDAL_BINARY_DIR) +
                        "/app/orvendal-cli --program-dir " + Path("program") + " " + args);
    }
    TRun Cli(const std::string& args) { return Start(args).Wait(); }

    TTempFolder folder;
    const std::string database = Pattern(70000, 9);
};

// Device 101 is a Pocket PC with passwords and proxy keys; device 102 has a proxy port without a
// host, which is no proxy, and no "mobil.mdb". The working folder is made when the settings are
// loaded. The photo commands act on 101's "mobil.mdb", where row 9 was sent with its photo. Each
// step acts on what the steps before left, and only where the dialog offers that action for that
// row; the photo settings are written value by value.
TEST_F(CliTest, DevicesSettingsAndPhotoCommandsDoWhatTheDialogsOfferOrFailWithTheirExitCode) {
    Device("b", "102", "Werkstatt", {"18=8080"});
    Device("a", "101", "Kundendienst Nord",
           {"8=http://transfer.example/", "13=geheim-smtp", "16=geheim-pop", "17=proxy.intern",
            "18=8080"});
    EXPECT_EQ(Cli("devices").Out,
              "NUMMER  NAME                            TYP   EINSTELLUNGSDATEI\n"
              "101     Kundendienst Nord               3     a.ini\n"
              "102     Werkstatt                             b.ini\n");
    const std::string typed = Cli("--proxy typed:3128 device 101").Out;
    for (const std::string& line :
         Lines{"Kennung:         PPC-101", "Gerätenummer:    101", "Geräteordner:    \\a\\",
               "Arbeitsordner:   " + Path("work/a/"), "Transferserver:  http://transfer.example/",
               "Proxy:           typed:3128", "Web-Transfer:    ja", "Pocket PC:       ja",
               "Modus:           offline", "  13=********", "  16=********"}) {
        EXPECT_THAT(typed, HasSubstr(line + "\n"));
    }
    EXPECT_THAT(typed, Not(HasSubstr("geheim")));
    const std::string work = Path("work/a/"), camera = Path("dcim/"); // made: it holds mobil.mdb
    for (const char* command :
         {"device", "exchange", "support", "manual-update", "photos", "photo-settings"}) {
        TRun run = Cli(std::string(command) + " 999");
        EXPECT_EQ(run.Code, 1) << command;
        EXPECT_THAT(run.Err, HasSubstr("Kein Gerät mit der Nummer 999."));
        EXPECT_EQ(Cli(command).Code, 2) << command;
    }
    fs::create_directories(camera);
    TSQLADOServer db;
    PhotoDatabase(db, work + "mobil.mdb", camera);
    TMemoryStream jpeg;
    EncodeJpeg(QImage(800, 600, QImage::Format_RGB888), 90, jpeg);
    for (const char* name : {"IMG_0815.jpg", "IMG_0816.jpg", "anderes.jpg"}) {
        jpeg.SaveToFile(camera + name);
    }
    ASSERT_TRUE(db.WriteBlob("MBlob", "FeldBlob", "Id=9", jpeg));
    auto state = [&] { // Status and photo (1) of rows 7, 8 and 9, then SysData 8, 9 and 10
        TRecordSet rows, values;
        db.Select("group_concat(Status || (FeldBlob IS NOT NULL), ' ')", "MBlob", "", "", rows);
        db.Select("group_concat(replace(SysValue, '" + camera + "', 'dcim/'), ' ')", "SysData",
                  "Id IN (8,9,10)", "", values);
        return FieldText(rows, 1, 1) + " " + FieldText(values, 1, 1);
    };
    // args, exit code, printed on stdout (on stderr with exit code 1 and for the settings, which
    // show like every dialog there), state afterwards ("": as before)
    const std::tuple<std::string, int, std::string, std::string> steps[] = {
        {"device 101", 0, "Proxy:           proxy.intern:8080\n", "00 00 31 dcim/ IMG_ x"},
        {"device 102", 0, "Proxy:           \n", ""},
        {"devices extra", 2, "", ""},
        {"exchange 101 --all", 2, "", ""},
        {"photos 101 read 8", 0, camera + "IMG_0816.jpg\n", "00 11 31 dcim/ IMG_ x"},
        {"photos 101", 0, "\n8\t1000\t52\t1\t05.12.2026 10:05\t816\n", ""},
        {"photos 101 read 8", 1, "Die Fotozeile 8 enthält bereits ein Foto.", ""},
        {"--yes photos 101 resend 7", 1, "(Status 0) bietet kein erneutes", ""},
        {"--yes photos 101 clear 9", 1, "(Status 3) bietet kein Löschen", ""},
        {"--yes photos 101 resend 9", 0, "", "00 11 21 dcim/ IMG_ x"},
        {"--yes photos 101 clear 8", 0, "", "00 00 21 dcim/ IMG_ x"},
        {"photos 101 read 7 " + camera + "anderes.jpg", 0, "anderes.jpg\n",
         "11 00 21 dcim/ IMG_ x"},
        {"photos 101 read 12", 1, "Es gibt keine Fotozeile mit der Id 12.", ""},
        {"photos 101 shred 7", 2, "", ""},
        {"photo-settings 101", 0, "IMG_\nModus für Zeitstempel:\n * 0 &0: ohne\n   1 &1: links\n",
         ""},
        {"photo-settings 101 --mode 2", 1, "Modus 2 wird nicht angeboten (0 bis 1).", ""},
        {"photo-settings 101 --mode -1", 1, "Modus -1 wird nicht angeboten", ""},
        {"photo-settings 101 --mode links", 2, "", ""},
        {"photo-settings 101 --folder \"/o'neil/\" --prefix DSC --mode 1", 1, "syntax error",
         "11 00 21 dcim/ DSC 1"},
        {"photo-settings 101 --folder /karte/ --mode 0", 0, "", "11 00 21 /karte/ DSC 0"},
    };
    std::string expected;
    for (const auto& [args, code, printed, after] : steps) {
        TRun run = Cli(args);
        EXPECT_EQ(run.Code, code) << args << "\n" << run.Err;
        const bool err = code == 1 || args.starts_with("photo-settings");
        EXPECT_THAT(err ? run.Err : run.Out, HasSubstr(printed)) << args;
        expected = after.empty() ? expected : after;
        EXPECT_EQ(state(), expected) << args;
    }
    ASSERT_TRUE(db.ExecSQL("DELETE FROM SysData WHERE Id=9")); // a missing value stays missing
    EXPECT_EQ(Cli("photo-settings 101 --prefix P").Code, 0);
    EXPECT_EQ(state(), "11 00 21 /karte/ 0");
    for (const char* args : {"photos 102", "photo-settings 102"}) { // no database: no dialog
        TRun run = Cli(args);
        EXPECT_EQ(run.Code, 1) << args;
        EXPECT_THAT(run.Out + run.Err,
                    AllOf(ContainsRegex("Fehler: .*mobil\\.mdb"), Not(HasSubstr("Foto"))));
    }
}

// Only a docked Pocket PC with a mail server sends its database, to the support mailbox alone.
// Otherwise nothing is sent and the exit code is 1. Nothing stays on the desktop. The manual is
// published as a packed file; every failure of its update ends in the status line with the step
// that failed and exit code 1, and the handheld keeps its old manual.
TEST_F(CliTest, SupportMailsTheDatabaseToSupportAloneAndManualUpdateNamesTheFailedStep) {
    TMailServersLock lock; // the SMTP folder is shared with the other mail tests
    const std::string smtp = Env("ORVENDAL_TEST_SMTP"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
    ASSERT_TRUE(smtp != "" && Env("ORVENDAL_TEST_HTTP_URL") != "") << "run under with-servers.sh";
    const std::string copying = "Übertragen der Datenbank des Pocket-PC... - Bitte warten!\n",
                      sending = "Versand der Geräte-Daten\n",
                      failed = "Information: Fehlermeldung beim Versand der Daten: Fehler bei "
                               "E-Mail-Verarbeitung (Schritt 10: …\n",
                      ask = "Frage: Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang "
                            "fortsetzen? -> ",
                      done = "Der Versand der Datenbank für das Gerät Kundendienst Nord an den "
                             "Support ist erfolgt!\n";
    // Pocket PC, options, docked, mail server up, stderr
    const std::tuple<bool, const char*, bool, bool, std::string> cases[] = {
        {true, "", true, true, copying + sending + done},
        {true, "--yes", false, true, copying + ask + "Ja\n" + sending + failed + done},
        {true, "--no", false, true, copying + ask + "Nein\n" + done},
        {true, "", true, false, copying + sending + failed + done},
        {false, "", true, true,
         "Warnung: Dieser Programmteil steht nur für Pocket-PC zur Verfügung!\n"}};
    for (const auto& [pocketPC, options, docked, serverUp, err] : cases) {
        SCOPED_TRACE(err);
        for (const std::string& mail : Entries(smtpDir)) // the server writes into the folder
            fs::remove(smtpDir + "/" + mail);
        Maintained(pocketPC, serverUp ? smtp : "127.0.0.1:1");
        Dock(docked);
        TRun run = Cli(std::string(options) + " support 301");
        // the varying end of the transport's message becomes "…"
        EXPECT_EQ(std::regex_replace(run.Err, std::regex(R"(\(Schritt 10: .*)"), "(Schritt 10: …"),
                  err);
        EXPECT_EQ(Entries(Path("work/k")), std::set<std::string>{});
        EXPECT_TRUE(ReadBytes(Path("handheld/k/mobil.sdf")) == database);
        const std::set<std::string> mails = Entries(smtpDir);
        const bool sent = err == copying + sending + done;
        EXPECT_EQ(run.Code, sent ? 0 : 1);
        ASSERT_EQ(mails.size(), sent ? 1u : 0u);
        if (!sent)
            continue;
        const std::string raw = ReadText(smtpDir + "/" + *mails.begin());
        EXPECT_THAT(raw, HasSubstr("X-Envelope-To: support@orvendal.example\r\n"));
        auto message = vmime::make_shared<vmime::message>();
        message->parse(raw);
        std::string body, attachment;
        vmime::utility::outputStreamStringAdapter bodyOut(body), attachmentOut(attachment);
        vmime::messageParser parts(message);
        parts.getTextPartAt(0)->getText()->extract(bodyOut);
        EXPECT_EQ(body, "In der Anlage ist die mobile Datenbank des Gerätes enthalten.\r\n"
                        "Gesendet von Gerät 301");
        ASSERT_EQ(parts.getAttachmentCount(), 1u);
        parts.getAttachmentAt(0)->getData()->extract(attachmentOut);
        EXPECT_TRUE(Inflated(attachment) == database);
    }
    const std::string manual = Pattern(300000, 5), packed = Deflated(manual);
    const std::string zip = std::string("PK\x03\x04\x14\x00", 6) + "VAVID.sdf" + packed;
    const std::string half = packed.substr(0, packed.size() / 2), nothing = Deflated("");
    const std::string local = Path("work/k/VAVID.sdf");
    const std::string busy = "Update des Handbuches für Gasgeräte läuft... - Bitte warten!\n",
                      updated = "Das Update des Gasgeräte-Handbuches ist erfolgt!\n",
                      broken = "Beim Aktualisieren des Gasgeräte-Handbuches trat ein Fehler auf "
                               "(Schritt ";
    // case, the published file (none: not on the server), step of the failure (-1: none)
    const std::tuple<std::string, std::optional<std::string>, int> updates[] = {
        {"Replaced", packed, -1},        {"ServerDown", packed, 2},        {"NotOnServer", {}, 2},
        {"ZipArchive", zip, 3},          {"Truncated", half, 3},           {"EmptyBody", "", 3},
        {"StreamOfNothing", nothing, 3}, {"WorkFileIsAFolder", packed, 4}, {"Undocked", packed, 5},
        {"NotAPocketPC", packed, 1}};
    for (const auto& [name, published, step] : updates) {
        SCOPED_TRACE(name);
        Maintained(name != "NotAPocketPC");
        fs::remove_all(local);
        if (published) {
            WriteText(WebFile(name + "-vavid.zip", "ORVENDAL_TEST_HTTP_DIR"), *published);
        }
        if (name == "WorkFileIsAFolder") {
            fs::create_directories(local);
        }
        Dock(name != "Undocked");
        const std::string url =
            name == "ServerDown" ? "http://127.0.0.1:1/" : WebFile(name + "-vavid.zip");
        setenv("ORVENDAL_MANUAL_URL", url.c_str(), 1);
        TRun run = Cli("manual-update 301");
        EXPECT_EQ(run.Code, step < 0 ? 0 : 1);
        EXPECT_EQ(run.Err, (step == 1 ? "" : busy) +
                               (step < 0 ? updated : broken + std::to_string(step) + ")!\n"));
        EXPECT_EQ(ReadText(Path("handheld/k/VAVID.sdf")), step < 0 ? manual : "altes Handbuch");
        EXPECT_FALSE(fs::is_regular_file(local));
        EXPECT_EQ(fs::is_directory(local), name == "WorkFileIsAFolder");
    }
}

// One good device, one not docked (skipped with --no), one whose server answer is no database:
// each runs in list order, the report tells each apart, and the exit code says that not all went
// well. When each ran varies; that it is told, in its form, does not. Then the transfer server, a
// loopback socket here, holds a run's probe while a second run on the same device fails at once;
// the first then falls back to mail and completes.
TEST_F(CliTest, ExchangeReportsEveryDeviceInListOrderAndRunsOncePerDeviceAtATime) {
    std::string error; // the server's answer, a database
    ASSERT_TRUE(simulator::MakeImportDatabase(Path("answer.mdb"), {}, error)) << error;
    const std::string answer = Path("answer.mdb"), reply = ReadText(answer);
    MailDevice("c", "103", "Kaputt", true, "keine Datenbank");
    MailDevice("a", "101", "Gut", true, reply);
    MailDevice("b", "102", "Abgedockt", false, reply);
    TRun run = Cli("--no exchange --all --json");
    EXPECT_EQ(run.Code, 1) << run.Err;
    std::string devices = json::parse(run.Out)["devices"].dump(); // stdout holds the report alone
    for (const auto& [varying, fixed] :
         {std::pair{R"("start":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ")", R"("start":"")"},
          {R"("duration_ms":\d+)", R"("duration_ms":0)"},
          {R"(gelesen werden: [^"]+)", "gelesen werden: "}}) {
        devices = std::regex_replace(devices, std::regex(varying), fixed);
    }
    WriteText(Path("sent.mdb"), Inflated(ReadText(Path("server/a/export.md_"))));
    const int exported = Count(Path("sent.mdb"), "ExportData");
    EXPECT_GT(exported, 0);
    json merged = {{"SysData", Count(answer, "SysData", "Id>7")}};
    for (const char* table : {"MAuftrag", "MBlob", "MValues"}) {
        merged[table] = Count(answer, table);
    }
    json expected = json::parse(R"([{"number": "101", "name": "Gut", "outcome": "ok", "start": "",
        "duration_ms": 0, "transport": "Mail", "tables_written": 9, "rows_refused": 0,
        "photos_sent": 0, "messages": []}, {"number": "102", "name": "Abgedockt", "start": "",
        "duration_ms": 0, "outcome": "skipped", "transport": "", "rows_exported": 0,
        "tables_written": 0, "rows_merged": {}, "rows_refused": 0, "photos_sent": 0, "messages":
        [{"kind": "confirmation", "answer": false, "text":
        "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?"}]},
        {"number": "103", "name": "Kaputt", "start": "", "duration_ms": 0, "outcome": "failed",
        "transport": "Mail", "tables_written": 0, "rows_merged": {}, "rows_refused": 0,
        "photos_sent": 0, "messages": [{"kind": "information",
        "text": "Die Server-Daten können nicht gelesen werden: "}]}])");
    expected[0]["rows_exported"] = expected[2]["rows_exported"] = exported;
    expected[0]["rows_merged"] = merged;
    EXPECT_EQ(json::parse(devices), expected);
    const std::string summary = "Zusammenfassung für das Gerät ";
    EXPECT_THAT(run.Err, ContainsRegex(summary + "Gut \\(101\\): erfolgreich\n.*" + summary +
                                       "Abgedockt \\(102\\): übersprungen\n.*" + summary +
                                       "Kaputt \\(103\\): fehlgeschlagen\n"));
    int port = 0;
    const int listener = Listen(port);
    MailDevice("a", "101", "Gut", true, reply, port);
    TProcess first = Start("exchange 101");
    pollfd waiting{listener, POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, 20000), 1) << "the first run never asked the transfer server";
    const int probe = accept(listener, nullptr, nullptr);
    TRun second = Start("exchange 101").Wait(20);
    EXPECT_EQ(second.Code, 1);
    EXPECT_THAT(second.Err,
                HasSubstr("Fehler: Für das Gerät Gut läuft bereits ein Datenaustausch.\n"));
    close(probe);
    close(listener);
    run = first.Wait();
    EXPECT_EQ(run.Code, 0) << run.Err;

    // A device without a working folder: every operation stops in the form's frame, which reports
    // the error as a box, and nothing lands where orvendal-cli was started.
    WriteDevice(Path("program/z.ini"), "104", "Ohne Ordner", {"3=\\a\\", "8=http://x/"});
    for (const char* command :
         {"exchange", "support", "manual-update", "photos", "photo-settings"}) {
        run = Cli(std::string("--no ") + command + " 104");
        EXPECT_EQ(run.Code, 1) << command;
        EXPECT_THAT(run.Err, HasSubstr("Fehler: Für das Gerät PPC-104 ist kein Arbeitsordner "
                                       "eingestellt (Schlüssel 4).\n"))
            << command;
    }
    for (const char* file : {"mobil.mdb", "export.mdb", "orvendal.lock", "mobil.sdf", "VAVID.sdf"})
        EXPECT_FALSE(fs::exists(file)) << file;
}

} // namespace
} // namespace orvendal::testing
