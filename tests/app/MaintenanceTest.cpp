// Support dispatch and manual update as orvendal-cli runs them: a folder-backed handheld, the
// device list and the manual on the loopback web server, the support mail on the loopback SMTP
// server; exit code 0 only for a run without a failed step.

#include "AppFixture.h"

#include "device/DeviceSandbox.h"

#include <vmime/vmime.hpp>

#include <regex>

namespace orvendal::testing {
namespace {

const std::string Copying = "Übertragen der Datenbank des Pocket-PC... - Bitte warten!\n";
const std::string Sending = "Versand der Geräte-Daten\n";
const std::string SendFailed = "Information: Fehlermeldung beim Versand der Daten: Fehler bei "
                               "E-Mail-Verarbeitung (Schritt 10: …\n";
const std::string NotDocked =
    "Frage: Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen? -> ";
const std::string Done =
    "Der Versand der Datenbank für das Gerät Kundendienst Nord an den Support ist erfolgt!\n";
const std::string OnlyPocketPC =
    "Warnung: Dieser Programmteil steht nur für Pocket-PC zur Verfügung!\n";
const std::string Manual = "Update des Handbuches für Gasgeräte läuft... - Bitte warten!\n";

// Device 301 "Kundendienst Nord" on a settings server; its handheld keeps its database and an
// old manual on "\Storage Card\", its working folder is box.Desktop.
class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (web.Url().empty() || smtp.empty()) {
            GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
        }
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        setenv("ORVENDAL_MANUAL_URL", web.Url("vavid.zip").c_str(), 1);
        WriteSettings(program.SettingsFile(),
                      {"5=" + web.Url("devices.xml"), "6=" + web.Url("geraet%d.ini")});
        WriteText(box.Card("VAVID.sdf"), "altes Handbuch");
        WriteBytes(box.Card("mobil.sdf"), database);
    }
    void TearDown() override { unsetenv("ORVENDAL_MANUAL_URL"); }

    // Publishes the device list (without a type column when type is null) and the settings;
    // mail goes through server. Its usual, copy and blind-copy recipients must not receive a
    // support mail.
    void Device(const char* type, const std::string& server = "") {
        web.Put("devices.xml", "<table><row><Id>PPC-301</Id><Name>Kundendienst Nord</Name>"
                               "<Nr>301</Nr>" +
                                   (type ? "<Typ>" + std::string(type) + "</Typ>" : "") +
                                   "</row></table>");
        WriteSettings(
            box.At("settings"),
            DeviceLines("PPC-301", "Kundendienst Nord", "301",
                        {"3=\\Storage Card\\", "4=" + box.At(""), "10=Orvendal", "14=" + server,
                         "25=geraet301@orvendal.example", "28=zentrale@orvendal.example",
                         "30=Gesendet von Gerät 301", "32=no", "33=blind@orvendal.example",
                         "35=kopie@orvendal.example"}));
        web.Put("geraet301.ini", ReadText(box.At("settings")));
        fs::remove(box.At("settings"));
    }
    // Runs orvendal-cli; the varying end of a transport's message on stderr becomes "…".
    TRun Cli(const std::string& args) {
        TRun run = RunProgram("orvendal-cli", "--program-dir " + program.Path() + " " + args);
        run.Err = std::regex_replace(run.Err, std::regex(R"(\(Schritt 10: .*)"), "(Schritt 10: …");
        return run;
    }

    TWebFiles web;
    TDeviceSandbox box;
    TProgramFolder program;
    const std::vector<uint8_t> database = Pattern(70000, 9);
    const std::string smtp = Env("ORVENDAL_TEST_SMTP"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
};

struct SupportCase {
    const char* Name;
    const char* Type; // null: the device list has no type column
    const char* Options;
    bool Docked, ServerUp;
    std::string Err;
};

void PrintTo(const SupportCase& c, std::ostream* os) {
    *os << c.Name;
}

class SupportTest : public MaintenanceTest, public ::testing::WithParamInterface<SupportCase> {
protected:
    TMailServersLock lock; // the SMTP folder is shared with the other mail tests
};

// Only a docked Pocket PC with a mail server sends its database, to the support mailbox alone.
// Otherwise nothing is sent and the exit code is 1. Nothing stays on the desktop.
TEST_P(SupportTest, MailsTheHandheldDatabaseToTheSupportMailboxOnly) {
    const SupportCase& c = GetParam();
    for (const std::string& mail : Entries(smtpDir)) {
        fs::remove(smtpDir + "/" + mail);
    }
    Device(c.Type, c.ServerUp ? smtp : "127.0.0.1:" + std::to_string(FreeLoopbackPort()));
    if (!c.Docked) {
        unsetenv("ORVENDAL_DEVICE_ROOT"); // the handheld is taken out of its cradle
    }
    TRun run = Cli(std::string(c.Options) + " support 301");
    EXPECT_EQ(run.Err, c.Err);
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
    EXPECT_EQ(ReadBytes(box.Card("mobil.sdf")), database);
    const std::set<std::string> mails = Entries(smtpDir);
    const bool sent = c.Err == Copying + Sending + Done;
    EXPECT_EQ(run.Code, sent ? 0 : 1);
    ASSERT_EQ(mails.size(), sent ? 1u : 0u);
    if (!sent) {
        return;
    }
    const std::string raw = ReadText(smtpDir + "/" + *mails.begin());
    EXPECT_NE(raw.find("X-Envelope-To: support@orvendal.example\r\n"), std::string::npos) << raw;
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
    EXPECT_TRUE(Inflated(attachment) == std::string(database.begin(), database.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SupportTest,
    ::testing::Values(SupportCase{"Sent", "4", "", true, true, Copying + Sending + Done},
                      SupportCase{"UndockedGoOn", "4", "--yes", false, true,
                                  Copying + NotDocked + "Ja\n" + Sending + SendFailed + Done},
                      SupportCase{"UndockedStop", "3", "--no", false, true,
                                  Copying + NotDocked + "Nein\n" + Done},
                      SupportCase{"ServerDown", "5", "", true, false,
                                  Copying + Sending + SendFailed + Done},
                      SupportCase{"NotAPocketPC", "1", "", true, true, OnlyPocketPC},
                      SupportCase{"NoTypeColumn", nullptr, "", true, true, OnlyPocketPC}),
    [](const auto& info) { return std::string(info.param.Name); });

struct ManualCase {
    const char* Name;
    const char* Type;
    std::string Published; // the "packed" manual, "half" of it, a "zip" archive of it, or ""
    int Step;              // of the failure; -1: none
};

void PrintTo(const ManualCase& c, std::ostream* os) {
    *os << c.Name;
}

class ManualTest : public MaintenanceTest, public ::testing::WithParamInterface<ManualCase> {};

// The manual is published as vavid.zip. Every failure ends in the status line with the step
// that failed and exit code 1, and the handheld keeps its old manual.
TEST_P(ManualTest, ReplacesTheManualOrNamesTheFailedStep) {
    const ManualCase& c = GetParam();
    const std::string name = c.Name, local = box.At("VAVID.sdf");
    Device(c.Type);
    const std::vector<uint8_t> manual = Pattern(300000, 5);
    const std::string packed = Deflated(std::string(manual.begin(), manual.end()));
    const std::map<std::string, std::string> bodies = {
        {"packed", packed},
        {"half", packed.substr(0, packed.size() / 2)},
        {"zip", std::string("PK\x03\x04\x14\x00", 6) + "VAVID.sdf" + packed},
        {"", ""}};
    if (name != "NotOnServer") {
        web.Put("vavid.zip", bodies.at(c.Published));
    }
    if (name == "ServerDown") {
        setenv("ORVENDAL_MANUAL_URL",
               ("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/").c_str(), 1);
    } else if (name == "WorkFileIsAFolder") {
        fs::create_directory(local);
    } else if (name == "Undocked") {
        unsetenv("ORVENDAL_DEVICE_ROOT");
    }
    TRun run = Cli("manual-update 301");
    EXPECT_EQ(run.Code, c.Step < 0 ? 0 : 1);
    EXPECT_EQ(run.Err, (c.Step < 0 || c.Step > 1 ? Manual : "") + // progress on a Pocket PC
                           (c.Step < 0 ? "Das Update des Gasgeräte-Handbuches ist erfolgt!\n"
                                       : "Beim Aktualisieren des Gasgeräte-Handbuches trat ein "
                                         "Fehler auf (Schritt " +
                                             std::to_string(c.Step) + ")!\n"));
    EXPECT_EQ(ReadText(box.Card("VAVID.sdf")),
              c.Step < 0 ? std::string(manual.begin(), manual.end()) : "altes Handbuch");
    EXPECT_FALSE(fs::is_regular_file(local));
    EXPECT_EQ(fs::is_directory(local), name == "WorkFileIsAFolder");
}

INSTANTIATE_TEST_SUITE_P(Cases, ManualTest,
                         ::testing::Values(ManualCase{"Replaced", "5", "packed", -1},
                                           ManualCase{"ServerDown", "4", "packed", 2},
                                           ManualCase{"NotOnServer", "4", "", 2},
                                           ManualCase{"ZipArchive", "4", "zip", 3},
                                           ManualCase{"Truncated", "4", "half", 3},
                                           ManualCase{"EmptyBody", "4", "", 3},
                                           ManualCase{"WorkFileIsAFolder", "4", "packed", 4},
                                           ManualCase{"Undocked", "3", "packed", 5},
                                           ManualCase{"NotAPocketPC", "2", "packed", 1},
                                           ManualCase{"NoTypeColumn", nullptr, "packed", 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace orvendal::testing
