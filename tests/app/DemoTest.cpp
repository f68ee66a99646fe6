// The data exchange as orvendal-cli runs it end to end: the demo, every device of an office
// with a JSON report, and the lock that keeps two runs off one device. Devices use the
// folder-backed handheld and the file-mode mail transport through a shared folder.

#include "AppFixture.h"

#include "db/SQLADO.h"
#include "exchange/ServerSimulator.h"
#include "transport/MailFixture.h"

#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>

namespace orvendal::testing {
namespace {

const std::string NotDocked =
    "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?";

TEST(DemoTest, RunsTheExchangeEndToEndInAFreshSandbox) {
    TTempFolder folder;
    TRun run = RunProgram("orvendal-cli", "demo " + folder.File("sandbox"));
    EXPECT_EQ(run.Code, 0) << run.Err;
    for (const char* line :
         {"Der Datenaustausch für das Gerät Demo-Gerät Kassel ist erfolgt!\n",
          "Zusammenfassung für das Gerät Demo-Gerät Kassel (4711): erfolgreich\n",
          "  Tabellen auf das Gerät:       9 von 9\n"}) {
        EXPECT_NE(run.Err.find(line), std::string::npos) << line << run.Err;
    }
    EXPECT_TRUE(fs::exists(folder.File("sandbox/handheld/Storage Card/MAuftrag.xml")));
}

int Count(const std::string& file, const std::string& table, const std::string& where = "") {
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = file;
    return db.Connect() ? db.CountRows(table, where) : -1;
}

class ExchangeCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        setenv("ORVENDAL_DEVICE_ROOT", folder.File("handheld").c_str(), 1);
        fs::create_directories(folder.File("program"));
        std::string error;
        ASSERT_TRUE(simulator::MakeImportDatabase(answer, {}, error)) << error;
    }
    void TearDown() override { unsetenv("ORVENDAL_DEVICE_ROOT"); }

    // Device x with its folder "\x\" on the handheld (with its export when docked), its working
    // folder work/x/ and its shared folder server/x/ holding the server's packed answer.
    void Device(const std::string& x, const std::string& number, const std::string& name,
                bool docked, const std::string& answerBytes,
                const std::string& transfer = "http://127.0.0.1:1/") {
        const std::string server = folder.File("server/" + x + "/");
        fs::create_directories(server);
        fs::create_directories(folder.File("handheld/" + x));
        WriteSettings(folder.File("program/" + x + ".ini"),
                      DeviceLines("PPC-" + x, name, number,
                                  {"3=\\" + x + "\\", "4=" + folder.File("work/" + x + "/"),
                                   "8=" + transfer, "14=localhost", "28=" + server + "export%s.md_",
                                   "78=" + server + "import%s.md_"}));
        if (docked) {
            simulator::MakeDeviceExport(folder.File("handheld/" + x + "/ExportData.xm_"),
                                        "PPC-" + x);
        }
        WriteText(server + "import.md_", Deflated(answerBytes));
    }
    TProcess Exchange(const std::string& args) {
        return TProcess("orvendal-cli", "--program-dir '" + folder.File("program") + "' --no " +
                                            "exchange " + args);
    }

    TTempFolder folder;
    const std::string answer = folder.File("answer.mdb");
};

// One good device, one not docked (skipped with --no), one whose server answer is no database:
// each runs, the report tells each apart, and the exit code says that not all went well.
TEST_F(ExchangeCliTest, AllDevicesRunInListOrderWithAReportEach) {
    Device("a", "101", "Gut", true, ReadText(answer));
    Device("b", "102", "Abgedockt", false, ReadText(answer));
    Device("c", "103", "Kaputt", true, "keine Datenbank");
    TRun run = Exchange("--all --json").Wait();
    EXPECT_EQ(run.Code, 1) << run.Err;
    const auto report = nlohmann::json::parse(run.Out); // stdout holds the report alone
    ASSERT_EQ(report["devices"].size(), 3u);
    const auto &a = report["devices"][0], &b = report["devices"][1], &c = report["devices"][2];

    const std::string sent = folder.File("sent.mdb"), mobil = folder.File("work/a/mobil.mdb");
    WriteText(sent, Inflated(ReadText(folder.File("server/a/export.md_"))));
    EXPECT_EQ(a["number"], "101");
    EXPECT_EQ(a["name"], "Gut");
    EXPECT_TRUE(std::regex_match(a["start"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    EXPECT_GE(a["duration_ms"], 0);
    EXPECT_EQ(a["outcome"], "ok");
    EXPECT_EQ(a["transport"], "Mail");
    EXPECT_EQ(a["rows_exported"], Count(sent, "ExportData"));
    EXPECT_GT(a["rows_exported"], 0);
    EXPECT_EQ(a["tables_written"], 9);
    for (const char* table : {"MAuftrag", "MValues", "MBlob"}) {
        EXPECT_EQ(a["rows_merged"][table], Count(answer, table)) << table;
    }
    EXPECT_EQ(a["rows_merged"]["SysData"], Count(answer, "SysData", "Id>7"));
    EXPECT_EQ(Count(mobil, "MAuftrag"), Count(answer, "MAuftrag"));
    EXPECT_TRUE(fs::exists(folder.File("handheld/a/MAuftrag.xml")));
    EXPECT_EQ(a["rows_refused"], 0);
    EXPECT_EQ(a["photos_sent"], 0);
    EXPECT_EQ(a["messages"], nlohmann::json::array());

    EXPECT_EQ(b["number"], "102");
    EXPECT_EQ(b["outcome"], "skipped");
    EXPECT_EQ(b["transport"], "");
    EXPECT_EQ(b["rows_exported"], 0);
    EXPECT_EQ(b["messages"], nlohmann::json::parse(R"([{"kind": "confirmation", "text": ")" +
                                                   NotDocked + R"(", "answer": false}])"));

    EXPECT_EQ(c["outcome"], "failed");
    EXPECT_EQ(c["rows_exported"], a["rows_exported"]);
    EXPECT_EQ(c["tables_written"], 0);
    ASSERT_EQ(c["messages"].size(), 1u);
    EXPECT_EQ(c["messages"][0]["kind"], "information");
    EXPECT_TRUE(c["messages"][0]["text"].get<std::string>().starts_with(
        "Die Server-Daten können nicht gelesen werden: "))
        << c["messages"][0]["text"];
    EXPECT_FALSE(fs::exists(folder.File("handheld/c/MAuftrag.xml")));
    for (const char* line : {"Gut (101): erfolgreich\n", "Abgedockt (102): übersprungen\n",
                             "Kaputt (103): fehlgeschlagen\n"}) {
        EXPECT_NE(run.Err.find(std::string("Zusammenfassung für das Gerät ") + line),
                  std::string::npos)
            << line << run.Err;
    }
}

// The first run waits inside its exchange while the transfer server, a loopback socket here,
// holds its probe; a second run on the same device meanwhile fails at once, and the first then
// falls back to mail and completes.
TEST_F(ExchangeCliTest, ASecondRunOnTheSameDeviceFailsAtOnce) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    Device("a", "101", "Gut", true, ReadText(answer),
           "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/");
    TProcess first = Exchange("101");
    pollfd waiting{listener, POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, 20000), 1) << "the first run never asked the transfer server";
    const int probe = accept(listener, nullptr, nullptr);
    TRun second = Exchange("101").Wait(20);
    EXPECT_EQ(second.Code, 1);
    EXPECT_NE(second.Err.find("Fehler: Für das Gerät Gut läuft bereits ein Datenaustausch.\n"),
              std::string::npos)
        << second.Err;
    close(probe);
    close(listener);
    TRun run = first.Wait();
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_TRUE(fs::exists(folder.File("handheld/a/MAuftrag.xml")));
}

} // namespace
} // namespace orvendal::testing
