// The mail transport without servers: settings keys and their defaults, subject matching, the
// shared-folder file mode and Simple MAPI.

#include "protect/Crypt.h"
#include "tables/UserFkt.h"
#include "transport/TransportFixture.h"

namespace orvendal::testing {
namespace {

// Without keys: file mode, names from device number and name, both ciphers; a subject matches
// when it starts with the receive name, plain or enciphered.
TEST(VelMailSettings, MissingKeysGiveFileModeDefaultsAndSubjectsMatch) {
    auto mail = LoadedMail({"1=12", "2=abc", "25=pc@example.org", "9=x"});
    EXPECT_FALSE(mail->UseMail || mail->UseMapi || mail->UseImap || !mail->DecryptSubjects ||
                 !mail->EncryptSubjects || !mail->Message.FromAddress.empty());
    EXPECT_EQ(mail->SendName + " " + mail->ReceiveName + " " + mail->WorkDir,
              "0_12_abc 50_12_abc " + TempPath());
    std::string wanted, outgoing;
    EncryptTextToHex("50_12_abc", wanted);
    EncryptTextToHex("0_12_abc", outgoing);
    // clang-format off
    for (auto [subject, matches] : {std::pair{wanted, true}, {"50_12_abc more", true},
             {"x50_12_abc", false}, {"50_12_ABC", false}, {outgoing, false}})
        // clang-format on
        EXPECT_EQ(mail->SubjectMatches(subject), matches) << subject;
    mail->DecryptSubjects = false;
    EXPECT_FALSE(mail->SubjectMatches(wanted));
    EXPECT_EQ(FormatPattern("/x/in%s-%s-%d%n", "%s%n"), "/x/in%s%n-%s-%d%n");
    mail = LoadedMail({"10=x", "25=pc@x.org", "9=5", "31=send", "81=recv", "32=", "82= ", "3=/3/"});
    EXPECT_EQ(mail->SendName + mail->ReceiveName + mail->Message.FromName + mail->WorkDir,
              "sendrecvpc@x.org/3/"); // without key 4, the folder of key 3
    EXPECT_EQ(mail->Message.ReplyTo, (TMailAddressList{{"", "pc@x.org"}})); // no key 27
    EXPECT_TRUE(mail->DecryptSubjects && mail->EncryptSubjects && mail->MaxAgeDays == 5);
}

// Keys 11, 14, 22 and 23 select the reader (M: Simple MAPI, I: IMAP4), the hosts, the ports
// and the security.
TEST(VelMailSettings, KeysSelectReaderHostsAndSecurity) {
    using S = TMailSecurity;
    using L = std::vector<std::string>;
    // clang-format off
    for (auto [lines, servers, security] : {
             std::tuple{L{"11=mail.example"}, "mail.example:110 mail.example:25", S::Plain},
             {L{"11=h:65535", "14=s:1"}, "h:65535 s:1", S::Plain},
             {L{"11=h:0", "14=s:65536"}, "h:0:110 s:65536:25", S::Plain},
             {L{"11=h", "14=-"}, "h:110 :25", S::Plain},
             {L{"11=h", "22=1"}, "h:143 :25 I", S::Plain},
             {L{"11=MAPI", "22=1"}, ":0 :25 M I", S::Plain},
             {L{"11=mapi"}, "mapi:110 mapi:25", S::Plain},
             {L{"11=h", "23= TLS"}, "h:995 h:465", S::Tls},
             {L{"11=h", "22=1", "14=s", "23=tls"}, "h:993 s:465 I", S::Tls},
             {L{"11=h:1110", "23=StartTLS"}, "h:1110 h:25", S::StartTls},
             {L{"11=h", "23=ssl"}, "h:110 h:25", S::Unknown}}) {
        // clang-format on
        lines.insert(lines.end(), {"10=x", "19= /etc/ca.pem "});
        auto mail = LoadedMail(lines);
        const TMailServer &in = mail->IncomingServer, &out = mail->SmtpServer;
        EXPECT_EQ(in.Host + ":" + std::to_string(in.Port) + " " + out.Host + ":" +
                      std::to_string(out.Port) + (mail->UseMapi ? " M" : "") +
                      (mail->UseImap ? " I" : ""),
                  servers);
        EXPECT_TRUE(in.Security == security && out.Security == security) << servers;
        EXPECT_EQ(in.CAFile + out.CAFile, "/etc/ca.pem/etc/ca.pem");
    }
}

// File mode: a send writes the packed data to the pattern with the tag (a photo's source goes);
// no input file is no import. (Receiving, damaged input included: tests/exchange.)
TEST(VelMailFileMode, SendsAndReceivesThroughTheSharedFolder) {
    TTempFolder work, shared;
    auto mail = LoadedMail({"1=7", "4=" + work.Path(), "14=x", "28=" + shared.Path() + "out%s.md_",
                            "78=" + shared.Path() + "in%s.md_"});
    for (auto [isBlob, tag, content] :
         {std::tuple{false, "", "export data"}, {true, "42", "photo"}, {false, "", ""}}) {
        std::string source = work.Path() + (isBlob ? "MBlobexport.mdb" : "export.mdb");
        WriteText(source, content);
        ASSERT_TRUE(mail->SendData(isBlob, "", tag)) << mail->ErrorText;
        std::string packed = ReadText(shared.Path() + "out" + tag + ".md_");
        EXPECT_EQ(*content ? Inflated(packed) : packed, content);
        EXPECT_EQ(fs::exists(source), !isBlob);
    }
    EXPECT_TRUE(
        LoadedMail({"4=" + work.Path(), "14=-", "28=/nowhere/%s"})->SendData(false, "", ""));

    EXPECT_TRUE(mail->ReceiveData());
    EXPECT_EQ(std::distance(fs::directory_iterator(work.Path()), {}), 1); // export.mdb alone

    // Mail servers out of reach (nothing listens on port 1): the step names host and port.
    mail = LoadedMail({"1=7", "4=" + work.Path(), "10=x", "11=127.0.0.1:1", "14=127.0.0.1:1"});
    const std::string unreachable = ": Keine Verbindung zum Server 127.0.0.1:1)";
    EXPECT_FALSE(mail->SendData(false, "", ""));
    EXPECT_EQ(mail->ErrorText, "Fehler bei E-Mail-Verarbeitung (Schritt 10" + unreachable);
    EXPECT_FALSE(mail->ReceiveData());
    EXPECT_EQ(mail->ErrorText, "Fehler bei E-Mail-Verarbeitung (Schritt 20" + unreachable);
}

// Simple MAPI over the folder-backed library (tests/fakes/mapi: one text file per message),
// loaded through the same run-time path as a real one. Visited from the last id: 3 is chosen
// first, 1 matches later and wins; the too-old 2 goes, an unparsable date counts as now. A
// download that fails (step 31) keeps the message (data that does not inflate: the POP3 case).
TEST(MAPIMailStore, TakesTheLastMatchInVisitOrderAndKeepsItOnFailure) {
    TTempFolder store, work;
    setenv("ORVENDAL_MAPI_LIBRARY", ORVENDAL_FAKE_MAPI_LIBRARY, 1);
    setenv("ORVENDAL_MAPI_INSTALLED", "1", 1);
    setenv("ORVENDAL_FAKE_MAPI_DIR", store.Path().c_str(), 1);
    auto mail = LoadedMail({"1=7", "2=dev", "4=" + work.Path(), "10=x", "11=MAPI"});
    const std::string date = "\nDate: 2024/01/01 10:00\n", attach = "Attach: " + work.File("a.md_");
    WriteText(work.File("a.md_"), Deflated("from one"));
    WriteText(store.File("1"), "Subject: 50_7_dev a" + date + attach + "\n\n");
    WriteText(store.File("2"), "Subject: foreign old\nDate: 2001/01/01 10:00\n\n");
    WriteText(store.File("3"), "Subject: 50_7_dev b" + date + "\n");
    WriteText(store.File("4"), "Subject: foreign undated\nDate: gestern\n\n");
    ASSERT_TRUE(mail->ReceiveData()) << mail->ErrorText;
    EXPECT_EQ(ReadText(work.File("import.mdb")), "from one");
    EXPECT_EQ(std::distance(fs::directory_iterator(store.Path()), {}), 1);
    EXPECT_TRUE(fs::exists(store.File("4")) && !mail->MapiReader().LoggedOn);

    WriteText(store.File("1"), "Subject: 50_7_dev" + date + attach + "\n\n");
    setenv("ORVENDAL_FAKE_MAPI_FAIL_READ", "1", 1);
    EXPECT_FALSE(mail->ReceiveData());
    unsetenv("ORVENDAL_FAKE_MAPI_FAIL_READ");
    EXPECT_EQ(mail->ErrorText, "Fehler bei E-Mail-Verarbeitung (Schritt 31: MAPIReadMail: Code 2)");
    EXPECT_TRUE(fs::exists(store.File("1")) && ReadText(work.File("import.mdb")) == "from one");
}

// Not installed ("1 " and "0" are not "1"), no library, no entry points: every call gives
// code 1. Loading happens once per process: each case runs in a fresh one.
TEST(MAPIMailMissing, EveryCallGivesCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // clang-format off
    for (auto [installed, library] : {std::pair{"1 ", ORVENDAL_FAKE_MAPI_LIBRARY},
             {"0", ORVENDAL_FAKE_MAPI_LIBRARY}, {"1", "/nonexistent/libmapi.so"},
             {"1", "libz.so.1"}})
        // clang-format on
        EXPECT_EXIT(
            {
                setenv("ORVENDAL_MAPI_INSTALLED", installed, 1);
                setenv("ORVENDAL_MAPI_LIBRARY", library, 1);
                TMAPIMail mapi;
                _exit(mapi.Logon() ? 9 : static_cast<int>(mapi.LastResult));
            },
            ::testing::ExitedWithCode(1), "")
            << installed << library;
}

} // namespace
} // namespace orvendal::testing
