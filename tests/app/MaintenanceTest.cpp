// Support dispatch and manual update as orvendal-cli runs them for device 301 on the
// folder-backed handheld: the support mail through the loopback SMTP server, the manual from the
// loopback web server; exit code 0 only for a run without a failed step.

#include "AppFixture.h"

#include "device/DeviceSandbox.h"

#include <optional>
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

// Only a docked Pocket PC with a mail server sends its database, to the support mailbox alone.
// Otherwise nothing is sent and the exit code is 1. Nothing stays on the desktop.
TEST_F(MaintenanceTest, SupportMailsTheHandheldDatabaseToTheSupportMailboxOnly) {
    TMailServersLock lock; // the SMTP folder is shared with the other mail tests
    const std::string smtp = Env("ORVENDAL_TEST_SMTP"), smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
    if (smtp.empty()) {
        GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
    }
    // Pocket PC, options, docked, mail server up, stderr
    const std::tuple<bool, const char*, bool, bool, std::string> cases[] = {
        {true, "", true, true, Copying + Sending + Done},
        {true, "--yes", false, true, Copying + NotDocked + "Ja\n" + Sending + SendFailed + Done},
        {true, "--no", false, true, Copying + NotDocked + "Nein\n" + Done},
        {true, "", true, false, Copying + Sending + SendFailed + Done},
        {false, "", true, true, OnlyPocketPC}};
    for (const auto& [pocketPC, options, docked, serverUp, err] : cases) {
        SCOPED_TRACE(err);
        for (const std::string& mail : Entries(smtpDir)) {
            fs::remove(smtpDir + "/" + mail);
        }
        Arrange(pocketPC, serverUp ? smtp : "127.0.0.1:1");
        docked ? setenv("ORVENDAL_DEVICE_ROOT", Path("handheld").c_str(), 1)
               : unsetenv("ORVENDAL_DEVICE_ROOT"); // the handheld is out of its cradle
        TRun run = Cli(std::string(options) + " support 301");
        EXPECT_EQ(run.Err, err);
        EXPECT_EQ(Entries(Path("work/k")), std::set<std::string>{});
        EXPECT_EQ(ReadBytes(Path("handheld/k/mobil.sdf")), database);
        const std::set<std::string> mails = Entries(smtpDir);
        const bool sent = err == Copying + Sending + Done;
        EXPECT_EQ(run.Code, sent ? 0 : 1);
        ASSERT_EQ(mails.size(), sent ? 1u : 0u);
        if (!sent) {
            continue;
        }
        const std::string raw = ReadText(smtpDir + "/" + *mails.begin());
        EXPECT_NE(raw.find("X-Envelope-To: support@orvendal.example\r\n"), std::string::npos)
            << raw;
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
}

// The manual is published as a packed file. Every failure ends in the status line with the step
// that failed and exit code 1, and the handheld keeps its old manual.
TEST_F(MaintenanceTest, ManualUpdateReplacesTheManualOrNamesTheFailedStep) {
    TWebFiles web;
    if (web.Url().empty()) {
        GTEST_SKIP() << "run the tests under tests/servers/with-servers.sh";
    }
    const std::vector<uint8_t> manual = Pattern(300000, 5);
    const std::string packed = Deflated(std::string(manual.begin(), manual.end()));
    const std::string zip = std::string("PK\x03\x04\x14\x00", 6) + "VAVID.sdf" + packed;
    const std::string half = packed.substr(0, packed.size() / 2), nothing = Deflated("");
    const std::string local = Path("work/k/VAVID.sdf");
    // case, the published file (none: not on the server), step of the failure (-1: none)
    const std::tuple<std::string, std::optional<std::string>, int> cases[] = {
        {"Replaced", packed, -1},        {"ServerDown", packed, 2},        {"NotOnServer", {}, 2},
        {"ZipArchive", zip, 3},          {"Truncated", half, 3},           {"EmptyBody", "", 3},
        {"StreamOfNothing", nothing, 3}, {"WorkFileIsAFolder", packed, 4}, {"Undocked", packed, 5},
        {"NotAPocketPC", packed, 1}};
    for (const auto& [name, published, step] : cases) {
        SCOPED_TRACE(name);
        Arrange(name != "NotAPocketPC");
        fs::remove_all(local);
        if (published) {
            web.Put(name + "-vavid.zip", *published);
        }
        if (name == "WorkFileIsAFolder") {
            fs::create_directories(local);
        }
        name == "Undocked" ? unsetenv("ORVENDAL_DEVICE_ROOT")
                           : setenv("ORVENDAL_DEVICE_ROOT", Path("handheld").c_str(), 1);
        const std::string url =
            name == "ServerDown" ? "http://127.0.0.1:1/" : web.Url(name + "-vavid.zip");
        setenv("ORVENDAL_MANUAL_URL", url.c_str(), 1);
        TRun run = Cli("manual-update 301");
        EXPECT_EQ(run.Code, step < 0 ? 0 : 1);
        EXPECT_EQ(
            run.Err,
            (step == 1 ? "" : "Update des Handbuches für Gasgeräte läuft... - Bitte warten!\n") +
                (step < 0 ? "Das Update des Gasgeräte-Handbuches ist erfolgt!\n"
                          : "Beim Aktualisieren des Gasgeräte-Handbuches trat ein Fehler "
                            "auf (Schritt " +
                                std::to_string(step) + ")!\n"));
        EXPECT_EQ(ReadText(Path("handheld/k/VAVID.sdf")),
                  step < 0 ? std::string(manual.begin(), manual.end()) : "altes Handbuch");
        EXPECT_FALSE(fs::is_regular_file(local));
        EXPECT_EQ(fs::is_directory(local), name == "WorkFileIsAFolder");
    }
}

} // namespace
} // namespace orvendal::testing
