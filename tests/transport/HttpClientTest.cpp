// THttpClient against the loopback web server and tinyproxy.
#include "transport/HttpClient.h"

#include "transport/HttpTestEnv.h"

namespace orvendal {
namespace {

using namespace orvendal::testing;

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override { ORVENDAL_REQUIRE_HTTP(env); }
    THttpEnv env = HttpEnv();
    THttpClient client;
};

TEST_F(HttpClientTest, GetAppendsTheBodyAndSendsTheAgent) {
    std::string name = "client-" + UniqueKey() + ".bin";
    std::string content = SampleContent(70000);
    WriteText(env.Dir + "/files/" + name, content);
    client.UserAgent = "agent-" + name;
    TMemoryStream out;
    out.WriteString("kept:");
    ASSERT_TRUE(client.Get(env.Url + "/files/" + name, out)) << client.LastError;
    EXPECT_EQ(out.AsString(), "kept:" + content);
    EXPECT_TRUE(client.LastError.empty());
    auto seen = RequestsContaining(env, name);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Agent, "agent-" + name);
    EXPECT_EQ(seen[0].Via, ""); // direct, no proxy on the way
}

// Every way a request fails: false, a message, and no error page in the output.
struct TFailureCase {
    const char* Name;
    const char* Path;     // appended to the server address; nullptr: a refused port
    const char* Expected; // the message, or a part of it when Exact is false
    bool Exact;
};
void PrintTo(const TFailureCase& c, std::ostream* os) {
    *os << c.Name;
}

class HttpClientFailureTest : public HttpClientTest,
                              public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(HttpClientFailureTest, GetFailsWithTheReason) {
    const TFailureCase& c = GetParam();
    TClosedPort closed;
    std::string url = c.Path ? env.Url + c.Path : closed.Url() + "/x";
    TMemoryStream out;
    EXPECT_FALSE(client.Get(url, out));
    if (c.Exact) {
        EXPECT_EQ(client.LastError, c.Expected);
    } else {
        EXPECT_NE(client.LastError.find(c.Expected), std::string::npos) << client.LastError;
    }
    if (c.Path != nullptr && std::string(c.Path) != "/drop") {
        EXPECT_EQ(out.Size(), 0u) << "an error page is no reply body";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpClientFailureTest,
    ::testing::Values(
        TFailureCase{"Status500", "/status/500", "HTTP/1.0 500 Internal Server Error", true},
        TFailureCase{"Status404", "/files/missing-file", "HTTP/1.0 404 Not Found", true},
        TFailureCase{"Status400", "/status/400", "HTTP/1.0 400 Bad Request", true},
        TFailureCase{"DropMidTransfer", "/drop", "transfer closed", false},
        TFailureCase{"Refused", nullptr, "Couldn't connect", false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(HttpClientTest, StatusBelow400IsSuccess) {
    TMemoryStream out;
    EXPECT_TRUE(client.Get(env.Url + "/status/204", out)) << client.LastError;
    EXPECT_TRUE(client.Get(env.Url + "/status/302", out)) << client.LastError;
}

// Raw bodies arrive byte for byte; an empty body is an empty POST.
TEST_F(HttpClientTest, PostSendsTheRawBody) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{200000}}) {
        std::string agent = "post-" + UniqueKey();
        client.UserAgent = agent;
        TMemoryStream body;
        body.WriteString(SampleContent(size));
        TMemoryStream reply;
        ASSERT_TRUE(client.Post(env.Url + "/script?" + agent, body, reply)) << client.LastError;
        EXPECT_EQ(reply.AsString(), "OK");
        auto uploads = UploadsWithAgent(env, agent);
        ASSERT_EQ(uploads.size(), 1u) << "size " << size;
        EXPECT_EQ(uploads[0].Body, SampleContent(size));
        EXPECT_EQ(uploads[0].Path, "/script?" + agent);
    }
}

TEST_F(HttpClientTest, PostFailsOnAnErrorStatus) {
    TMemoryStream body, reply;
    body.WriteString("data");
    EXPECT_FALSE(client.Post(env.Url + "/status/503", body, reply));
    EXPECT_EQ(client.LastError, "HTTP/1.0 503 Service Unavailable");
}

TEST_F(HttpClientTest, NamedProxyCarriesTheRequest) {
    std::string name = "proxied-" + UniqueKey();
    WriteText(env.Dir + "/files/" + name, "through the proxy");
    size_t colon = env.Proxy.find(':');
    client.ProxyServer = env.Proxy.substr(0, colon);
    client.ProxyPort = std::stoi(env.Proxy.substr(colon + 1));
    TScopedEnv noProxy("no_proxy", "127.0.0.1,localhost"); // a named proxy is used for all hosts
    TMemoryStream out;
    ASSERT_TRUE(client.Get(env.Url + "/files/" + name, out)) << client.LastError;
    EXPECT_EQ(out.AsString(), "through the proxy");
    auto seen = RequestsContaining(env, name);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].Via.find("tinyproxy"), std::string::npos) << seen[0].Via;
}

TEST_F(HttpClientTest, EmptyProxyServerIgnoresTheEnvironment) {
    TClosedPort closed;
    TScopedEnv proxy("http_proxy", closed.Url());
    TScopedEnv noProxy("no_proxy", "");
    std::string name = "direct-" + UniqueKey();
    WriteText(env.Dir + "/files/" + name, "direct");
    TMemoryStream out;
    ASSERT_TRUE(client.Get(env.Url + "/files/" + name, out)) << client.LastError;
    EXPECT_EQ(out.AsString(), "direct");
}

TEST_F(HttpClientTest, UnreachableProxyFails) {
    TClosedPort closed;
    client.ProxyServer = "127.0.0.1";
    client.ProxyPort = closed.Port();
    TMemoryStream out;
    EXPECT_FALSE(client.Get(env.Url + "/status/204", out));
    EXPECT_FALSE(client.LastError.empty());
}

TEST_F(HttpClientTest, OnlyHttpSchemesAreFetched) {
    TMemoryStream out;
    EXPECT_FALSE(client.Get("file:///etc/hostname", out));
    EXPECT_EQ(out.Size(), 0u);
    EXPECT_FALSE(client.LastError.empty());
}

} // namespace
} // namespace orvendal
