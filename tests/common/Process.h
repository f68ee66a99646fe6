#pragma once
// Programs run as processes by the tests, and a loopback socket that answers nothing.

#include "common/TempFolder.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvendal::testing {

// A socket listening on a free loopback port, which port receives.
inline int Listen(int& port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), length);
    listen(s, 8);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

struct TRun {
    int Code = -1; // -1: killed after the time-out
    std::string Out, Err;
};

// A shell command started by the constructor with stdin from /dev/null; killed at the latest
// when the object ends.
class TProcess {
public:
    explicit TProcess(const std::string& command) : pid_(fork()) {
        if (pid_ == 0) {
            const std::string all =
                command + " </dev/null >" + files_.File("out") + " 2>" + files_.File("err");
            execl("/bin/sh", "sh", "-c", all.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TProcess() { Wait(0); }
    // Waits at most seconds for the end, then kills it.
    TRun Wait(int seconds = 100) {
        int status = 0;
        for (int i = 0; pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            if (i >= seconds * 50 && kill(pid_, SIGKILL) == 0) {
                waitpid(pid_, &status, 0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const bool ended = pid_ > 0 && WIFEXITED(status);
        pid_ = -1;
        return {ended ? WEXITSTATUS(status) : -1, Read("out"), Read("err")};
    }

private:
    std::string Read(const std::string& name) const {
        std::ifstream in(files_.File(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    TTempFolder files_;
    pid_t pid_;
};

} // namespace orvendal::testing
