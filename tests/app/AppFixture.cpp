#include "AppFixture.h"

#include "protect/KeyList.h"
#include "transport/MailFixture.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvendal::testing {
namespace {

// Binds (or, with connect, connects to) a loopback port; the socket's port, or 0.
int LoopbackSocket(int port, bool connect) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* a = reinterpret_cast<sockaddr*>(&address);
    const bool ok = connect ? ::connect(s, a, length) == 0
                            : bind(s, a, length) == 0 && getsockname(s, a, &length) == 0;
    close(s);
    return ok ? ntohs(address.sin_port) : 0;
}

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

int FreeLoopbackPort() {
    if (const int port = LoopbackSocket(0, false); port > 0) {
        return port;
    }
    throw std::runtime_error("no free loopback port");
}

void WriteSettings(const std::string& fileName, const Lines& lines) {
    TMemoryStream stream;
    SaveKeyLines(lines, stream);
    stream.SaveToFile(fileName);
}

void WriteFile(const std::string& fileName, const std::string& bytes) {
    WriteText(fileName, bytes);
}

Lines DeviceLines(const std::string& identity, const std::string& name, const std::string& number,
                  const Lines& extra) {
    Lines lines = {"1=" + identity, "2=" + name, "7=" + number};
    lines.insert(lines.end(), extra.begin(), extra.end());
    return lines;
}

THttpServer::THttpServer(const std::string& folder) : port_(FreeLoopbackPort()) {
    pid_ = fork();
    if (pid_ == 0) {
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const std::string port = std::to_string(port_);
        execl("/usr/bin/python3", "python3", "-m", "http.server", "--bind", "127.0.0.1",
              port.c_str(), "--directory", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int attempt = 0; attempt < 500 && !running_; ++attempt) { // at most 10 s
        Pause();
        running_ = LoopbackSocket(port_, true) > 0;
    }
}

THttpServer::~THttpServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

std::string THttpServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

TProcess::TProcess(const std::string& program, const std::string& args) {
    const std::string command = "exec " + std::string(ORVENDAL_BINARY_DIR) + "/app/" + program +
                                " " + args + " </dev/null >'" + files_.File("out") + "' 2>'" +
                                files_.File("err") + "'";
    pid_ = fork();
    if (pid_ == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

TProcess::~TProcess() {
    Wait(0);
}

TRun TProcess::Wait(int seconds) {
    TRun run;
    int status = 0;
    for (int i = 0; pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
        if (i >= seconds * 50) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        Pause();
    }
    run.Code = pid_ > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    run.Out = ReadText(files_.File("out"));
    run.Err = ReadText(files_.File("err"));
    return run;
}

} // namespace orvendal::testing
