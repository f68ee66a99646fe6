// Support dispatch and manual update as orvendal-cli runs them for device 301 on the
// folder-backed handheld: the support mail through the loopback SMTP server, the manual from the
// loopback web server; exit code 0 only for a run without a failed step.

#include "AppFixture.h"

#include "device/DeviceSandbox.h"

#include <vmime/vmime.hpp>

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

// The handheld keeps its database and an old manual; key 8 makes the device a Pocket PC. Its
// usual, copy and blind-copy recipients must never receive a support mail. Nothing listens on
// loopback port 1: a server that is down.
class MaintenanceTest : public TOfficeTest {
protected:
    void Arrange(bool pocketPC, const std::string& mailServer = "") {
        Device("k", "301", "Kundendienst Nord",
               {pocketPC ? "8=http://127.0.0.1:1/" : "8=", "10=Orvendal", "14=" + mailServer,
                "25=geraet301@orvendal.example", "28=zentrale@orvendal.example",
                "30=Gesendet von Gerät 301", "32=no", "33=blind@orvendal.example",
                "35=kopie@orvendal.example"});
        WriteText(Path("handheld/k/VAVID.sdf"), "altes Handbuch");
        WriteBytes(Path("handheld/k/mobil.sdf"), database);
    }
    const std::vector<uint8_t> database = Pattern(70000, 9);
};

struct SupportCase {
    const char* Name;
    bool PocketPC;
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
    const std::string smtp = Env("ORVENDAL_TEST_SMTP"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
};

// Only a docked Pocket PC with a mail server sends its database, to the support mailbox alone.
// Otherwise nothing is sent and the exit code is 1. Nothing stays on the desktop.
TEST_P(SupportTest, MailsTheHandheldDatabaseToTheSupportMailboxOnly) {
    const SupportCase& c = GetParam();
    if (smtp.empty()) {
        GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
    }
    for (const std::string& mail : Entries(smtpDir)) {
        fs::remove(smtpDir + "/" + mail);
    }
    Arrange(c.PocketPC, c.ServerUp ? smtp : "127.0.0.1:1");
    if (!c.Docked) {
        unsetenv("ORVENDAL_DEVICE_ROOT"); // the handheld is taken out of its cradle
    }
    TRun run = Cli(std::string(c.Options) + " support 301");
    EXPECT_EQ(run.Err, c.Err);
    EXPECT_EQ(Entries(Path("work/k")), std::set<std::string>{});
    EXPECT_EQ(ReadBytes(Path("handheld/k/mobil.sdf")), database);
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
    ::testing::Values(SupportCase{"Sent", true, "", true, true, Copying + Sending + Done},
                      SupportCase{"UndockedGoOn", true, "--yes", false, true,
                                  Copying + NotDocked + "Ja\n" + Sending + SendFailed + Done},
                      SupportCase{"UndockedStop", true, "--no", false, true,
                                  Copying + NotDocked + "Nein\n" + Done},
                      SupportCase{"ServerDown", true, "", true, false,
                                  Copying + Sending + SendFailed + Done},
                      SupportCase{"NotAPocketPC", false, "", true, true, OnlyPocketPC}),
    [](const auto& info) { return std::string(info.param.Name); });

struct ManualCase {
    const char* Name;
    std::string Published; // the "packed" manual, "half" of it, a "zip" archive of it, or ""
    int Step;              // of the failure; -1: none
};
void PrintTo(const ManualCase& c, std::ostream* os) {
    *os << c.Name;
}

class ManualTest : public MaintenanceTest, public ::testing::WithParamInterface<ManualCase> {
protected:
    TWebFiles web;
};

// The manual is published as vavid.zip. Every failure ends in the status line with the step
// that failed and exit code 1, and the handheld keeps its old manual.
TEST_P(ManualTest, ReplacesTheManualOrNamesTheFailedStep) {
    const ManualCase& c = GetParam();
    const std::string name = c.Name, local = Path("work/k/VAVID.sdf");
    if (web.Url().empty()) {
        GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
    }
    Arrange(name != "NotAPocketPC");
    const std::vector<uint8_t> manual = Pattern(300000, 5);
    const std::string packed = Deflated(std::string(manual.begin(), manual.end()));
    const std::map<std::string, std::string> bodies = {
        {"packed", packed},
        {"half", packed.substr(0, packed.size() / 2)},
        {"zip", std::string("PK\x03\x04\x14\x00", 6) + "VAVID.sdf" + packed},
        {"nothing", Deflated("")},
        {"", ""}};
    if (name != "NotOnServer") {
        web.Put("vavid.zip", bodies.at(c.Published));
    }
    const std::string url = name == "ServerDown" ? "http://127.0.0.1:1/" : web.Url("vavid.zip");
    if (name == "WorkFileIsAFolder") {
        fs::create_directories(local);
    } else if (name == "Undocked") {
        unsetenv("ORVENDAL_DEVICE_ROOT");
    }
    setenv("ORVENDAL_MANUAL_URL", url.c_str(), 1);
    TRun run = Cli("manual-update 301");
    EXPECT_EQ(run.Code, c.Step < 0 ? 0 : 1);
    EXPECT_EQ(
        run.Err,
        (c.Step == 1 ? "" : "Update des Handbuches für Gasgeräte läuft... - Bitte warten!\n") +
            (c.Step < 0 ? "Das Update des Gasgeräte-Handbuches ist erfolgt!\n"
                        : "Beim Aktualisieren des Gasgeräte-Handbuches trat ein Fehler auf "
                          "(Schritt " +
                              std::to_string(c.Step) + ")!\n"));
    EXPECT_EQ(ReadText(Path("handheld/k/VAVID.sdf")),
              c.Step < 0 ? std::string(manual.begin(), manual.end()) : "altes Handbuch");
    EXPECT_FALSE(fs::is_regular_file(local));
    EXPECT_EQ(fs::is_directory(local), name == "WorkFileIsAFolder");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualTest,
    ::testing::Values(ManualCase{"Replaced", "packed", -1}, ManualCase{"ServerDown", "packed", 2},
                      ManualCase{"NotOnServer", "", 2}, ManualCase{"ZipArchive", "zip", 3},
                      ManualCase{"Truncated", "half", 3}, ManualCase{"EmptyBody", "", 3},
                      ManualCase{"StreamOfNothing", "nothing", 3},
                      ManualCase{"WorkFileIsAFolder", "packed", 4},
                      ManualCase{"Undocked", "packed", 5}, ManualCase{"NotAPocketPC", "packed", 1}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace orvendal::testing
