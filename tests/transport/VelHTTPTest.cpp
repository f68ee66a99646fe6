// TVelHTTP and its HTTP client against the loopback web transfer server (HTTP and HTTPS) and
// tinyproxy.
#include "transport/VelHTTP.h"

#include "transport/TransportFixture.h"

#include <sys/resource.h>

#include <csignal>

namespace orvendal::testing {
namespace {

const std::string Refused = "http://127.0.0.1:1"; // nothing listens on port 1

TEST(ApplyProxy, SplitsAtTheFirstColon) {
    // clang-format off
    for (auto [spec, proxy] : {std::pair{"gate:8080", "gate:8080"}, {"gate", "gate:80"},
             {"gate:abc", "gate:80"}, {"gate:", "gate:80"}, {"gate:81:82", "gate:80"},
             {"gate:70000", "gate:80"}, {"3128", "3128:3128"}, {"", "earlier:3128"}}) {
        // clang-format on
        TVelHTTP http;
        http.Client.ProxyServer = "earlier"; // an empty spec leaves the settings as they were
        http.Client.ProxyPort = 3128;
        http.ProxySpec = spec;
        http.ApplyProxy();
        EXPECT_EQ(http.Client.ProxyServer + ":" + std::to_string(http.Client.ProxyPort), proxy);
    }
}

class VelHTTPTest : public ::testing::Test {
protected:
    void SetUp() override {
        ORVENDAL_REQUIRE_HTTP(env);
        http.ServerUrl = env.Url + "/transfer.php";
        http.DeviceKey = key;
        WriteText(import, "old import");
    }
    void Offer(const std::string& packed) {
        WriteText(env.Dir + "/download/" + key + ".z", packed);
    }
    std::vector<TRequest> Ours() { return RequestsContaining(env, "?" + key + "&"); }
    std::vector<TRequest> Uploads(const char* mark) {
        return UploadsWithAgent(env, "_WebTransfer" + (mark + key));
    }
    // The import of an earlier run stays untouched and alone.
    void ExpectOldImport(const std::string& error) {
        EXPECT_TRUE(http.ErrorText.starts_with(error)) << http.ErrorText;
        EXPECT_EQ(ReadText(import), "old import");
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), {}), 1);
    }
    THttpEnv env = HttpEnv();
    std::string key = UniqueKey();
    TTempFolder scratch;
    std::string import = scratch.File("import.mdb"), file = scratch.File("MBlobexport.mdb");
    TVelHTTP http;
};

// The probe's reply is the script's text, fetched directly even when the environment names a
// proxy; any failure gives the empty reply (the run then takes the mail), ErrorText untouched.
// Only a ProxySpec sends all three requests through tinyproxy (its Via header shows), loopback
// included; an unreachable proxy fails them all.
TEST_F(VelHTTPTest, ProbeGoesDirectAndOnlyTheSpecNamesAProxy) {
    setenv("http_proxy", Refused.c_str(), 1);
    std::string reply;
    WriteText(env.Dir + "/probe/" + key + ".txt", "bereit 2");
    http.CheckService(reply);
    EXPECT_EQ(reply, "bereit 2");
    ASSERT_EQ(Ours().size(), 1u);
    EXPECT_EQ(Ours()[0].Path + Ours()[0].Agent + Ours()[0].Via,
              "/transfer.php?" + key + "&-2_WebTransfer");
    for (const std::string& url : {Refused, env.Url + "/status/500", env.Url + "/drop"}) {
        http.ServerUrl = url;
        http.CheckService(reply);
        EXPECT_EQ(reply + http.ErrorText, "") << url;
    }
    // The client fetches http(s) only, follows no redirect and keeps error pages out.
    TMemoryStream out;
    EXPECT_FALSE(http.Client.Get("file:///etc/hostname", out));
    EXPECT_TRUE(http.Client.Get(env.Url + "/status/302", out)) << http.Client.LastError;
    EXPECT_FALSE(http.Client.Get(env.Url + "/status/404", out));
    EXPECT_EQ(http.Client.LastError + out.AsString(), "HTTP/1.0 404 Not Foundstatus page");

    setenv("no_proxy", "127.0.0.1,localhost", 1);
    http.ServerUrl = env.Url + "/transfer.php";
    http.ProxySpec = env.Proxy;
    size_t direct = Ours().size();
    http.CheckService(reply);
    WriteText(file, "rows");
    ASSERT_TRUE(http.SendFile(false, file)) << http.ErrorText;
    ASSERT_TRUE(http.ReceiveFile(import, true)) << http.ErrorText;
    ASSERT_EQ(Ours().size() + Uploads("_").size(), direct + 3);
    for (const std::string& via : {Ours()[direct].Via, Ours()[direct + 1].Via, Uploads("_")[0].Via})
        EXPECT_NE(via.find("tinyproxy"), std::string::npos);
    http.ProxySpec = "127.0.0.1:1";
    http.CheckService(reply);
    EXPECT_FALSE(http.SendFile(false, file) || http.ReceiveFile(import, true) || !reply.empty());
}

// Uploads carry the kind and the device in the agent and the file as raw zlib data (nothing
// for an empty file); a photo goes once sent and stays when the upload failed.
TEST_F(VelHTTPTest, UploadsPostThePackedFile) {
    // clang-format off
    for (auto [isBlob, size, url, error] : {std::tuple{false, 300000, "/transfer.php", ""},
             {true, 2000, "/transfer.php", ""}, {false, 0, "/transfer.php", ""},
             {true, 9, "/status/500", "HTTP/1.0 500 Internal Server Error"},
             {true, 9, ":1", "Failed to connect"}, {true, -1, "/transfer.php", "Datei "}}) {
        // clang-format on
        http.ServerUrl = (*url == ':' ? "http://127.0.0.1" : env.Url) + url;
        fs::remove(file);
        if (size >= 0)
            WriteText(file, SampleContent(size));
        EXPECT_EQ(http.SendFile(isBlob, file, "4"), !*error);
        EXPECT_TRUE(http.ErrorText.starts_with(*error ? std::string("HTTP-Step 10: ") + error : ""))
            << http.ErrorText;
        EXPECT_EQ(fs::exists(file), size >= 0 && (!isBlob || *error));
    }
    auto exports = Uploads("_"), photos = Uploads("B");
    ASSERT_EQ(exports.size() + photos.size(), 3u);
    EXPECT_TRUE(exports[0].Body == Deflated(SampleContent(300000)) && exports[1].Body.empty());
    EXPECT_TRUE(photos[0].Body == Deflated(SampleContent(2000)));
    EXPECT_EQ(photos[0].Path, "/transfer.php");
}

// The address ends in "&0" when the handheld was not attached; an empty reply writes nothing;
// every failure (also a disk that fills up) is step 20 and keeps the import of an earlier run.
TEST_F(VelHTTPTest, DownloadReplacesTheImportWholeOrNotAtAll) {
    ASSERT_TRUE(http.ReceiveFile(import, true)) << http.ErrorText;
    ExpectOldImport("");
    std::string packed = Deflated(SampleContent(200000));
    signal(SIGXFSZ, SIG_IGN);
    for (auto [url, offered, limit] : {std::tuple{env.Url + "/status/500", packed, false},
                                       {http.ServerUrl, packed.substr(9), false},
                                       {http.ServerUrl, packed.substr(0, packed.size() / 2), false},
                                       {env.Url + "/drop", packed, false},
                                       {Refused, packed, false},
                                       {http.ServerUrl, packed, true}}) {
        http.ServerUrl = url;
        Offer(offered);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small{limit ? 64 * 1024 : old.rlim_cur, old.rlim_max}; // a disk that fills up
        setrlimit(RLIMIT_FSIZE, &small);
        EXPECT_FALSE(http.ReceiveFile(import, true)) << url;
        setrlimit(RLIMIT_FSIZE, &old);
        ExpectOldImport("HTTP-Step 20: ");
    }
    ASSERT_TRUE(http.ReceiveFile(import, false)) << http.ErrorText;
    EXPECT_TRUE(ReadText(import) == SampleContent(200000));
    EXPECT_EQ(http.LastUrl, http.ServerUrl + "?" + key + "&");
    EXPECT_EQ(Ours().front().Path, "/transfer.php?" + key + "&100");
    EXPECT_EQ(Ours().back().Path, "/transfer.php?" + key + "&100&0");
}

// HTTPS: the server's certificate names "localhost" only and comes from the test CA, which only
// the CA file makes known. Every refusal sends nothing and keeps the old import.
TEST_F(VelHTTPTest, HttpsVerifiesTheServerCertificate) {
    std::string ca = Env("ORVENDAL_TEST_CA"), content = SampleContent(4000);
    // clang-format off
    for (auto [host, caFile, error] : {std::tuple{"localhost", ca, ""},
             {"127.0.0.1", ca, "Zertifikat gilt nicht für den Server 127.0.0.1"},
             {"localhost", "",
              "Zertifikat des Servers localhost stammt von keiner vertrauenswürdigen Stelle"},
             {"localhost", "/no.pem", "Zertifikatsdatei /no.pem kann nicht gelesen werden"}}) {
        // clang-format on
        http.ServerUrl = std::string("https://") + host + ":" + Env("ORVENDAL_TEST_HTTPS_PORT");
        http.Client.CAFile = caFile;
        std::string reply;
        http.CheckService(reply);
        EXPECT_EQ(reply, *error ? "" : "OK");
        WriteText(file, content);
        Offer(Deflated(content));
        EXPECT_EQ(http.SendFile(true, file), !*error);
        EXPECT_EQ(http.ErrorText, *error ? std::string("HTTP-Step 10: ") + error : "");
        EXPECT_EQ(http.ReceiveFile(import, true), !*error);
        EXPECT_EQ(Uploads("B").size(), 1u);
        EXPECT_TRUE(ReadText(import) == (*error ? "old import" : content));
        WriteText(import, "old import");
    }
}

} // namespace
} // namespace orvendal::testing
