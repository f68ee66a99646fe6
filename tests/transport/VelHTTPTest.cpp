// TVelHTTP against the loopback web transfer server and tinyproxy.
#include "transport/VelHTTP.h"

#include "transport/HttpTestEnv.h"

#include <sys/resource.h>

#include <csignal>

namespace orvendal {
namespace {

using namespace orvendal::testing;
namespace fs = std::filesystem;

// ProxySpec -> proxy settings.
struct TProxyCase {
    const char* Name;
    const char* Spec;
    const char* Server;
    int Port;
};
void PrintTo(const TProxyCase& c, std::ostream* os) {
    *os << c.Name;
}

class ApplyProxyTest : public ::testing::TestWithParam<TProxyCase> {};

TEST_P(ApplyProxyTest, SplitsAtTheFirstColon) {
    TVelHTTP http;
    http.ProxySpec = GetParam().Spec;
    http.ApplyProxy();
    EXPECT_EQ(http.Client.ProxyServer, GetParam().Server);
    EXPECT_EQ(http.Client.ProxyPort, GetParam().Port);
}

INSTANTIATE_TEST_SUITE_P(Cases, ApplyProxyTest,
                         ::testing::Values(TProxyCase{"HostAndPort", "gate:8080", "gate", 8080},
                                           TProxyCase{"HostOnly", "gate", "gate", 80},
                                           TProxyCase{"PortNoNumber", "gate:abc", "gate", 80},
                                           TProxyCase{"EmptyPort", "gate:", "gate", 80},
                                           TProxyCase{"SecondColon", "gate:81:82", "gate", 80},
                                           TProxyCase{"PortTooLarge", "gate:70000", "gate", 80},
                                           TProxyCase{"NumberOnly", "3128", "3128", 3128}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ApplyProxy, EmptySpecLeavesTheSettings) {
    TVelHTTP http;
    http.Client.ProxyServer = "earlier";
    http.Client.ProxyPort = 3128;
    http.ApplyProxy();
    EXPECT_EQ(http.Client.ProxyServer, "earlier");
    EXPECT_EQ(http.Client.ProxyPort, 3128);
}

TEST(VelHTTP, MessagePrefix) {
    TVelHTTP http;
    EXPECT_EQ(http.MessagePrefix, "HTTP-");
    EXPECT_EQ(http.ErrorText, "");
}

class VelHTTPTest : public ::testing::Test {
protected:
    void SetUp() override {
        ORVENDAL_REQUIRE_HTTP(env);
        http.ServerUrl = env.Url + "/transfer.php";
        http.DeviceKey = key;
    }
    // Puts the server's answer to this device's download request in place.
    void OfferDownload(const std::string& packed) {
        WriteText(env.Dir + "/download/" + key + ".z", packed);
    }
    std::string Files() const {
        std::string names;
        for (const auto& entry : fs::directory_iterator(scratch.Path())) {
            names += entry.path().filename().string() + " ";
        }
        return names;
    }

    THttpEnv env = HttpEnv();
    std::string key = UniqueKey();
    TTempFolder scratch;
    TVelHTTP http;
};

TEST_F(VelHTTPTest, ProbeAnswersTheScriptText) {
    std::string reply = "stale";
    http.CheckService(reply);
    EXPECT_EQ(reply, "OK");
    auto seen = RequestsContaining(env, "?" + key + "&");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Method, "GET");
    EXPECT_EQ(seen[0].Path, "/transfer.php?" + key + "&-2");
    EXPECT_EQ(seen[0].Agent, "_WebTransfer");

    WriteText(env.Dir + "/probe/" + key + ".txt", "bereit 2");
    http.CheckService(reply);
    EXPECT_EQ(reply, "bereit 2");
}

// A probe that gets no answer leaves the reply empty (the caller falls back to mail) and
// ErrorText as it was.
TEST_F(VelHTTPTest, FailedProbesAnswerEmpty) {
    TClosedPort closed;
    for (const std::string& url :
         {closed.Url() + "/transfer.php", env.Url + "/status/500", env.Url + "/drop"}) {
        http.ServerUrl = url;
        http.ErrorText = "before";
        std::string reply = "stale";
        http.CheckService(reply);
        EXPECT_EQ(reply, "") << url;
        EXPECT_EQ(http.ErrorText, "before") << url;
    }
}

// Export and photo uploads: the agent names the kind and the device, the body is the file as
// raw zlib data; a photo database is deleted once sent, the export stays.
struct TUploadCase {
    const char* Name;
    bool IsBlob;
    const char* AgentMark;
    size_t Size;
};
void PrintTo(const TUploadCase& c, std::ostream* os) {
    *os << c.Name;
}

class VelHTTPUploadTest : public VelHTTPTest, public ::testing::WithParamInterface<TUploadCase> {};

TEST_P(VelHTTPUploadTest, PostsThePackedFile) {
    const TUploadCase& c = GetParam();
    std::string file = scratch.File(c.IsBlob ? "MBlobexport.mdb" : "export.mdb");
    std::string content = SampleContent(c.Size);
    WriteText(file, content);

    ASSERT_TRUE(http.SendFile(c.IsBlob, file, "4")) << http.ErrorText;
    EXPECT_EQ(http.ErrorText, "");

    auto uploads = UploadsWithAgent(env, std::string("_WebTransfer") + c.AgentMark + key);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].Path, "/transfer.php");
    if (c.Size == 0) {
        EXPECT_EQ(uploads[0].Body, "");
    } else {
        EXPECT_EQ(uploads[0].Body.substr(0, 1), "\x78") << "a zlib header, not raw deflate";
        EXPECT_EQ(Unzip(uploads[0].Body, content.size()), content);
    }
    EXPECT_EQ(fs::exists(file), !c.IsBlob);
    EXPECT_EQ(http.PlainBuffer.Size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, VelHTTPUploadTest,
                         ::testing::Values(TUploadCase{"Export", false, "_", 300000},
                                           TUploadCase{"Photo", true, "B", 20000},
                                           TUploadCase{"EmptyExport", false, "_", 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(VelHTTPTest, UploadFailuresAreStep10) {
    std::string photo = scratch.File("MBlobexport.mdb");
    WriteText(photo, "photo rows");

    EXPECT_FALSE(http.SendFile(true, scratch.File("missing.mdb")));
    EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 10: ", 0), 0u) << http.ErrorText;

    http.ServerUrl = env.Url + "/status/500";
    EXPECT_FALSE(http.SendFile(true, photo));
    EXPECT_EQ(http.ErrorText, "HTTP-Step 10: HTTP/1.0 500 Internal Server Error");
    EXPECT_TRUE(fs::exists(photo)) << "a photo that did not go out must stay";

    TClosedPort closed;
    http.ServerUrl = closed.Url() + "/transfer.php";
    http.ErrorText.clear();
    EXPECT_FALSE(http.SendFile(true, photo));
    EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 10: ", 0), 0u) << http.ErrorText;
    EXPECT_TRUE(fs::exists(photo));
    EXPECT_TRUE(UploadsWithAgent(env, "_WebTransferB" + key).empty());
}

// The download address ends in "&0" when the handheld was not attached in this run.
TEST_F(VelHTTPTest, DownloadWritesTheInflatedFile) {
    for (bool attached : {true, false}) {
        std::string content = SampleContent(attached ? 150000 : 999);
        OfferDownload(Zip(content));
        std::string file = scratch.File("import.mdb");
        ASSERT_TRUE(http.ReceiveFile(file, attached)) << http.ErrorText;
        EXPECT_EQ(http.LastUrl, env.Url + "/transfer.php?" + key + "&");
        EXPECT_EQ(ReadText(file), content);
        EXPECT_EQ(Files(), "import.mdb ") << "no temporary file left";
    }
    auto seen = RequestsContaining(env, "?" + key + "&");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Path, "/transfer.php?" + key + "&100");
    EXPECT_EQ(seen[1].Path, "/transfer.php?" + key + "&100&0");
    EXPECT_EQ(seen[0].Agent, "_WebTransfer");
    EXPECT_EQ(seen[1].Agent, "_WebTransfer");
}

TEST_F(VelHTTPTest, EmptyDownloadWritesNothing) {
    std::string file = scratch.File("import.mdb");
    ASSERT_TRUE(http.ReceiveFile(file, true)) << http.ErrorText;
    EXPECT_FALSE(fs::exists(file));

    WriteText(file, "import of the last run");
    ASSERT_TRUE(http.ReceiveFile(file, false)) << http.ErrorText;
    EXPECT_EQ(ReadText(file), "import of the last run");
    EXPECT_EQ(http.ErrorText, "");
}

// Every failed download is step 20 and leaves the import file of an earlier run as it was.
struct TDownloadFailure {
    const char* Name;
    const char* Path;    // the script address on the server; nullptr: a refused port
    const char* Offered; // the download body the server holds
    const char* Error;   // the whole ErrorText, or nullptr when only the step is fixed
};
void PrintTo(const TDownloadFailure& c, std::ostream* os) {
    *os << c.Name;
}

class VelHTTPDownloadFailureTest : public VelHTTPTest,
                                   public ::testing::WithParamInterface<TDownloadFailure> {};

TEST_P(VelHTTPDownloadFailureTest, KeepsTheOldFile) {
    const TDownloadFailure& c = GetParam();
    TClosedPort closed;
    http.ServerUrl = c.Path ? env.Url + c.Path : closed.Url() + "/transfer.php";
    std::string offered = c.Offered;
    if (offered == "truncated") {
        std::string packed = Zip(SampleContent(50000));
        offered = packed.substr(0, packed.size() / 2);
    }
    OfferDownload(offered);
    std::string file = scratch.File("import.mdb");
    WriteText(file, "import of the last run");

    EXPECT_FALSE(http.ReceiveFile(file, true));
    if (c.Error) {
        EXPECT_EQ(http.ErrorText, c.Error);
    } else {
        EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 20: ", 0), 0u) << http.ErrorText;
        EXPECT_GT(http.ErrorText.size(), std::string("HTTP-Step 20: ").size());
    }
    EXPECT_EQ(ReadText(file), "import of the last run");
    EXPECT_EQ(Files(), "import.mdb ") << "no temporary file left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VelHTTPDownloadFailureTest,
    ::testing::Values(TDownloadFailure{"Status500", "/status/500", "",
                                       "HTTP-Step 20: HTTP/1.0 500 Internal Server Error"},
                      TDownloadFailure{"NotZlib", "/transfer.php", "no zlib data at all", nullptr},
                      TDownloadFailure{"TruncatedZlib", "/transfer.php", "truncated", nullptr},
                      TDownloadFailure{"DropMidTransfer", "/drop", "", nullptr},
                      TDownloadFailure{"Refused", nullptr, "", nullptr}),
    [](const auto& info) { return std::string(info.param.Name); });

// A write that breaks off (here: the file size limit, as a full disk would) must not destroy
// the import file of an earlier run nor leave a torn file under its name.
TEST_F(VelHTTPTest, BrokenWriteKeepsTheOldFile) {
    std::string content = SampleContent(200000);
    OfferDownload(Zip(content));
    std::string file = scratch.File("import.mdb");
    WriteText(file, "import of the last run");

    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool received = http.ReceiveFile(file, true);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_FALSE(received);
    EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 20: ", 0), 0u) << http.ErrorText;
    EXPECT_EQ(ReadText(file), "import of the last run");
    EXPECT_EQ(Files(), "import.mdb ") << "no temporary file left";

    ASSERT_TRUE(http.ReceiveFile(file, true)) << http.ErrorText; // without the limit it goes
    EXPECT_EQ(ReadText(file), content);
}

TEST_F(VelHTTPTest, DownloadIntoAMissingFolderIsStep20) {
    OfferDownload(Zip("rows"));
    EXPECT_FALSE(http.ReceiveFile(scratch.File("no-such-folder/import.mdb"), true));
    EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 20: ", 0), 0u) << http.ErrorText;
}

// With a ProxySpec all three requests go through tinyproxy, which marks them with its Via
// header on the way to the server.
TEST_F(VelHTTPTest, ProxySpecRoutesThroughTinyproxy) {
    http.ProxySpec = env.Proxy;
    TScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");
    std::string reply;
    http.CheckService(reply);
    EXPECT_EQ(reply, "OK");

    std::string file = scratch.File("export.mdb");
    WriteText(file, SampleContent(5000));
    ASSERT_TRUE(http.SendFile(false, file)) << http.ErrorText;
    OfferDownload(Zip("proxied import"));
    ASSERT_TRUE(http.ReceiveFile(scratch.File("import.mdb"), true)) << http.ErrorText;
    EXPECT_EQ(ReadText(scratch.File("import.mdb")), "proxied import");

    auto seen = RequestsContaining(env, "/transfer.php");
    std::vector<TRequest> ours;
    for (const auto& r : seen) {
        if (r.Path.find(key) != std::string::npos || r.Agent == "_WebTransfer_" + key) {
            ours.push_back(r);
        }
    }
    ASSERT_EQ(ours.size(), 3u);
    for (const auto& r : ours) {
        EXPECT_NE(r.Via.find("tinyproxy"), std::string::npos) << r.Method << " " << r.Path;
    }
    std::string log = ReadText(fs::path(env.Dir).parent_path() / "tinyproxy/tinyproxy.log");
    EXPECT_NE(log.find("/transfer.php?" + key + "&-2"), std::string::npos);
}

// An empty ProxySpec is a direct connection, whatever the environment's proxy says.
TEST_F(VelHTTPTest, EmptyProxySpecIsDirect) {
    TClosedPort closed;
    TScopedEnv proxy("http_proxy", closed.Url());
    TScopedEnv noProxy("no_proxy", "");
    std::string reply;
    http.CheckService(reply);
    EXPECT_EQ(reply, "OK");
    auto seen = RequestsContaining(env, "?" + key + "&-2");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Via, "");
}

TEST_F(VelHTTPTest, UnreachableProxyFailsEveryRequest) {
    TClosedPort closed;
    http.ProxySpec = "127.0.0.1:" + std::to_string(closed.Port());
    std::string reply;
    http.CheckService(reply);
    EXPECT_EQ(reply, "");
    std::string file = scratch.File("export.mdb");
    WriteText(file, "rows");
    EXPECT_FALSE(http.SendFile(false, file));
    EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 10: ", 0), 0u) << http.ErrorText;
    EXPECT_FALSE(http.ReceiveFile(scratch.File("import.mdb"), true));
    EXPECT_EQ(http.ErrorText.rfind("HTTP-Step 20: ", 0), 0u) << http.ErrorText;
    EXPECT_TRUE(RequestsContaining(env, "?" + key + "&").empty());
}

} // namespace
} // namespace orvendal
