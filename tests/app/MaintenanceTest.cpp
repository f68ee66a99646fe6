// Support dispatch and manual update as the user meets them: a folder-backed handheld, the
// device list and the manual on a loopback HTTP server, the support mail on the loopback SMTP
// server.

#include "AppFixture.h"

#include "device/DeviceSandbox.h"
#include "transport/MailFixture.h"

#include <vmime/vmime.hpp>

#include <algorithm>
#include <memory>
#include <optional>

namespace orvendal::testing {
namespace {

// The support service's mailbox as the program has it built in.
const std::string SupportAddress = "support@orvendal.example";
const std::string SupportBody = "In der Anlage ist die mobile Datenbank des Gerätes enthalten.";
const std::string OnlyPocketPC = "Dieser Programmteil steht nur für Pocket-PC zur Verfügung!";
const std::string NotDocked =
    "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?";
const std::string CopyingDatabase = "Übertragen der Datenbank des Pocket-PC... - Bitte warten!";
const std::string SendingData = "Versand der Geräte-Daten";
// Names the device by its display name, not by its identity "PPC-301".
const std::string SupportDone =
    "Der Versand der Datenbank für das Gerät Kundendienst Nord an den Support ist erfolgt!";
const std::string SendFailed =
    "Fehlermeldung beim Versand der Daten: Fehler bei E-Mail-Verarbeitung (Schritt 10: ";
const std::string ManualRunning = "Update des Handbuches für Gasgeräte läuft... - Bitte warten!";
const std::string ManualDone = "Das Update des Gasgeräte-Handbuches ist erfolgt!";

std::string ManualFailed(int step) {
    return "Beim Aktualisieren des Gasgeräte-Handbuches trat ein Fehler auf (Schritt " +
           std::to_string(step) + ")!";
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

using Lines = std::vector<std::string>;

// A message as the SMTP server stored it, read with a MIME parser of its own.
struct TStoredMail {
    std::string EnvelopeTo, From, Body;
    Lines To, Attachments;
    bool HasCc = false;
};

TStoredMail ParseMail(const std::string& raw) {
    TStoredMail mail;
    const std::string envelope = "X-Envelope-To: ";
    const size_t at = raw.find(envelope);
    if (at != std::string::npos) {
        const size_t start = at + envelope.size();
        mail.EnvelopeTo = raw.substr(start, raw.find("\r\n", start) - start);
    }
    auto message = vmime::make_shared<vmime::message>();
    message->parse(raw);
    auto header = message->getHeader();
    if (header->hasField(vmime::fields::FROM)) {
        mail.From = header->From()->getValue<vmime::mailbox>()->getEmail().toString();
    }
    if (header->hasField(vmime::fields::TO)) {
        auto to = header->To()->getValue<vmime::addressList>()->toMailboxList();
        for (const auto& mailbox : to->getMailboxList()) {
            mail.To.push_back(mailbox->getEmail().toString());
        }
    }
    mail.HasCc = header->hasField(vmime::fields::CC);
    vmime::messageParser parser(message);
    if (parser.getTextPartCount() > 0) {
        vmime::utility::outputStreamStringAdapter out(mail.Body);
        parser.getTextPartAt(0)->getText()->extract(out);
    }
    for (const auto& part : parser.getAttachmentList()) {
        std::string bytes;
        vmime::utility::outputStreamStringAdapter out(bytes);
        part->getData()->extract(out);
        mail.Attachments.push_back(bytes);
    }
    return mail;
}

// Device 301 "Kundendienst Nord" (identity PPC-301) on a settings server; its handheld keeps
// its files on "\Storage Card\", its working folder is the sandbox's desktop folder.
class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running()) << "python3 http.server did not answer on loopback";
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        WriteSettings(program.SettingsFile(), {"2=Leitstelle", "5=" + server.Url() + "devices.xml",
                                               "6=" + server.Url() + "geraet%d.ini"});
    }
    void TearDown() override { unsetenv("ORVENDAL_MANUAL_URL"); }

    // Publishes the device list (without a type column when type is empty) and the settings.
    void Device(const std::optional<std::string>& type, const Lines& extra = {}) {
        std::string row = "<Id>PPC-301</Id><Name>Kundendienst Nord</Name><Nr>301</Nr>";
        if (type) {
            row += "<Typ>" + *type + "</Typ>";
        }
        WriteFile(site.File("devices.xml"),
                  "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<table>\r\n<row>" + row +
                      "</row>\r\n</table>\r\n");
        Lines keys = {"3=\\Storage Card\\", "4=" + WorkDir()};
        keys.insert(keys.end(), extra.begin(), extra.end());
        WriteSettings(site.File("geraet301.ini"),
                      DeviceLines("PPC-301", "Kundendienst Nord", "301", keys));
    }
    std::string WorkDir() const { return box.Desktop.string() + "/"; }

    // The main window after start-up, with the device selected and the start-up texts cleared.
    TFormUnderTest& Start() {
        form = std::make_unique<TFormUnderTest>(program);
        form->Form.FormCreate();
        EXPECT_EQ(form->View.Items["RadioGroup1"], Lines{"Kundendienst Nord"})
            << form->View.BoxTexts();
        EXPECT_EQ(form->View.Index["RadioGroup1"], 0);
        form->View.Status.clear();
        form->View.Boxes.clear();
        return *form;
    }

    TDeviceSandbox box; // box.Card: the handheld's storage card; box.Desktop: the working folder
    TProgramFolder program;
    TTempFolder site;
    THttpServer server{site.Path()};
    std::unique_ptr<TFormUnderTest> form;
};

// The dispatch through the loopback SMTP server, which stores every message it receives.
class MaintenanceSupportTest : public MaintenanceTest {
protected:
    void SetUp() override {
        MaintenanceTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        smtp = Env("ORVENDAL_TEST_SMTP");
        smtpDir = Env("ORVENDAL_TEST_SMTP_DIR");
        if (smtp.empty() || smtpDir.empty()) {
            GTEST_SKIP() << "ORVENDAL_TEST_SMTP is not set: run the tests under "
                            "tests/servers/with-servers.sh";
        }
        for (const auto& entry : fs::directory_iterator(smtpDir)) {
            fs::remove(entry.path());
        }
    }

    // The device mails through the loopback server; its copy and blind-copy recipients and its
    // usual recipient must not receive the support mail.
    void MailDevice(const std::optional<std::string>& type) {
        Device(type, {"10=Orvendal", "14=" + smtp, "25=geraet301@orvendal.example", "26=Gerät 301",
                      "28=zentrale@orvendal.example", "29=Zentrale", "30=Gesendet von Gerät 301",
                      "32=no", "33=blind@orvendal.example", "35=kopie@orvendal.example"});
    }

    Lines StoredMails() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(smtpDir)) {
            files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        Lines mails;
        for (const auto& file : files) {
            mails.push_back(ReadText(file));
        }
        return mails;
    }

    TMailServersLock lock; // the SMTP folder is shared with the other mail tests
    std::string smtp, smtpDir;
};

TEST_F(MaintenanceSupportTest, MailsTheHandheldDatabaseToTheSupportMailbox) {
    MailDevice("4");
    const std::vector<uint8_t> database = Pattern(70000, 9);
    WriteBytes(box.Card("mobil.sdf"), database);
    TFormUnderTest& t = Start();

    t.Form.BitBtn3Click();

    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
    EXPECT_EQ(t.View.Status, (Lines{CopyingDatabase, SendingData, SupportDone}));
    const Lines mails = StoredMails();
    ASSERT_EQ(mails.size(), 1u);
    const TStoredMail mail = ParseMail(mails[0]);
    EXPECT_EQ(mail.EnvelopeTo, SupportAddress); // nobody else, not even in blind copy
    EXPECT_EQ(mail.To, Lines{SupportAddress});
    EXPECT_FALSE(mail.HasCc);
    EXPECT_EQ(mail.From, "geraet301@orvendal.example");
    EXPECT_TRUE(mail.Body.starts_with(SupportBody)) << mail.Body;
    EXPECT_EQ(mail.Body, SupportBody + "\r\nGesendet von Gerät 301");
    ASSERT_EQ(mail.Attachments.size(), 1u);
    const std::string inflated = Inflated(mail.Attachments[0]);
    EXPECT_EQ(inflated.size(), database.size());
    EXPECT_TRUE(inflated == Text(database)) << "the attachment is not the handheld's mobil.sdf";
    EXPECT_EQ(ReadBytes(box.Card("mobil.sdf")), database);
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{}); // copy and packed file are gone
}

struct UndockedCase {
    const char* Name;
    bool Continue; // the answer to the confirmation
    Lines Status;
    std::vector<TMsgKind> Boxes;
};
void PrintTo(const UndockedCase& c, std::ostream* os) {
    *os << c.Name;
}

class MaintenanceSupportUndockedTest : public MaintenanceSupportTest,
                                       public ::testing::WithParamInterface<UndockedCase> {};

// Going on without the handheld asks the transport for a file that is not there: nothing is
// sent either way, and the final line is shown all the same.
TEST_P(MaintenanceSupportUndockedTest, AsksWhetherToGoOnAndSendsNothing) {
    const UndockedCase& c = GetParam();
    MailDevice("3");
    WriteBytes(box.Card("mobil.sdf"), Pattern(1000, 2));
    TFormUnderTest& t = Start();
    t.View.Answers = {c.Continue};
    unsetenv("ORVENDAL_DEVICE_ROOT"); // the handheld is taken out of its cradle

    t.Form.BitBtn3Click();

    EXPECT_EQ(t.View.Status, c.Status);
    ASSERT_EQ(t.View.Boxes.size(), c.Boxes.size()) << t.View.BoxTexts();
    EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Confirmation);
    EXPECT_EQ(t.View.Boxes[0].Text, NotDocked);
    for (size_t i = 1; i < c.Boxes.size(); ++i) {
        EXPECT_EQ(t.View.Boxes[i].Kind, c.Boxes[i]);
        EXPECT_TRUE(t.View.Boxes[i].Text.starts_with(SendFailed)) << t.View.Boxes[i].Text;
    }
    EXPECT_TRUE(t.View.Answers.empty()); // the question was asked once
    EXPECT_EQ(StoredMails().size(), 0u);
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MaintenanceSupportUndockedTest,
    ::testing::Values(UndockedCase{"Yes",
                                   true,
                                   {CopyingDatabase, SendingData, SupportDone},
                                   {TMsgKind::Confirmation, TMsgKind::Information}},
                      UndockedCase{
                          "No", false, {CopyingDatabase, SupportDone}, {TMsgKind::Confirmation}}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TypeCase {
    const char* Name;
    std::optional<std::string> Type; // empty: the device list has no type column
};
void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << c.Name;
}

class MaintenanceSupportNotPocketPCTest : public MaintenanceSupportTest,
                                          public ::testing::WithParamInterface<TypeCase> {};

TEST_P(MaintenanceSupportNotPocketPCTest, OnlyWarnsAndLeavesTheHandheldAlone) {
    MailDevice(GetParam().Type);
    const std::vector<uint8_t> database = Pattern(1000, 6);
    WriteBytes(box.Card("mobil.sdf"), database);
    TFormUnderTest& t = Start();

    t.Form.BitBtn3Click();

    ASSERT_EQ(t.View.Boxes.size(), 1u) << t.View.BoxTexts();
    EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(t.View.Boxes[0].Text, OnlyPocketPC);
    EXPECT_EQ(t.View.Status, Lines{});
    EXPECT_EQ(StoredMails().size(), 0u);
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
    EXPECT_EQ(ReadBytes(box.Card("mobil.sdf")), database);
    EXPECT_TRUE(t.View.Enabled.at("BitBtn3"));
}

INSTANTIATE_TEST_SUITE_P(Types, MaintenanceSupportNotPocketPCTest,
                         ::testing::Values(TypeCase{"Type1", "1"}, TypeCase{"Type2", "2"},
                                           TypeCase{"Type6", "6"},
                                           TypeCase{"NoTypeColumn", std::nullopt}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MaintenanceTest, SupportSendFailureIsShownAndTheLocalCopyDeleted) {
    Device("5", {"10=Orvendal", "14=127.0.0.1:" + std::to_string(FreeLoopbackPort()),
                 "25=geraet301@orvendal.example", "32=no"});
    WriteBytes(box.Card("mobil.sdf"), Pattern(5000, 4));
    TFormUnderTest& t = Start();

    t.Form.BitBtn3Click();

    ASSERT_EQ(t.View.Boxes.size(), 1u) << t.View.BoxTexts();
    EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Information);
    EXPECT_TRUE(t.View.Boxes[0].Text.starts_with(SendFailed)) << t.View.Boxes[0].Text;
    EXPECT_EQ(t.View.Status, (Lines{CopyingDatabase, SendingData, SupportDone}));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
}

// The manual is published on the loopback server as download/vavid.zip; the handheld carries
// an old one.
class MaintenanceManualTest : public MaintenanceTest {
protected:
    void SetUp() override {
        MaintenanceTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        fs::create_directories(site.File("download"));
        setenv("ORVENDAL_MANUAL_URL", (server.Url() + "download/vavid.zip").c_str(), 1);
        WriteText(box.Card("VAVID.sdf"), OldManual);
    }
    void Publish(const std::string& bytes) { WriteFile(site.File("download/vavid.zip"), bytes); }
    std::string LocalManual() const { return WorkDir() + "VAVID.sdf"; }

    const std::vector<uint8_t> manual = Pattern(300000, 5);
    const std::string OldManual = "altes Handbuch";
};

TEST_F(MaintenanceManualTest, ReplacesTheManualOnTheHandheld) {
    Device("5");
    Publish(Deflated(Text(manual)));
    TFormUnderTest& t = Start();

    t.Form.BitBtn4Click();

    EXPECT_EQ(t.View.Status, (Lines{ManualRunning, ManualDone}));
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
    const std::vector<uint8_t> onHandheld = ReadBytes(box.Card("VAVID.sdf"));
    EXPECT_EQ(onHandheld.size(), manual.size());
    EXPECT_TRUE(onHandheld == manual) << "the handheld's VAVID.sdf is not the inflated download";
    EXPECT_EQ(Entries(box.Card("")), (std::set<std::string>{"VAVID.sdf"}));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
}

enum class Fault { Unreachable, Missing, ZipArchive, Truncated, Empty, WorkFileIsFolder, Undocked };

struct ManualFailureCase {
    const char* Name;
    Fault Where;
    int Step;
};
void PrintTo(const ManualFailureCase& c, std::ostream* os) {
    *os << c.Name;
}

class MaintenanceManualFailureTest : public MaintenanceManualTest,
                                     public ::testing::WithParamInterface<ManualFailureCase> {
protected:
    void Arrange(Fault fault) {
        const std::string packed = Deflated(Text(manual));
        switch (fault) {
        case Fault::Unreachable:
            Publish(packed);
            setenv(
                "ORVENDAL_MANUAL_URL",
                ("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/download/vavid.zip")
                    .c_str(),
                1);
            break;
        case Fault::Missing: // the server answers 404
            break;
        case Fault::ZipArchive: // what the name suggests, but no zlib stream
            Publish(std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00", 10) + "VAVID.sdf" +
                    packed.substr(2));
            break;
        case Fault::Truncated:
            Publish(packed.substr(0, packed.size() / 2));
            break;
        case Fault::Empty:
            Publish("");
            break;
        case Fault::WorkFileIsFolder:
            Publish(packed);
            fs::create_directory(LocalManual());
            break;
        case Fault::Undocked:
            Publish(packed);
            break;
        }
    }
};

// Every failure ends in the status line with the step that failed; the handheld keeps its
// old manual and no downloaded copy stays on the desktop.
TEST_P(MaintenanceManualFailureTest, StatusLineNamesTheFailedStep) {
    const ManualFailureCase& c = GetParam();
    Device("4");
    Arrange(c.Where);
    TFormUnderTest& t = Start();
    if (c.Where == Fault::Undocked) {
        unsetenv("ORVENDAL_DEVICE_ROOT");
    }

    t.Form.BitBtn4Click();

    EXPECT_EQ(t.View.Status, (Lines{ManualRunning, ManualFailed(c.Step)}));
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
    EXPECT_EQ(ReadText(box.Card("VAVID.sdf")), OldManual);
    EXPECT_FALSE(fs::is_regular_file(LocalManual()));
    EXPECT_EQ(fs::is_directory(LocalManual()), c.Where == Fault::WorkFileIsFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MaintenanceManualFailureTest,
    ::testing::Values(ManualFailureCase{"ServerUnreachable", Fault::Unreachable, 2},
                      ManualFailureCase{"ManualNotOnServer", Fault::Missing, 2},
                      ManualFailureCase{"ZipArchive", Fault::ZipArchive, 3},
                      ManualFailureCase{"TruncatedStream", Fault::Truncated, 3},
                      ManualFailureCase{"EmptyBody", Fault::Empty, 3},
                      ManualFailureCase{"WorkFileIsAFolder", Fault::WorkFileIsFolder, 4},
                      ManualFailureCase{"HandheldNotDocked", Fault::Undocked, 5}),
    [](const auto& info) { return std::string(info.param.Name); });

struct ManualTypeCase {
    const char* Name;
    std::optional<std::string> Type; // empty: the device list has no type column
    int Step;
};
void PrintTo(const ManualTypeCase& c, std::ostream* os) {
    *os << c.Name;
}

class MaintenanceManualNotPocketPCTest : public MaintenanceManualTest,
                                         public ::testing::WithParamInterface<ManualTypeCase> {};

TEST_P(MaintenanceManualNotPocketPCTest, FailsAtTheTypeTestWithoutProgress) {
    const ManualTypeCase& c = GetParam();
    Device(c.Type);
    Publish(Deflated(Text(manual)));
    TFormUnderTest& t = Start();

    t.Form.BitBtn4Click();

    EXPECT_EQ(t.View.Status, Lines{ManualFailed(c.Step)});
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
    EXPECT_EQ(ReadText(box.Card("VAVID.sdf")), OldManual);
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Types, MaintenanceManualNotPocketPCTest,
                         ::testing::Values(ManualTypeCase{"Type2", "2", 1},
                                           ManualTypeCase{"Type1", "1", 1},
                                           ManualTypeCase{"NoTypeColumn", std::nullopt, 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace orvendal::testing
