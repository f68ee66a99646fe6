// The data exchange as orvendal-cli runs it for an office: every device with a JSON report, and
// the lock that keeps two runs off one device. The devices use the folder-backed handheld and
// the file-mode mail transport through shared folders. (The packaging test runs the demo.)

#include "AppFixture.h"

#include "db/SQLADO.h"
#include "exchange/ServerSimulator.h"

#include <nlohmann/json.hpp>

#include <poll.h>
#include <regex>

namespace orvendal::testing {
namespace {

using nlohmann::json;

int Count(const std::string& file, const std::string& table, const std::string& where = "") {
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = file;
    return db.Connect() ? db.CountRows(table, where) : -1;
}

// Each device x gets a shared folder server/x/ holding the server's packed answer, and its
// export on the handheld when it is docked.
class ExchangeCliTest : public TOfficeTest {
protected:
    void SetUp() override {
        TOfficeTest::SetUp();
        std::string error;
        ASSERT_TRUE(simulator::MakeImportDatabase(answer, {}, error)) << error;
    }
    void Device(const std::string& x, const std::string& number, const std::string& name,
                bool docked, const std::string& reply, int transferPort = 1) {
        const std::string server = Path("server/" + x + "/");
        TOfficeTest::Device(x, number, name,
                            {"8=http://127.0.0.1:" + std::to_string(transferPort) + "/",
                             "14=localhost", "28=" + server + "export%s.md_",
                             "78=" + server + "import%s.md_"});
        if (docked) {
            simulator::MakeDeviceExport(Path("handheld/" + x + "/ExportData.xm_"), "PPC-" + x);
        }
        fs::create_directories(server);
        WriteText(server + "import.md_", Deflated(reply));
    }
    const std::string answer = Path("answer.mdb");
};

// One good device, one not docked (skipped with --no), one whose server answer is no database:
// each runs, the report tells each apart, and the exit code says that not all went well.
TEST_F(ExchangeCliTest, AllDevicesRunInListOrderWithAReportEach) {
    Device("a", "101", "Gut", true, ReadText(answer));
    Device("b", "102", "Abgedockt", false, ReadText(answer));
    Device("c", "103", "Kaputt", true, "keine Datenbank");
    TRun run = Cli("--no exchange --all --json");
    EXPECT_EQ(run.Code, 1) << run.Err;
    const json report = json::parse(run.Out); // stdout holds the report alone
    ASSERT_EQ(report["devices"].size(), 3u);

    json devices = report["devices"];
    for (json& device : devices) { // when each ran varies; that it is told does not
        EXPECT_TRUE(std::regex_match(device["start"].get<std::string>(),
                                     std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
        EXPECT_GE(device["duration_ms"], 0);
        device.erase("start"), device.erase("duration_ms");
    }
    WriteText(Path("sent.mdb"), Inflated(ReadText(Path("server/a/export.md_"))));
    const int exported = Count(Path("sent.mdb"), "ExportData");
    EXPECT_GT(exported, 0);
    json merged = {{"SysData", Count(answer, "SysData", "Id>7")}};
    for (const char* table : {"MAuftrag", "MBlob", "MValues"}) {
        merged[table] = Count(answer, table);
    }
    const std::string unread = "Die Server-Daten können nicht gelesen werden: ";
    json& text = devices[2]["messages"][0]["text"];
    EXPECT_TRUE(text.get<std::string>().starts_with(unread)) << text;
    text = unread;
    json expected = json::parse(R"([{"number": "101", "name": "Gut", "outcome": "ok",
        "transport": "Mail", "tables_written": 9, "rows_refused": 0, "photos_sent": 0,
        "messages": []}, {"number": "102", "name": "Abgedockt", "outcome": "skipped",
        "transport": "", "rows_exported": 0, "tables_written": 0, "rows_merged": {},
        "rows_refused": 0, "photos_sent": 0, "messages": [{"kind": "confirmation", "answer": false,
        "text": "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?"}]},
        {"number": "103", "name": "Kaputt", "outcome": "failed", "transport": "Mail",
        "tables_written": 0, "rows_merged": {}, "rows_refused": 0, "photos_sent": 0, "messages":
        [{"kind": "information", "text": "Die Server-Daten können nicht gelesen werden: "}]}])");
    expected[0]["rows_exported"] = expected[2]["rows_exported"] = exported;
    expected[0]["rows_merged"] = merged;
    EXPECT_EQ(devices, expected);
    for (const char* line : {"Gut (101): erfolgreich\n", "Abgedockt (102): übersprungen\n",
                             "Kaputt (103): fehlgeschlagen\n"}) {
        EXPECT_NE(run.Err.find(std::string("Zusammenfassung für das Gerät ") + line),
                  std::string::npos)
            << line << run.Err;
    }
}

// The transfer server, a loopback socket here, holds the first run's probe while a second run
// on the same device fails at once; the first then falls back to mail and completes.
TEST_F(ExchangeCliTest, ASecondRunOnTheSameDeviceFailsAtOnce) {
    int port = 0;
    const int listener = Listen(port);
    Device("a", "101", "Gut", true, ReadText(answer), port);
    TProcess first = Start("exchange 101");
    pollfd waiting{listener, POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, 20000), 1) << "the first run never asked the transfer server";
    const int probe = accept(listener, nullptr, nullptr);
    TRun second = Start("exchange 101").Wait(20);
    EXPECT_EQ(second.Code, 1);
    EXPECT_NE(second.Err.find("Fehler: Für das Gerät Gut läuft bereits ein Datenaustausch.\n"),
              std::string::npos)
        << second.Err;
    close(probe);
    close(listener);
    TRun run = first.Wait();
    EXPECT_EQ(run.Code, 0) << run.Err;
}

} // namespace
} // namespace orvendal::testing
