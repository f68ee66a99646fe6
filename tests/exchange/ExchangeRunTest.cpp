#include "ExchangeFixture.h"

#include "common/MobilDb.h"

#include "exchange/Schema.h"
#include "exchange/ServerSimulator.h"
#include "transport/HttpTestEnv.h"

#include <fstream>
#include <pugixml.hpp>
#include <sstream>

namespace orvendal::testing {
namespace {

using TRow = std::vector<std::pair<std::string, std::string>>;

TRow ExportRow(int id, int auftrag, int feld, const std::string& value) {
    return {{"Id", std::to_string(id)},         {"AuftragId", std::to_string(auftrag)},
            {"FeldId", std::to_string(feld)},   {"FeldValue", value},
            {"Created", "05.12.2026 10:15:00"}, {"Creator", "1"}};
}

TRow WithBlob(TRow row, const std::string& hex) {
    row.insert(row.begin() + 4, {"FeldBlob", hex});
    return row;
}

// The handheld's export file: a packed XML table.
void WriteExport(const std::string& path, const std::vector<TRow>& rows) {
    pugi::xml_document doc;
    pugi::xml_node table = doc.append_child("table");
    for (const TRow& row : rows) {
        pugi::xml_node record = table.append_child("record");
        for (const auto& [name, value] : row) {
            record.append_child(name.c_str()).text().set(value.c_str());
        }
    }
    std::ostringstream xml;
    doc.save(xml, "", pugi::format_raw);
    WriteText(path, Packed(xml.str()));
}

class ExchangeRunTest : public ExchangeFixture {
protected:
    // The simulator's answer, changed by the statements, waiting on the server.
    void ServerAnswer(const std::vector<std::string>& statements = {}) {
        std::string error;
        ASSERT_TRUE(simulator::MakeImportDatabase(Server("answer.mdb"), {}, error)) << error;
        TSQLADOServer db;
        Open(db, Server("answer.mdb"));
        for (const std::string& statement : statements) {
            ASSERT_TRUE(db.ExecSQL(statement)) << statement << ": " << db.LastError;
        }
        db.Disconnect();
        WriteText(Server("import.md_"), Packed(ReadText(Server("answer.mdb"))));
    }
    void StandardExport(const std::string& identity = "PPC-7") {
        simulator::MakeDeviceExport(Handheld("ExportData.xm_"), identity);
    }
    std::string Blob(const std::string& path, const std::string& table, const std::string& where) {
        TSQLADOServer db;
        Open(db, path);
        TMemoryStream out;
        EXPECT_TRUE(db.ReadBlob(table, "FeldBlob", where, out)) << db.LastError;
        return out.AsString();
    }
    void Seed(const std::vector<std::string>& statements) {
        TSQLADOServer db;
        CreateMobil(db, Work("mobil.mdb"));
        for (const std::string& s : statements) {
            ASSERT_TRUE(db.ExecSQL(s)) << s << ": " << db.LastError;
        }
    }
};

// Over a desktop database with SysData rows (replaced only when fewer than three) and photo rows
// that the answer's photo rows change by their status: 2 removes, 1 becomes 0 (or 2 for a row
// sent from 3), a row the answer lacks stays, a new row with status 2 is not taken.
TEST_F(ExchangeRunTest, WholeRunMovesExportAnswerTablesAndMerges) {
    auto photo = [](int id, int job, const std::string& status) {
        return "INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) VALUES(" +
               std::to_string(id) + "," + std::to_string(job) + ",51,'v','01.12.2026',1,'" +
               status + "')";
    };
    for (int sysRows : {2, 3}) {
        SCOPED_TRACE(sysRows);
        fs::remove(Work("mobil.mdb"));
        view_.Status.clear();
        std::vector<std::string> seed = {photo(1, 1000, "0"), photo(2, 1001, "3"),
                                         photo(3, 1002, "0"), photo(9, 1003, "3")};
        for (int i = 1; i <= sysRows; ++i) {
            seed.push_back("INSERT INTO SysData(Id,SysValue) VALUES(" + std::to_string(i) +
                           ",'device')");
        }
        Seed(seed);
        StandardExport();
        ServerAnswer({photo(1, 1000, "2"), photo(2, 1001, "1"), photo(3, 1002, "1"),
                      photo(20, 1004, "1"), photo(21, 1005, "2")});
        Run();

        EXPECT_TRUE(view_.Boxes.empty()) << view_.Boxes.front().Text;
        // The export reached the server, the FeldBlob bytes decoded from hex.
        std::string sent = SentExport();
        EXPECT_EQ(Count(sent, "ExportData"), 6);
        EXPECT_EQ(Blob(sent, "ExportData", "Id=6"),
                  std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
        // Every table file is on the handheld; nothing is left in the working folder.
        for (const std::string& table : schema::ImportTables()) {
            EXPECT_TRUE(fs::exists(Handheld(table + ".xml"))) << table;
            EXPECT_FALSE(fs::exists(Work(table + ".xml"))) << table;
        }
        for (const char* gone : {"import.mdb", "export.mdb", "ExportData.xml"}) {
            EXPECT_FALSE(fs::exists(Work(gone))) << gone;
        }
        EXPECT_TRUE(fs::exists(Handheld("ExportData.xm_")));
        // The merges.
        const std::string mobil = Work("mobil.mdb");
        EXPECT_EQ(Count(mobil, "MAuftrag"), 12);
        EXPECT_EQ(Count(mobil, "MValues", "Class=1005"), 5);
        EXPECT_EQ(Count(mobil, "SysData"), sysRows == 2 ? 4 : 3);
        EXPECT_EQ(Count(mobil, "SysData", "SysValue='device'"), sysRows == 2 ? 0 : 3);
        // Photo rows of the export (Ids 4 and 6), the answer (Ids 100 to 111 and 20) and the seed.
        EXPECT_EQ(Count(mobil, "MBlob"), 18);
        EXPECT_EQ(Count(mobil, "MBlob", "Status='1'"), 0);
        EXPECT_EQ(Count(mobil, "MBlob", "Id in (1,21)"), 0);
        EXPECT_EQ(Count(mobil, "MBlob",
                        "(Id in (3,20) and Status='0') or (Id=2 and Status='2') or "
                        "(Id=9 and Status='3')"),
                  4);
        const std::vector<std::string> expected = {
            "Übertragen der Datenbanken zwischen Desktop und Pocket-PC... - Bitte warten!",
            "Versand der Geräte-Daten... - Bitte warten!",
            "Abruf der Server-Daten... - Bitte warten!",
            "Übertragen der Datenbanken zwischen Desktop und Pocket-PC... - Bitte warten!"};
        EXPECT_EQ(view_.Status, expected);
        // A table file carries its rows in column order.
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(Handheld("MApplication.xml").c_str()));
        pugi::xml_node first = doc.child("table").child("record");
        ASSERT_TRUE(first);
        EXPECT_STREQ(first.first_child().name(), "Id");
        EXPECT_STREQ(first.last_child().name(), "TabOrder");
        EXPECT_EQ(std::distance(doc.child("table").begin(), doc.child("table").end()), 4);
    }
}

TEST_F(ExchangeRunTest, DeviceNotPocketPcTouchesNoDeviceButRunsTheServerSteps) {
    StandardExport();
    ServerAnswer();
    ctx_.PocketPC = false;
    Run();
    EXPECT_FALSE(fs::exists(Work("mobil.mdb")));
    EXPECT_TRUE(fs::exists(Work("import.mdb"))); // fetched, but not imported
    EXPECT_FALSE(fs::exists(Handheld("MAuftrag.xml")));
    ASSERT_EQ(view_.Boxes.size(), 1u)
        << view_.BoxTexts(); // nothing to send: no export.mdb in the working folder
    EXPECT_EQ(view_.Boxes[0].Text.rfind("Fehlermeldung beim Mail-Versand der Daten: Fehler bei "
                                        "E-Mail-Verarbeitung (Schritt 10: ",
                                        0),
              0u)
        << view_.Boxes[0].Text;
}

// Not docked, and the user goes on: there is no export to send, but the answer is fetched and
// copied to the handheld.
TEST_F(ExchangeRunTest, DeviceNotDockedAsksWhetherToGoOn) {
    ServerAnswer();
    view_.Answers = {true};
    Run();
    ASSERT_EQ(view_.Boxes.size(), 2u) << view_.BoxTexts();
    EXPECT_EQ(view_.Boxes[0].Text,
              "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?");
    EXPECT_FALSE(fs::exists(Server("import.md_"))); // read and removed by the fetch
    EXPECT_TRUE(fs::exists(Handheld("MBlob.xml")));
    EXPECT_FALSE(fs::exists(Work("import.mdb")));
}

// Without the handheld there is no export to send: the mail transport says so, and the run goes
// on to the fetch and the import; the web transfer flag keeps the failed table copy silent
// (only the confirmation is shown).
TEST_F(ExchangeRunTest, FailedTableCopyKeepsImportAndStillMerges) {
    fs::remove_all(root_ / "handheld" / "Storage Card");
    for (bool web : {true, false}) {
        SCOPED_TRACE(web);
        fs::remove(Work("import.mdb"));
        fs::remove(Work("MApplication.xml"));
        view_.Boxes.clear();
        ServerAnswer();
        ctx_.WebTransfer = web;
        view_.Answers = {true};
        Run();
        ASSERT_EQ(view_.Boxes.size(), web ? 1u : 3u) << view_.BoxTexts();
        for (const std::string& table : schema::ImportTables()) {
            EXPECT_EQ(fs::exists(Work(table + ".xml")), !web && table == "MApplication") << table;
        }
        EXPECT_EQ(fs::exists(Work("import.mdb")), !web);
        EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), 12);
    }
    EXPECT_EQ(view_.Boxes[1].Text.rfind("Fehlermeldung beim Mail-Versand der Daten: ", 0), 0u);
    EXPECT_EQ(view_.Boxes[2].Text,
              "Fehler beim Datenaustausch zwischen Desktop und Pocket-PC (Tabelle MApplication)");
}

TEST_F(ExchangeRunTest, WrongDeviceSendsAndFetchesNothing) {
    StandardExport("PPC-8");
    ServerAnswer();
    Run();
    ASSERT_EQ(view_.Boxes.size(), 1u) << view_.BoxTexts();
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Information);
    EXPECT_EQ(view_.Boxes[0].Text, "Bitte schließen Sie das korrekte Gerät an!");
    EXPECT_FALSE(fs::exists(Server("export.md_")));
    EXPECT_TRUE(fs::exists(Server("import.md_")));
    EXPECT_FALSE(fs::exists(Work("export.mdb")));
}

// The rows go in as one bulk load: FeldBlob hex becomes bytes, text is stored exactly, photo
// fields reach MBlob; a refused row (a bad number, a doubled Id) shows its box and the rows
// after it still arrive, in "export.mdb" and as photo rows in "mobil.mdb".
TEST_F(ExchangeRunTest, ExportRowsArriveExactlyAndBadRowsRefuseOnlyThemselves) {
    const std::string awkward = "O'Neil sagt \"Grüß Gott\" & <mehr>\r\nZeile 2 – Maß";
    TRow badId = ExportRow(0, 1000, 10, "a"), badFeld = ExportRow(7, 1000, 0, "b");
    badId[0].second = "x1";
    badFeld[2].second = "1; DROP TABLE ExportData";
    WriteExport(Handheld("ExportData.xm_"),
                {ExportRow(1, 0, 0, "PPC-7"), WithBlob(ExportRow(2, 1000, 55, "IMG_1.jpg"), "0A1b"),
                 WithBlob(ExportRow(3, 1000, 40, "doc"), "fF0"), ExportRow(4, 1000, 51, "815"),
                 ExportRow(6, 1000, 10, awkward), badId, badFeld, ExportRow(6, 1000, 51, "doubled"),
                 ExportRow(5, 1000, 52, "after")});
    Run();
    ASSERT_EQ(view_.Boxes.size(), 3u) << view_.BoxTexts();
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(view_.Boxes[2].Text, "UNIQUE constraint failed: ExportData.Id");
    const std::string sent = SentExport(), mobil = Work("mobil.mdb");
    EXPECT_EQ(Count(sent, "ExportData"), 6);
    EXPECT_EQ(Blob(sent, "ExportData", "Id=2"), std::string("\x0A\x1B", 2));
    EXPECT_EQ(Blob(sent, "ExportData", "Id=3"), std::string("\xFF", 1)); // odd digit ignored
    EXPECT_EQ(Count(sent, "ExportData", "Id=5 and FeldValue='after'"), 1);
    EXPECT_EQ(Count(mobil, "MBlob",
                    "(Id=2 and FeldValue='IMG_1.jpg' and Status='0') or (Id=4 and FeldId=51) or "
                    "(Id=5 and FeldValue='after')"),
              3);
    EXPECT_EQ(Count(mobil, "MBlob", "Id=3"), 0); // field 40 is no photo field
    // The text exactly, its apostrophe doubled for the query.
    EXPECT_EQ(Count(sent, "ExportData", "Id=6 and FeldValue='O''" + awkward.substr(2) + "'"), 1);
}

TEST_F(ExchangeRunTest, AnswerThatDoesNotInflateLeavesTheOldImportToBeImported) {
    std::string error;
    ASSERT_TRUE(simulator::MakeImportDatabase(Work("import.mdb"), {}, error)) << error;
    std::ofstream(Server("import.md_")) << "garbage";
    StandardExport();
    Run();
    ASSERT_EQ(view_.Boxes.size(), 1u) << view_.BoxTexts();
    EXPECT_EQ(view_.Boxes[0].Text.rfind("Fehlermeldung beim Mail-Abrufen der Daten: Fehler bei "
                                        "E-Mail-Verarbeitung (Schritt 2: ",
                                        0),
              0u)
        << view_.Boxes[0].Text;
    EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), 12); // the older answer was imported
    EXPECT_FALSE(fs::exists(Work("import.mdb")));
}

// The handheld's table files before the import, to tell which ones it replaced.
class ExchangeImportTest : public ExchangeRunTest {
protected:
    void SetUp() override {
        ExchangeRunTest::SetUp();
        for (const std::string& table : schema::ImportTables()) {
            WriteText(Handheld(table + ".xml"), "old");
        }
    }
    // The tables whose handheld file is still the old one, in copy order.
    std::vector<std::string> OldTables() {
        std::vector<std::string> old;
        for (const std::string& table : schema::ImportTables()) {
            if (ReadText(Handheld(table + ".xml")) == "old") {
                old.push_back(table);
            }
        }
        return old;
    }
    // An answer whose MAuftrag takes any row, so that the desktop may refuse some.
    void LooseJobsAnswer(const std::vector<std::string>& values) {
        std::vector<std::string> statements = {
            "DROP TABLE MAuftrag",
            "CREATE TABLE MAuftrag (AuftragId INT,Project SMALLINT,MobilApp SMALLINT,AuftragBez "
            "VARCHAR(255),Status CHAR(1),Termin SMALLDATETIME,Route VARCHAR(25))"};
        for (const std::string& v : values) {
            statements.push_back(
                "INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) VALUES(" + v +
                ")");
        }
        ServerAnswer(statements);
    }
};

TEST_F(ExchangeImportTest, EmptyAnswerIsNoDatabaseAndReplacesNoTableFile) {
    WriteText(Server("import.md_"), Packed(""));
    StandardExport();
    Run();
    EXPECT_EQ(OldTables(), schema::ImportTables());
    EXPECT_TRUE(BoxShown(TMsgKind::Information,
                         "Die Server-Daten können nicht gelesen werden: Unrecognized database "
                         "format '" +
                             Work("import.mdb") + "'."))
        << view_.BoxTexts();
    EXPECT_EQ(fs::file_size(Work("import.mdb")), 0u);
}

TEST_F(ExchangeImportTest, TableWhoseQueryFailsIsAFailedCopy) {
    ServerAnswer({"DROP TABLE MData"});
    StandardExport();
    Run();
    const std::vector<std::string> old(schema::ImportTables().begin() + 2,
                                       schema::ImportTables().end());
    ASSERT_EQ(old.front(), "MData");
    EXPECT_EQ(OldTables(), old) << "the copies stop at the failed table";
    EXPECT_EQ(view_.BoxTexts(),
              "Fehler beim Datenaustausch zwischen Desktop und Pocket-PC (Tabelle MData)\n");
    EXPECT_TRUE(fs::exists(Work("import.mdb")));
    EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), 12) << "the merges still run";
}

TEST_F(ExchangeImportTest, EmptyDesktopDatabaseIsReportedAndKept) {
    std::ofstream(Work("mobil.mdb")).flush();
    StandardExport();
    ServerAnswer();
    Run();
    const std::string format = "Unrecognized database format '" + Work("mobil.mdb") + "'.";
    EXPECT_TRUE(BoxShown(TMsgKind::Error, "Die Datenbank " + Work("mobil.mdb") +
                                              " kann nicht geöffnet werden: " + format))
        << view_.BoxTexts();
    EXPECT_TRUE(BoxShown(TMsgKind::Information, "Die Server-Daten wurden nicht in " +
                                                    Work("mobil.mdb") + " übernommen: " + format))
        << view_.BoxTexts();
    EXPECT_EQ(fs::file_size(Work("mobil.mdb")), 0u);
    EXPECT_TRUE(fs::exists(Work("import.mdb")));
}

// Rows the desktop refuses (no name, a doubled number) are skipped and the rest merged; a
// database failure rolls the table back with its message and keeps import.mdb.
TEST_F(ExchangeImportTest, RefusedRowsAreSkippedAndAFailureRollsTheTableBack) {
    struct {
        const char* trigger;
        const char* message;
    } const cases[] = {
        {"SELECT 1", ""},
        {"CREATE TRIGGER keep BEFORE DELETE ON MAuftrag BEGIN SELECT RAISE(ABORT, 'gesperrt'); "
         "END",
         "gesperrt"},
        {"CREATE TRIGGER lost AFTER INSERT ON MAuftrag WHEN NEW.AuftragId=20 BEGIN INSERT INTO "
         "Missing VALUES(1); END",
         "no such table: main.Missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trigger);
        fs::remove(Work("mobil.mdb"));
        fs::remove(Work("import.mdb"));
        view_.Boxes.clear();
        Seed({"INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
              "VALUES(1,1,1,'alt','0')",
              c.trigger});
        LooseJobsAnswer({"30,1,1,'neu 30','0'", "10,1,1,null,'0'", "20,1,1,'neu 20','0'",
                         "30,1,1,'doppelt','0'"});
        StandardExport();
        Run();
        const bool failed = *c.message != '\0';
        EXPECT_EQ(view_.BoxTexts(), failed
                                        ? "Die Tabelle MAuftrag wurde nicht in " +
                                              Work("mobil.mdb") + " übernommen: " + c.message + "\n"
                                        : "");
        const std::string mobil = Work("mobil.mdb");
        EXPECT_EQ(Count(mobil, "MAuftrag", "AuftragId=1"), failed ? 1 : 0);
        EXPECT_EQ(Count(mobil, "MAuftrag", "AuftragId=20 or AuftragBez='neu 30'"), failed ? 0 : 2);
        EXPECT_EQ(Count(mobil, "MAuftrag"), failed ? 1 : 2);
        EXPECT_EQ(fs::exists(Work("import.mdb")), failed);
    }
}

// The same run over the web transfer script on the loopback server: the probe answers, so the
// HTTP transport carries the export, the waiting photo and the answer.
class ExchangeHttpTest : public ExchangeRunTest {
protected:
    void SetUp() override {
        ExchangeRunTest::SetUp();
        ORVENDAL_REQUIRE_HTTP(env);
        ctx_.TransferAddress = env.Url + "/transfer.php";
        ctx_.DeviceNumber = key;
    }
    // The answer database, packed, as this device's download.
    void HttpAnswer() {
        ServerAnswer();
        WriteText(env.Dir + "/download/" + key + ".z", ReadText(Server("import.md_")));
        fs::remove(Server("import.md_")); // only the web server holds an answer
    }
    std::vector<TRequest> Downloads() { return RequestsContaining(env, "?" + key + "&100"); }

    THttpEnv env = HttpEnv();
    std::string key = UniqueKey();
};

TEST_F(ExchangeHttpTest, AHandheldNotDockedDownloadsWithTheZeroMark) {
    HttpAnswer();
    view_.Answers = {true};
    Run();
    ASSERT_EQ(Downloads().size(), 1u);
    EXPECT_TRUE(Downloads()[0].Path.ends_with("?" + key + "&100&0")) << Downloads()[0].Path;
    EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), 12);
}

// Directly and through the proxy, as the setting says: the export, the waiting photo (with the
// first run) and the answer travel over HTTP, not over the mail transport.
TEST_F(ExchangeHttpTest, ExportPhotoAndAnswerTravelOverHttpOnTheProxyRoute) {
    // A photo row of mobil.mdb that waits to be sent.
    Seed({"INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status,FeldBlob) "
          "VALUES(500,1000,51,'IMG_0500.jpg','05.12.2026 10:00',1,'1',X'6A706567206279746573')"});
    const std::pair<std::string, bool> cases[] = {{"-", false}, {env.Proxy, true}};
    for (const auto& [proxy, viaProxy] : cases) {
        SCOPED_TRACE(proxy);
        key = UniqueKey();
        ctx_.DeviceNumber = key;
        ctx_.CurrentProxy = proxy;
        StandardExport();
        HttpAnswer();
        Run();
        EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
        ASSERT_EQ(Downloads().size(), 1u);
        EXPECT_EQ(!Downloads()[0].Via.empty(), viaProxy) << Downloads()[0].Via;
        EXPECT_FALSE(Downloads()[0].Path.ends_with("&0"));
        auto exports = UploadsWithAgent(env, "_WebTransfer_" + key);
        ASSERT_EQ(exports.size(), 1u);
        EXPECT_EQ(!exports[0].Via.empty(), viaProxy);
        EXPECT_EQ(Count(Unpacked(exports[0].Body, "sent.mdb"), "ExportData"), 6);
        EXPECT_TRUE(fs::exists(Handheld("MAuftrag.xml")));
        EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), 12);
        EXPECT_FALSE(fs::exists(Server("export.md_")));
        if (!viaProxy) {
            auto photos = UploadsWithAgent(env, "_WebTransferB" + key);
            ASSERT_EQ(photos.size(), 1u);
            EXPECT_EQ(Blob(Unpacked(photos[0].Body, "photo.mdb"), "MBlob", "Id=500"), "jpeg bytes");
            EXPECT_EQ(Count(Work("mobil.mdb"), "MBlob", "Id=500 AND Status='3'"), 1);
        }
    }
}

// Over HTTPS the run trusts the test CA through device key 19; without the mail keys, an
// answer can only have come over HTTPS.
TEST_F(ExchangeHttpTest, ExportAndAnswerTravelOverHttpsWithTheCaOfKey19) {
    settings_.Clear();
    SaveKeyLines({"1=PPC-7", "4=" + Work(""), "7=7", "19=" + Env("ORVENDAL_TEST_CA")}, settings_);
    ctx_.TransferAddress = "https://localhost:" + Env("ORVENDAL_TEST_HTTPS_PORT") + "/transfer.php";
    StandardExport();
    HttpAnswer();
    Run();
    EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
    ASSERT_EQ(UploadsWithAgent(env, "_WebTransfer_" + key).size(), 1u);
    EXPECT_EQ(Count(Work("mobil.mdb"), "MAuftrag"), 12);
}

} // namespace
} // namespace orvendal::testing
