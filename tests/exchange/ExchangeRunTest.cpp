#include "ExchangeFixture.h"

#include <gmock/gmock.h>

#include <array>
#include <functional>
#include <pugixml.hpp>
#include <sstream>
#include <tuple>

namespace orvendal::testing {
namespace {

using namespace ::testing; // matchers

// The handheld's export file, a packed XML table: rows of job 1000 given as Id, FeldId,
// FeldValue and FeldBlob (left out when empty).
using TRow = std::array<std::string, 4>;
void WriteExport(const std::string& path, const std::vector<TRow>& rows) {
    pugi::xml_document doc;
    pugi::xml_node table = doc.append_child("table");
    for (const auto& [id, feld, value, hex] : rows) {
        pugi::xml_node record = table.append_child("record");
        const std::pair<const char*, std::string> fields[] = {
            {"Id", id},           {"AuftragId", "1000"}, {"FeldId", feld},
            {"FeldValue", value}, {"FeldBlob", hex},     {"Created", "05.12.2026 10:15:00"},
            {"Creator", "1"}};
        for (const auto& [name, text] : fields)
            if (std::string(name) != "FeldBlob" || !text.empty())
                record.append_child(name).text().set(text.c_str());
    }
    std::ostringstream xml;
    doc.save(xml, "", pugi::format_raw);
    WriteText(path, Deflated(xml.str()));
}

std::string Photo(int id, int job, const std::string& status) {
    return "INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) VALUES(" +
           std::to_string(id) + "," + std::to_string(job) + ",51,'v','01.12.2026',1,'" + status +
           "')";
}

using ExchangeRunTest = ExchangeFixture;

const std::string kAllTables = "MApplication.xml MAuftrag.xml MBlob.xml MData.xml MMaterial.xml "
                               "MProjectLV.xml MValues.xml Monteure.xml SysData.xml";

// One walk over a desktop database with photo rows and SysData rows (replaced only when fewer
// than three, and then only by answer rows above 7), an export with rows the desktop refuses,
// and an answer whose photo rows change the desktop's by their status: 2 removes, 1 turns a
// sent 3 into 2 and leaves others, a new row with 2 is not taken, another job's row matches
// nothing.
TEST_F(ExchangeRunTest, WholeRunSendsFetchesCopiesAndMerges) {
    const std::string awkward = "O'Neil sagt \"Grüß Gott\" & <mehr>\r\nZeile 2 – Maß";
    for (int sysRows : {2, 3}) {
        SCOPED_TRACE(sysRows);
        Fresh();
        Seed({Photo(1, 1000, "0"), Photo(2, 1001, "3"), Photo(3, 1002, "0"), Photo(9, 1003, "3"),
              "INSERT INTO SysData(Id,SysValue) VALUES(1,'d'),(2,'d')" +
                  std::string(sysRows == 3 ? ",(3,'d')" : "")});
        WriteExport(Handheld("ExportData.xm_"),
                    {TRow{"10", "0", "PPC-7"}, TRow{"11", "55", "IMG_1.jpg", "0A1b"},
                     TRow{"12", "40", "doc", "fF0"}, TRow{"13", "49", "49"}, TRow{"14", "50", "50"},
                     TRow{"15", "79", "79"}, TRow{"16", "80", "80"}, TRow{"17", "10", awkward},
                     TRow{"x1", "10", "a"}, TRow{"18", "1; DROP TABLE ExportData", "b"},
                     TRow{"17", "10", "doubled"}, TRow{"19", "52", "after"}});
        ServerAnswer({Photo(1, 1000, "2"), Photo(2, 1001, "1"), Photo(3, 1002, "1"),
                      Photo(9, 1009, "2"), Photo(20, 1004, "1"), Photo(21, 1005, "2"),
                      "INSERT INTO SysData(Id,SysValue) VALUES(7,'sieben')",
                      "INSERT INTO MApplication(Id,MobilApp,TabOrder) VALUES(9,0,9)",
                      // jobs the desktop refuses: a doubled number and no name
                      "CREATE TABLE J AS SELECT * FROM MAuftrag", "DROP TABLE MAuftrag",
                      "ALTER TABLE J RENAME TO MAuftrag",
                      "INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
                      "VALUES(1000,1,1,'doppelt','0'),(20,1,1,null,'0')"});
        Run();
        EXPECT_EQ(Outcome(),
                  "E Der Datensatz 9 des Geräte-Exports enthält im Feld Id keine Zahl: x1\n"
                  "E Der Datensatz 10 des Geräte-Exports enthält im Feld FeldId keine Zahl: 1; "
                  "DROP TABLE ExportData\n"
                  "E UNIQUE constraint failed: ExportData.Id\n"
                  "work: mobil.mdb\nserver: answer.mdb export.md_\n"
                  "card: ExportData.xm_ " +
                      kAllTables + "\njobs: 12\n");
        const std::string sent = SentExport(), mobil = Work("mobil.mdb");
        // FeldBlob decoded from hex, an odd last digit ignored.
        EXPECT_EQ(
            Dump(sent, "ExportData", "Id,FeldId,FeldValue,hex(FeldBlob)"),
            "10|0|PPC-7|\n11|55|IMG_1.jpg|0A1B\n12|40|doc|FF\n13|49|49|\n14|50|50|\n15|79|79|\n"
            "16|80|80|\n17|10|" +
                awkward + "|\n19|52|after|\n");
        EXPECT_EQ(Dump(mobil, "MBlob", "Id,FeldId,Status", "Id<100"),
                  "2|51|2\n3|51|0\n9|51|3\n11|55|0\n14|50|0\n15|79|0\n19|52|0\n20|51|0\n");
        EXPECT_EQ(Count(mobil, "MBlob", "Id>=100 and Status='0'"), "12\n");
        EXPECT_EQ(Dump(mobil, "SysData", "Id,SysValue"),
                  sysRows == 2 ? "8|/media/kamera/DCIM/\n9|IMG_\n10|1\n11|Zentrale Kassel\n"
                               : "1|d\n2|d\n3|d\n");
        EXPECT_EQ(Count(mobil, "MValues", "Class=1005"), "5\n");
        EXPECT_EQ(Dump(mobil, "MAuftrag", "AuftragId,AuftragBez,Termin,Route",
                       "AuftragId in (20,1000,1011)"),
                  "1000|Wartung Hauptstraße 3, Kassel|01.12.2026 09:30:00|Tour 1\n1011|Wartung "
                  "Schillerplatz 14, Marburg|12.12.2026 09:30:00|Tour 3\n");
        EXPECT_EQ(
            view_.Status,
            (std::vector<std::string>{
                "Übertragen der Datenbanken zwischen Desktop und Pocket-PC... - Bitte warten!",
                "Versand der Geräte-Daten... - Bitte warten!",
                "Abruf der Server-Daten... - Bitte warten!",
                "Übertragen der Datenbanken zwischen Desktop und Pocket-PC... - Bitte warten!"}));
        // A table file carries its rows by MobilApp, each in column order.
        EXPECT_THAT(
            ReadText(Handheld("MApplication.xml")),
            AllOf(StartsWith("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<table>\r\n<record>"
                             "<Id>9</Id><MobilApp>0</MobilApp><Step>"),
                  HasSubstr("<TabOrder>9</TabOrder></record>\r\n<record><Id>1</Id>"),
                  EndsWith("<TabOrder>4</TabOrder></record>\r\n</table>\r\n")));
    }
}

// Runs that stop or fail partway, each from the standard export and answer changed as the row
// says: each leaves what the next run needs.
TEST_F(ExchangeRunTest, RunsThatFailPartwayKeepWhatTheNextRunNeeds) {
    const std::string noExport = "I Fehlermeldung beim Mail-Versand der Daten: Fehler bei "
                                 "E-Mail-Verarbeitung (Schritt 10: Datei work/export.mdb kann "
                                 "nicht geöffnet werden: No such file or directory)\n",
                      docked = "C Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang "
                               "fortsetzen?\n",
                      format = "Unrecognized database format 'work/";
    const auto undocked = [&](bool web) {
        fs::remove_all(root_ / "handheld" / "Storage Card");
        view_.Answers = {true};
        ctx_.WebTransfer = web;
    };
    // A database failure rolls the table back with its message and keeps import.mdb.
    const std::string alt = "INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
                            "VALUES(1,1,1,'alt','0')";
    const auto rolledBack = [](const std::string& message) {
        return "E Die Tabelle MAuftrag wurde nicht in work/mobil.mdb übernommen: " + message +
               "\nwork: import.mdb mobil.mdb\nserver: answer.mdb export.md_\ncard: "
               "ExportData.xm_ " +
               kAllTables + "\njobs: 1\n";
    };
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { ctx_.PocketPC = false; }, // the server steps only
         noExport + "work: import.mdb\nserver: answer.mdb\ncard: ExportData.xm_\njobs: Could not "
                    "find file 'work/mobil.mdb'."},
        {[&] { // not docked, the user goes on: nothing to send, the answer is imported
             fs::remove(Handheld("ExportData.xm_"));
             view_.Answers = {true};
         },
         docked + noExport + "work: mobil.mdb\nserver: answer.mdb\ncard: " + kAllTables +
             "\njobs: 12\n"},
        // No card folder: the copies stop, import.mdb stays, the merges run; over the web the
        // failed copy is silent.
        {[&] { undocked(true); },
         docked + "work: mobil.mdb\nserver: answer.mdb\ncard:\njobs: 12\n"},
        {[&] { undocked(false); },
         docked + noExport +
             "I Fehler beim Datenaustausch zwischen Desktop und Pocket-PC (Tabelle "
             "MApplication)\nwork: MApplication.xml import.mdb mobil.mdb\nserver: "
             "answer.mdb\ncard:\njobs: 12\n"},
        {[&] { StandardExport("PPC-8"); },
         "I Bitte schließen Sie das korrekte Gerät an!\nwork: mobil.mdb\nserver: answer.mdb "
         "import.md_\ncard: ExportData.xm_\njobs: 0\n"},
        {[&] { // an answer that does not inflate: the older import.mdb is imported
             fs::rename(Server("answer.mdb"), Work("import.mdb"));
             WriteText(Server("import.md_"), "garbage");
         },
         "I Fehlermeldung beim Mail-Abrufen der Daten: Fehler bei E-Mail-Verarbeitung (Schritt "
         "2: zlib: beschädigte Daten)\nwork: mobil.mdb\nserver: export.md_ "
         "import.md_\ncard: ExportData.xm_ " +
             kAllTables + "\njobs: 12\n"},
        {[&] { WriteText(Server("import.md_"), Deflated("")); },
         "I Die Server-Daten können nicht gelesen werden: " + format +
             "import.mdb'.\nwork: import.mdb=0 mobil.mdb\nserver: answer.mdb export.md_\ncard: "
             "ExportData.xm_\njobs: 0\n"},
        {[&] { ServerAnswer({"DROP TABLE MData"}); }, // its error document stays here
         "I Fehler beim Datenaustausch zwischen Desktop und Pocket-PC (Tabelle MData)\nwork: "
         "MData.xml import.mdb mobil.mdb\nserver: answer.mdb export.md_\ncard: ExportData.xm_ "
         "MApplication.xml MAuftrag.xml\njobs: 12\n"},
        {[&] { WriteText(Work("mobil.mdb"), ""); }, // an empty desktop database is kept
         "E Die Datenbank work/mobil.mdb kann nicht geöffnet werden: " + format +
             "mobil.mdb'.\nI Die Server-Daten wurden nicht in work/mobil.mdb übernommen: " +
             format +
             "mobil.mdb'.\nwork: import.mdb mobil.mdb=0\nserver: answer.mdb "
             "export.md_\ncard: ExportData.xm_ " +
             kAllTables + "\njobs: " + format + "mobil.mdb'."},
        {[&] {
             Seed({alt, "CREATE TRIGGER keep BEFORE DELETE ON MAuftrag BEGIN SELECT RAISE(ABORT, "
                        "'gesperrt'); END"});
         },
         rolledBack("gesperrt")},
        {[&] {
             Seed({alt, "CREATE TRIGGER lost AFTER INSERT ON MAuftrag WHEN NEW.AuftragId=1005 "
                        "BEGIN INSERT INTO Missing VALUES(1); END"});
         },
         rolledBack("no such table: main.Missing")},
    };
    for (const auto& [setup, expected] : cases) {
        SCOPED_TRACE(expected);
        Fresh();
        StandardExport();
        ServerAnswer();
        setup();
        Run();
        EXPECT_EQ(Outcome(), expected);
    }
}

// The run over the web transfer script on the loopback servers, the settings naming no mail
// route: directly, through the proxy as the setting says, and over HTTPS trusting the test CA
// named by device key 19, HTTP carries the export, the waiting photo (with the first run) and
// the answer; a handheld not docked downloads the answer with the zero mark.
TEST_F(ExchangeRunTest, ExportPhotoAndAnswerTravelOverHttpHttpsAndTheProxy) {
    const THttpEnv env;
    ORVENDAL_REQUIRE_HTTP(env);
    settings_.Clear();
    SaveKeyLines({"1=PPC-7", "4=" + Work(""), "7=7", "19=" + Env("ORVENDAL_TEST_CA")}, settings_);
    Seed({"INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status,FeldBlob) "
          "VALUES(500,1000,51,'IMG_0500.jpg','05.12.2026 10:00',1,'1',X'6A706567206279746573')"});
    const std::string http = env.Url + "/transfer.php",
                      https =
                          "https://localhost:" + Env("ORVENDAL_TEST_HTTPS_PORT") + "/transfer.php";
    const std::tuple<std::string, std::string, bool> cases[] = {
        {http, "-", true}, {http, env.Proxy, true}, {https, "", true}, {http, "", false}};
    for (const auto& [address, proxy, docked] : cases) {
        SCOPED_TRACE(address + " " + proxy);
        ctx_.TransferAddress = address;
        ctx_.CurrentProxy = proxy;
        const std::string key = ctx_.DeviceNumber = UniqueKey();
        ServerAnswer(); // as this device's download: only the web server holds an answer
        WriteText(env.Dir + "/download/" + key + ".z", ReadText(Server("import.md_")));
        fs::remove(Server("import.md_"));
        docked ? StandardExport() : void(fs::remove(Handheld("ExportData.xm_")));
        view_.Answers = {true};
        Run();
        const bool viaProxy = proxy.size() > 1;
        const auto downloads = RequestsContaining(env, "?" + key + "&100");
        ASSERT_EQ(downloads.size(), 1u);
        EXPECT_TRUE(downloads[0].Path.ends_with(docked ? "&100" : "&100&0")) << downloads[0].Path;
        EXPECT_EQ(!downloads[0].Via.empty(), viaProxy) << downloads[0].Via;
        EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), "12\n");
        if (!docked)
            continue;
        EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
        auto exports = UploadsWithAgent(env, "_WebTransfer_" + key);
        ASSERT_EQ(exports.size(), 1u);
        EXPECT_EQ(!exports[0].Via.empty(), viaProxy);
        EXPECT_EQ(Count(Unpacked(exports[0].Body, "sent.mdb"), "ExportData"), "6\n");
        if (proxy == "-") {
            auto photos = UploadsWithAgent(env, "_WebTransferB" + key);
            ASSERT_EQ(photos.size(), 1u);
            EXPECT_EQ(
                Dump(Unpacked(photos[0].Body, "photo.mdb"), "MBlob", "Id,CAST(FeldBlob AS TEXT)"),
                "500|jpeg bytes\n");
            EXPECT_EQ(Count(Work("mobil.mdb"), "MBlob", "Id=500 AND Status='3'"), "1\n");
        }
    }
}

} // namespace
} // namespace orvendal::testing
