#include "transport/HttpClient.h"

#include "transport/Certificates.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace orvendal {

namespace {

// A dead server must not hang the user-interface thread for minutes: give up connecting after
// 20 s, and give up a transfer that has moved nothing for a minute or runs longer than 15 min.
constexpr long ConnectTimeoutSeconds = 20;
constexpr long StallSeconds = 60;
constexpr long TransferTimeoutSeconds = 15 * 60;

struct TCurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct TSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What one request collects while it runs.
struct TExchange {
    TStream* Out = nullptr;
    long Status = 0;
    std::string StatusLine; // first line of the last response header block
};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<TExchange*>(user);
    std::string line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        exchange->StatusLine = line;
        size_t space = line.find(' ');
        exchange->Status = space == std::string::npos ? 0 : std::atol(line.c_str() + space + 1);
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<TExchange*>(user);
    if (exchange->Status >= 400) {
        return size * count; // an error page is no reply body
    }
    try {
        exchange->Out->Write(data, size * count);
    } catch (...) {
        return 0; // libcurl ends the transfer with a write error
    }
    return size * count;
}

// The host of url, for the messages.
std::string HostOf(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parts(curl_url(), curl_url_cleanup);
    char* host = nullptr;
    if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parts.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        return url;
    std::string text = host;
    curl_free(host);
    return text;
}

// Why the server's certificate was refused, from OpenSSL's verify result; curl's own host name
// check, which runs after OpenSSL's checks passed, leaves 1 (X509_V_ERR_UNSPECIFIED).
std::string CertificateFailure(CURL* h, const std::string& url) {
    long result = 0;
    curl_easy_getinfo(h, CURLINFO_SSL_VERIFYRESULT, &result);
    // X509_V_ERR_CERT_NOT_YET_VALID, _CERT_HAS_EXPIRED, _HOSTNAME_MISMATCH, _IP_ADDRESS_MISMATCH
    constexpr long CurlHostCheck = 1, NotYetValid = 9, Expired = 10, HostMismatch = 62,
                   AddressMismatch = 64;
    TCertificateFault fault = TCertificateFault::Untrusted;
    if (result == CurlHostCheck || result == HostMismatch || result == AddressMismatch)
        fault = TCertificateFault::WrongHost;
    else if (result == Expired)
        fault = TCertificateFault::Expired;
    else if (result == NotYetValid)
        fault = TCertificateFault::NotYetValid;
    return CertificateText(fault, HostOf(url));
}

// One request; a null body makes it a GET. Uses the client's agent and proxy, sets its LastError.
bool Perform(THttpClient& client, const std::string& url, const TMemoryStream* body, TStream& out) {
    InitCurlOnce();
    std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
    if (!curl) {
        client.LastError = "HTTP-Client kann nicht angelegt werden";
        return false;
    }
    CURL* h = curl.get();
    TExchange exchange;
    exchange.Out = &out;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_USERAGENT, client.UserAgent.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, TransferTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, StallSeconds);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &exchange);

    // The proxy is exactly what the caller set: an empty host is a direct connection even when
    // http_proxy is set in the environment, and a named proxy is used for every host.
    std::string proxy;
    if (!client.ProxyServer.empty()) {
        proxy = "http://" + client.ProxyServer + ":" + std::to_string(client.ProxyPort);
        curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    }
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());

    // The system's store is curl's default; a CA file comes on top of it, not instead.
    std::string trusted;
    if (!client.CAFile.empty()) {
        try {
            trusted = TrustedCertificates(client.CAFile);
        } catch (const std::exception& e) {
            client.LastError = e.what();
            return false;
        }
        curl_blob blob{trusted.data(), trusted.size(), CURL_BLOB_NOCOPY};
        curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob);
    }

    std::unique_ptr<curl_slist, TSlistDeleter> headers;
    if (body != nullptr) {
        static const char empty = 0;
        const auto& bytes = body->Bytes();
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS,
                         bytes.empty() ? &empty : reinterpret_cast<const char*>(bytes.data()));
        // No "Expect: 100-continue" round trip: servers that do not answer it cost a second.
        headers.reset(curl_slist_append(nullptr, "Expect:"));
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    }

    CURLcode code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &exchange.Status);
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        client.LastError = CertificateFailure(h, url);
        return false;
    }
    if (code != CURLE_OK) {
        client.LastError = errorBuffer[0] != 0 ? errorBuffer : curl_easy_strerror(code);
        return false;
    }
    if (exchange.Status >= 400) {
        client.LastError = !exchange.StatusLine.empty()
                               ? exchange.StatusLine
                               : "HTTP-Status " + std::to_string(exchange.Status);
        return false;
    }
    return true;
}

} // namespace

bool THttpClient::Get(const std::string& url, TStream& out) {
    return Perform(*this, url, nullptr, out);
}

bool THttpClient::Post(const std::string& url, const TMemoryStream& body, TStream& reply) {
    return Perform(*this, url, &body, reply);
}

} // namespace orvendal
