// TVelHTTP and its HTTP client against the loopback web transfer server (HTTP and HTTPS) and
// tinyproxy. The HTTPS server's certificate names "localhost" only and comes from the test CA,
// which only the CA file makes known.
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
             {"gate:0", "gate:80"}, {"gate:1", "gate:1"}, {"gate:65535", "gate:65535"},
             {"gate:65536", "gate:80"}, {"3128", "3128:3128"}, {"", "earlier:3128"}}) {
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
        http.Client.CAFile = ca;
        WriteText(import, "old import");
    }
    std::vector<TRequest> Ours() { return RequestsContaining(env, "?" + key + "&"); }
    THttpEnv env;
    std::string key = UniqueKey(), ca = Env("ORVENDAL_TEST_CA");
    std::string https = "https://localhost:" + Env("ORVENDAL_TEST_HTTPS_PORT") + "/transfer.php";
    std::string wrongHost = "https://127.0.0.1:" + Env("ORVENDAL_TEST_HTTPS_PORT");
    std::string expired = "https://localhost:" + Env("ORVENDAL_TEST_EXPIRED_PORT");
    TTempFolder scratch;
    std::string import = scratch.File("import.mdb"), file = scratch.File("MBlobexport.mdb");
    TVelHTTP http;
};

// The probe's reply is the script's text, fetched directly even when the environment names a
// proxy. A status from 400 on and any failure give the empty reply (the run then takes the
// mail), ErrorText untouched; the client fetches http(s) only. Only a ProxySpec sends requests
// through tinyproxy (its Via header shows), loopback included; an unreachable proxy fails all
// three (uploads and downloads through tinyproxy: tests/exchange).
TEST_F(VelHTTPTest, ProbeGoesDirectUnlessAProxyIsSet) {
    setenv("http_proxy", Refused.c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    std::string reply, proxied = http.ServerUrl, direct;
    WriteText(env.Dir + "/probe/" + key + ".txt", "bereit 2");
    // clang-format off
    for (auto [url, body, error, proxy] : {std::tuple{proxied, "bereit 2", "", direct},
             {env.Url + "/status/302", "status page", "", direct},
             {env.Url + "/status/399", "status page", "", direct}, {https, "bereit 2", "", direct},
             {env.Url + "/status/400", "", "HTTP/1.0 400 Bad Request", direct},
             {env.Url + "/status/500", "", "HTTP/1.0 500 Internal Server Error", direct},
             {Refused, "", "Failed to connect", direct},
             {env.Url + "/drop", "", "transfer closed", direct},
             {wrongHost, "", "Zertifikat gilt nicht für den Server 127.0.0.1", direct},
             {expired, "", "Zertifikat des Servers localhost ist abgelaufen", direct},
             {"file:///etc/hostname", "", "Protocol \"file\"", direct},
             {proxied, "bereit 2", "", env.Proxy},
             {proxied, "", "Failed to connect", "127.0.0.1:1"}}) {
        // clang-format on
        http.ServerUrl = url;
        http.ProxySpec = proxy;
        http.CheckService(reply);
        EXPECT_EQ(reply + http.ErrorText, body) << url << proxy;
        EXPECT_TRUE(http.Client.LastError.starts_with(error)) << http.Client.LastError;
    }
    ASSERT_EQ(Ours().size(), 8u); // none for a refused connection, proxy or certificate
    EXPECT_EQ(Ours()[0].Path + Ours()[0].Agent + Ours()[0].Via,
              "/transfer.php?" + key + "&-2_WebTransfer");
    EXPECT_NE(Ours().back().Via.find("tinyproxy"), std::string::npos) << Ours().back().Via;
    WriteText(file, "rows");
    EXPECT_FALSE(http.SendFile(false, file) || http.ReceiveFile(import, true));
    TMemoryStream page; // an error page is no reply body
    EXPECT_FALSE(http.Client.Get(env.Url + "/status/400", page) || page.Size() > 0);
}

// Uploads carry the kind and the device in the agent and the file as raw zlib data (nothing
// for an empty file); a photo goes once sent and stays when the upload failed. A refused
// certificate sends nothing.
TEST_F(VelHTTPTest, UploadsPostThePackedFile) {
    // clang-format off
    for (auto [isBlob, size, url, caFile, error] : {
             std::tuple{false, 300000, http.ServerUrl, ca, std::string()},
             {true, 2000, https, ca, ""}, {false, 0, http.ServerUrl, ca, ""},
             {true, 9, env.Url + "/status/500", ca, "HTTP/1.0 500 Internal Server Error"},
             {true, 9, Refused, ca, "Failed to connect"}, {true, -1, http.ServerUrl, ca, "Datei "},
             {true, 9, wrongHost, ca, "Zertifikat gilt nicht für den Server 127.0.0.1"},
             {true, 9, https, "", "Zertifikat des Servers localhost stammt von keiner "
              "vertrauenswürdigen Stelle"},
             {true, 9, https, "/no.pem", "Zertifikatsdatei /no.pem kann nicht gelesen werden"}}) {
        // clang-format on
        http.ServerUrl = url;
        http.Client.CAFile = caFile;
        fs::remove(file);
        if (size >= 0)
            WriteText(file, SampleContent(size));
        EXPECT_EQ(http.SendFile(isBlob, file, "4"), error.empty());
        EXPECT_TRUE(http.ErrorText.starts_with(error.empty() ? "" : "HTTP-Step 10: " + error))
            << http.ErrorText;
        EXPECT_EQ(fs::exists(file), size >= 0 && (!isBlob || !error.empty()));
    }
    auto exports = UploadsWithAgent(env, "_WebTransfer_" + key);
    auto photos = UploadsWithAgent(env, "_WebTransferB" + key);
    ASSERT_EQ(exports.size() + photos.size(), 3u);
    EXPECT_TRUE(exports[0].Body == Deflated(SampleContent(300000)) && exports[1].Body.empty());
    EXPECT_TRUE(photos[0].Body == Deflated(SampleContent(2000)));
    EXPECT_EQ(photos[0].Path, "/transfer.php");
}

// An empty reply writes nothing; every failure (also a disk that fills up) is step 20 and keeps
// the import of an earlier run untouched and alone. (Whole downloads over HTTP and HTTPS, with
// the "&0" of a handheld not attached: tests/exchange.)
TEST_F(VelHTTPTest, DownloadReplacesTheImportWholeOrNotAtAll) {
    std::string packed = Deflated(SampleContent(200000));
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    // clang-format off
    for (auto [url, offered, limit] : {std::tuple{http.ServerUrl, std::string(), false},
             {env.Url + "/status/500", packed, false}, {http.ServerUrl, packed.substr(9), false},
             {http.ServerUrl, packed.substr(0, packed.size() / 2), false},
             {env.Url + "/drop", packed, false}, {Refused, packed, false},
             {wrongHost, packed, false}, {http.ServerUrl, packed, true}}) {
        // clang-format on
        http.ServerUrl = url;
        WriteText(env.Dir + "/download/" + key + ".z", offered);
        rlimit small{limit ? 64 * 1024 : old.rlim_cur, old.rlim_max}; // a disk that fills up
        setrlimit(RLIMIT_FSIZE, &small);
        EXPECT_EQ(http.ReceiveFile(import, true), offered.empty()) << url;
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_TRUE(http.ErrorText.starts_with(offered.empty() ? "" : "HTTP-Step 20: "))
            << http.ErrorText;
        EXPECT_EQ(ReadText(import), "old import");
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), {}), 1);
    }
}

} // namespace
} // namespace orvendal::testing
