// Support dispatch and manual update as orvendal-cli runs them: a folder-backed handheld, the
// device list and the manual on a loopback HTTP server, the support mail on the loopback SMTP
// server; exit code 0 only for a run without a failed step.

#include "AppFixture.h"

#include "device/DeviceSandbox.h"
#include "transport/MailFixture.h"

#include <vmime/vmime.hpp>

#include <algorithm>
#include <optional>
#include <sstream>

namespace orvendal::testing {
namespace {

const std::string SupportAddress = "support@orvendal.example";
const std::string Copying = "Übertragen der Datenbank des Pocket-PC... - Bitte warten!";
const std::string Sending = "Versand der Geräte-Daten";
const std::string SupportDone =
    "Der Versand der Datenbank für das Gerät Kundendienst Nord an den Support ist erfolgt!";
const std::string SendFailed = "Information: Fehlermeldung beim Versand der Daten: Fehler bei "
                               "E-Mail-Verarbeitung (Schritt 10: ";
const std::string NotDocked =
    "Frage: Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen? -> ";
const std::string OnlyPocketPC =
    "Warnung: Dieser Programmteil steht nur für Pocket-PC zur Verfügung!";
const std::string ManualRunning = "Update des Handbuches für Gasgeräte läuft... - Bitte warten!";
const std::string ManualDone = "Das Update des Gasgeräte-Handbuches ist erfolgt!";
const std::string OldManual = "altes Handbuch";

// stderr lines, each cut to the length of its expected start.
Lines Starts(const std::string& err, const Lines& expected) {
    Lines lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        const size_t i = lines.size();
        lines.push_back(i < expected.size() && line.starts_with(expected[i]) ? expected[i] : line);
    }
    return lines;
}

// Device 301 "Kundendienst Nord" on a settings server; its handheld keeps its files on
// "\Storage Card\" with its database and an old manual, its working folder is box.Desktop.
class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running()) << "python3 http.server did not answer on loopback";
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        setenv("ORVENDAL_MANUAL_URL", (server.Url() + "download/vavid.zip").c_str(), 1);
        WriteSettings(program.SettingsFile(),
                      {"5=" + server.Url() + "devices.xml", "6=" + server.Url() + "geraet%d.ini"});
        fs::create_directories(site.File("download"));
        WriteText(box.Card("VAVID.sdf"), OldManual);
        WriteBytes(box.Card("mobil.sdf"), database);
    }
    void TearDown() override { unsetenv("ORVENDAL_MANUAL_URL"); }

    // Publishes the device list (without a type column when type is unset) and the settings.
    void Device(const std::optional<std::string>& type, const Lines& extra = {}) {
        WriteText(site.File("devices.xml"),
                  "<table><row><Id>PPC-301</Id><Name>Kundendienst Nord</Name><Nr>301</Nr>" +
                      (type ? "<Typ>" + *type + "</Typ>" : "") + "</row></table>");
        Lines keys = {"3=\\Storage Card\\", "4=" + box.Desktop.string() + "/"};
        keys.insert(keys.end(), extra.begin(), extra.end());
        WriteSettings(site.File("geraet301.ini"),
                      DeviceLines("PPC-301", "Kundendienst Nord", "301", keys));
    }
    TRun Cli(const std::string& args) {
        return RunProgram("orvendal-cli", "--program-dir '" + program.Path() + "' " + args);
    }

    TDeviceSandbox box;
    TProgramFolder program;
    TTempFolder site;
    THttpServer server{site.Path()};
    const std::vector<uint8_t> database = Pattern(70000, 9);
};

// The dispatch through the loopback SMTP server, which stores every message it receives.
class SupportTest : public MaintenanceTest {
protected:
    void SetUp() override {
        MaintenanceTest::SetUp();
        if (Env("ORVENDAL_TEST_SMTP").empty()) {
            GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
        }
        for (const auto& entry : fs::directory_iterator(Env("ORVENDAL_TEST_SMTP_DIR"))) {
            fs::remove(entry.path());
        }
    }
    // The device's usual, copy and blind-copy recipients must not receive the support mail.
    void MailDevice(const std::optional<std::string>& type, const std::string& smtp) {
        Device(type, {"10=Orvendal", "14=" + smtp, "25=geraet301@orvendal.example",
                      "28=zentrale@orvendal.example", "30=Gesendet von Gerät 301", "32=no",
                      "33=blind@orvendal.example", "35=kopie@orvendal.example"});
    }
    Lines StoredMails() const {
        Lines mails;
        for (const auto& entry : fs::directory_iterator(Env("ORVENDAL_TEST_SMTP_DIR"))) {
            mails.push_back(ReadText(entry.path()));
        }
        return mails;
    }
    TMailServersLock lock; // the SMTP folder is shared with the other mail tests
};

TEST_F(SupportTest, MailsTheHandheldDatabaseToTheSupportMailboxOnly) {
    MailDevice("4", Env("ORVENDAL_TEST_SMTP"));
    TRun run = Cli("support 301");
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(Starts(run.Err, {}), (Lines{Copying, Sending, SupportDone}));
    const Lines mails = StoredMails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].find("X-Envelope-To: " + SupportAddress + "\r\n"), std::string::npos);
    auto message = vmime::make_shared<vmime::message>();
    message->parse(mails[0]);
    auto to = message->getHeader()->To()->getValue<vmime::addressList>()->toMailboxList();
    ASSERT_EQ(to->getMailboxCount(), 1u);
    EXPECT_EQ(to->getMailboxAt(0)->getEmail().toString(), SupportAddress);
    EXPECT_FALSE(message->getHeader()->hasField(vmime::fields::CC));
    vmime::messageParser parser(message);
    std::string body, attachment;
    vmime::utility::outputStreamStringAdapter bodyOut(body), attachmentOut(attachment);
    parser.getTextPartAt(0)->getText()->extract(bodyOut);
    EXPECT_EQ(body, "In der Anlage ist die mobile Datenbank des Gerätes enthalten.\r\n"
                    "Gesendet von Gerät 301");
    ASSERT_EQ(parser.getAttachmentCount(), 1u);
    parser.getAttachmentAt(0)->getData()->extract(attachmentOut);
    EXPECT_TRUE(Inflated(attachment) == std::string(database.begin(), database.end()));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{}); // copy and packed file are gone
}

struct SupportCase {
    const char* Name;
    std::optional<std::string> Type; // unset: the device list has no type column
    const char* Options;
    bool Docked, ServerUp;
    Lines Err;
};
void PrintTo(const SupportCase& c, std::ostream* os) {
    *os << c.Name;
}

class SupportFailureTest : public SupportTest, public ::testing::WithParamInterface<SupportCase> {};

// Whatever stops the dispatch, nothing is sent, the handheld keeps its database, nothing stays
// on the desktop, and the exit code is 1.
TEST_P(SupportFailureTest, SendsNothingAndEndsWithExitCode1) {
    const SupportCase& c = GetParam();
    MailDevice(c.Type, c.ServerUp ? Env("ORVENDAL_TEST_SMTP")
                                  : "127.0.0.1:" + std::to_string(FreeLoopbackPort()));
    if (!c.Docked) {
        unsetenv("ORVENDAL_DEVICE_ROOT"); // the handheld is taken out of its cradle
    }
    TRun run = Cli(std::string(c.Options) + " support 301");
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(Starts(run.Err, c.Err), c.Err) << run.Err;
    EXPECT_EQ(StoredMails().size(), 0u);
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
    EXPECT_EQ(ReadBytes(box.Card("mobil.sdf")), database);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SupportFailureTest,
    ::testing::Values(
        SupportCase{"UndockedGoOn",
                    "4",
                    "--yes",
                    false,
                    true,
                    {Copying, NotDocked + "Ja", Sending, SendFailed, SupportDone}},
        SupportCase{
            "UndockedStop", "3", "--no", false, true, {Copying, NotDocked + "Nein", SupportDone}},
        SupportCase{
            "ServerDown", "5", "", true, false, {Copying, Sending, SendFailed, SupportDone}},
        SupportCase{"NotAPocketPC", "1", "", true, true, {OnlyPocketPC}},
        SupportCase{"NoTypeColumn", std::nullopt, "", true, true, {OnlyPocketPC}}),
    [](const auto& info) { return std::string(info.param.Name); });

enum class Fault {
    None,
    Unreachable,
    Missing,
    ZipArchive,
    Truncated,
    Empty,
    WorkFileIsFolder,
    Undocked
};

struct ManualCase {
    const char* Name;
    std::optional<std::string> Type;
    Fault Where;
    int Step; // of the failure; -1: none
};
void PrintTo(const ManualCase& c, std::ostream* os) {
    *os << c.Name;
}

class ManualTest : public MaintenanceTest, public ::testing::WithParamInterface<ManualCase> {};

// The manual is published as download/vavid.zip. Every failure ends in the status line with the
// step that failed and exit code 1; the handheld then keeps its old manual.
TEST_P(ManualTest, ReplacesTheManualOrNamesTheFailedStep) {
    const ManualCase& c = GetParam();
    Device(c.Type);
    const std::vector<uint8_t> manual = Pattern(300000, 5);
    const std::string packed = Deflated(std::string(manual.begin(), manual.end()));
    const std::map<Fault, std::string> published = {
        {Fault::ZipArchive, std::string("PK\x03\x04\x14\x00", 6) + "VAVID.sdf" + packed},
        {Fault::Truncated, packed.substr(0, packed.size() / 2)},
        {Fault::Empty, ""}};
    if (c.Where != Fault::Missing) {
        WriteText(site.File("download/vavid.zip"),
                  published.count(c.Where) ? published.at(c.Where) : packed);
    }
    const std::string local = box.Desktop.string() + "/VAVID.sdf";
    if (c.Where == Fault::Unreachable) {
        setenv("ORVENDAL_MANUAL_URL",
               ("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/vavid.zip").c_str(),
               1);
    } else if (c.Where == Fault::WorkFileIsFolder) {
        fs::create_directory(local);
    } else if (c.Where == Fault::Undocked) {
        unsetenv("ORVENDAL_DEVICE_ROOT");
    }
    TRun run = Cli("manual-update 301");
    const std::string final = c.Step < 0 ? ManualDone
                                         : "Beim Aktualisieren des Gasgeräte-Handbuches trat ein "
                                           "Fehler auf (Schritt " +
                                               std::to_string(c.Step) + ")!";
    EXPECT_EQ(run.Code, c.Step < 0 ? 0 : 1);
    const bool pocketPC = c.Step < 0 || c.Step > 1; // only a Pocket PC shows the progress
    EXPECT_EQ(Starts(run.Err, {}), (pocketPC ? Lines{ManualRunning, final} : Lines{final}));
    EXPECT_EQ(ReadBytes(box.Card("VAVID.sdf")),
              c.Step < 0 ? manual : std::vector<uint8_t>(OldManual.begin(), OldManual.end()));
    EXPECT_FALSE(fs::is_regular_file(local));
    EXPECT_EQ(fs::is_directory(local), c.Where == Fault::WorkFileIsFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualTest,
    ::testing::Values(ManualCase{"Replaced", "5", Fault::None, -1},
                      ManualCase{"ServerUnreachable", "4", Fault::Unreachable, 2},
                      ManualCase{"ManualNotOnServer", "4", Fault::Missing, 2},
                      ManualCase{"ZipArchive", "4", Fault::ZipArchive, 3},
                      ManualCase{"TruncatedStream", "4", Fault::Truncated, 3},
                      ManualCase{"EmptyBody", "4", Fault::Empty, 3},
                      ManualCase{"WorkFileIsAFolder", "4", Fault::WorkFileIsFolder, 4},
                      ManualCase{"HandheldNotDocked", "3", Fault::Undocked, 5},
                      ManualCase{"NotAPocketPC", "2", Fault::None, 1},
                      ManualCase{"NoTypeColumn", std::nullopt, Fault::None, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace orvendal::testing
