#include "AppFixture.h"

#include "protect/KeyList.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvendal::testing {

int FreeLoopbackPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(s);
        throw std::runtime_error("no free loopback port");
    }
    close(s);
    return ntohs(address.sin_port);
}

namespace {

bool Answers(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

} // namespace

void WriteSettings(const std::string& fileName, const std::vector<std::string>& lines) {
    TMemoryStream stream;
    SaveKeyLines(lines, stream);
    stream.SaveToFile(fileName);
}

void WriteFile(const std::string& fileName, const std::string& bytes) {
    TMemoryStream stream;
    stream.WriteString(bytes);
    stream.SaveToFile(fileName);
}

std::vector<std::string> DeviceLines(const std::string& identity, const std::string& name,
                                     const std::string& number,
                                     const std::vector<std::string>& extra) {
    std::vector<std::string> lines = {"1=" + identity, "2=" + name, "7=" + number};
    lines.insert(lines.end(), extra.begin(), extra.end());
    return lines;
}

THttpServer::THttpServer(const std::string& folder) : port_(FreeLoopbackPort()) {
    pid_ = fork();
    if (pid_ == 0) {
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string port = std::to_string(port_);
        execl("/usr/bin/python3", "python3", "-m", "http.server", "--bind", "127.0.0.1",
              port.c_str(), "--directory", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int attempt = 0; attempt < 200 && !running_; ++attempt) { // at most 10 s
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        running_ = Answers(port_);
    }
}

THttpServer::~THttpServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string THttpServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

} // namespace orvendal::testing
