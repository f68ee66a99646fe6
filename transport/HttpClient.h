#pragma once
// One HTTP client on libcurl: GET into a stream and POST of a raw body, with a user agent and an
// optional proxy. https addresses are verified against the system's CA store (and CAFile). The
// transports, the settings server download and the manual download use it.

#include "protect/Streams.h"

#include <string>

namespace orvendal {

class THttpClient {
public:
    std::string UserAgent;
    // Proxy host and port; an empty host means a direct connection.
    std::string ProxyServer;
    int ProxyPort = 0;
    // A PEM file trusted for https besides the system's CA store; empty = the store alone.
    std::string CAFile;
    // Message of the last failed request; empty until a request fails. A server certificate
    // that is not accepted gives "Zertifikat ..." saying why; nothing was sent then.
    std::string LastError;

    // Appends the reply body to out. False on a connection failure or an HTTP status of 400
    // or above; LastError then holds the reason.
    bool Get(const std::string& url, TStream& out);
    // Posts body (from its start, raw, without form encoding) and appends the reply to reply.
    bool Post(const std::string& url, const TMemoryStream& body, TStream& reply);
};

} // namespace orvendal
