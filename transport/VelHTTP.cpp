#include "transport/VelHTTP.h"

#include "protect/ZLibStream.h"
#include "tables/UserFkt.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace orvendal {

namespace {

const std::string AgentBase = "_WebTransfer";
constexpr int DefaultProxyPort = 80;
constexpr int SendStep = 10;
constexpr int ReceiveStep = 20;

std::string StepText(int step, const std::string& message) {
    return "HTTP-Step " + std::to_string(step) + ": " + message;
}

// Writes content to fileName as a whole: into a temporary file beside it, then renamed over
// it, so a failed write never leaves a half-written file under the real name.
void SaveWhole(const TMemoryStream& content, const std::string& fileName) {
    const std::string temporary = fileName + ".part";
    try {
        content.SaveToFile(temporary);
        std::filesystem::rename(temporary, fileName);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

} // namespace

void TVelHTTP::ApplyProxy() {
    if (ProxySpec.empty()) {
        return;
    }
    size_t colon = ProxySpec.find(':');
    const std::string portText =
        colon == std::string::npos ? ProxySpec : ProxySpec.substr(colon + 1);
    int port = StrToIntDef(portText, DefaultProxyPort);
    Client.ProxyServer = ProxySpec.substr(0, colon);
    Client.ProxyPort = port > 0 && port <= 65535 ? port : DefaultProxyPort;
}

void TVelHTTP::CheckService(std::string& reply) {
    reply.clear();
    ApplyProxy();
    Client.UserAgent = AgentBase;
    TMemoryStream body;
    if (Client.Get(ServerUrl + "?" + DeviceKey + "&-2", body)) {
        reply = body.AsString();
    }
}

bool TVelHTTP::SendFile(bool isBlob, const std::string& fileName,
                        [[maybe_unused]] const std::string& blobTag) {
    ApplyProxy();
    PackedBuffer.Clear();
    PlainBuffer.Clear();
    try {
        PlainBuffer.LoadFromFile(fileName);
        if (PlainBuffer.Size() > 0) {
            DeflateStream(PlainBuffer, PackedBuffer);
        }
        PlainBuffer.Clear();
        PackedBuffer.Rewind();
        Client.UserAgent = AgentBase + (isBlob ? "B" : "_") + DeviceKey;
        TMemoryStream reply; // the script's answer carries nothing for us
        if (!Client.Post(ServerUrl, PackedBuffer, reply)) {
            throw std::runtime_error(Client.LastError);
        }
        if (isBlob && !std::filesystem::remove(fileName)) {
            throw std::runtime_error("Datei " + fileName + " ist verschwunden");
        }
    } catch (const std::exception& e) {
        PlainBuffer.Clear();
        ErrorText = StepText(SendStep, e.what());
        return false;
    }
    return true;
}

bool TVelHTTP::ReceiveFile(const std::string& fileName, bool deviceAttached) {
    ApplyProxy();
    PackedBuffer.Clear();
    LastUrl = ServerUrl + "?" + DeviceKey + "&";
    try {
        Client.UserAgent = AgentBase;
        if (!Client.Get(LastUrl + "100" + (deviceAttached ? "" : "&0"), PackedBuffer)) {
            throw std::runtime_error(Client.LastError);
        }
        if (PackedBuffer.Size() > 0) {
            PackedBuffer.Rewind();
            PlainBuffer.Clear();
            InflateStream(PackedBuffer, PlainBuffer);
            PackedBuffer.Clear();
            SaveWhole(PlainBuffer, fileName);
            PlainBuffer.Clear();
        }
    } catch (const std::exception& e) {
        PlainBuffer.Clear();
        ErrorText = StepText(ReceiveStep, e.what());
        return false;
    }
    return true;
}

} // namespace orvendal
