#pragma once
// TVelHTTP: the transfer files over the server's web transfer script. Three requests, each on
// the caller's thread: the probe, the upload of one file, the download of the import file.
// Failures never leave the class: the operations return false and keep the reason in ErrorText.

#include "protect/Streams.h"
#include "transport/HttpClient.h"

#include <string>

namespace orvendal {

class TVelHTTP {
public:
    // URL stem of the last ReceiveFile: ServerUrl "?" DeviceKey "&".
    std::string LastUrl;
    // Compressed data, as posted or as received.
    TMemoryStream PackedBuffer;
    // Uncompressed file content.
    TMemoryStream PlainBuffer;
    // The HTTP client of all three requests; its ProxyServer and ProxyPort are the proxy
    // settings that ApplyProxy fills.
    THttpClient Client;
    // URL of the web transfer script; the caller sets it. Goes into URLs as it stands.
    std::string ServerUrl;
    // The device number as text; the caller sets it. Goes into URLs as it stands.
    std::string DeviceKey;
    // "host:port", or empty for a direct connection; the caller sets it.
    std::string ProxySpec;
    // Text of the last failed step ("HTTP-Step 10: ..."); empty until a step fails.
    std::string ErrorText;
    // Put before ErrorText in the callers' messages.
    const std::string MessagePrefix = "HTTP-";

    // Copies ProxySpec into the proxy settings: the server is the text before the first ":",
    // the port the text after it as a decimal number (80 when it is none or out of range).
    // Without a colon server and port text are both the whole spec. An empty spec changes
    // nothing.
    void ApplyProxy();
    // GETs ServerUrl?DeviceKey&-2 and returns the reply body in reply; any failure leaves reply
    // empty (the caller then takes the mail transport) and does not touch ErrorText.
    void CheckService(std::string& reply);
    // POSTs the zlib-packed content of fileName (an empty file posts an empty body) to
    // ServerUrl with the agent "_WebTransfer" + ("B" when isBlob, else "_") + DeviceKey.
    // A photo database (isBlob) is deleted once it is posted. blobTag is not used. False with
    // ErrorText "HTTP-Step 10: ..." on failure.
    bool SendFile(bool isBlob, const std::string& fileName, const std::string& blobTag = "");
    // GETs LastUrl + "100" (+ "&0" when the device was not attached in this run), inflates the
    // reply and writes it to fileName through a temporary file, so that fileName is either
    // complete or as it was. An empty reply is no failure and writes nothing. False with
    // ErrorText "HTTP-Step 20: ..." on failure (also for a reply that does not inflate).
    bool ReceiveFile(const std::string& fileName, bool deviceAttached);
};

} // namespace orvendal
