#include "exchange/ExchangeLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvendal {

TExchangeLock::TExchangeLock(const std::string& workDir) {
    const std::string file = workDir + "orvendal.lock";
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        LastError =
            "Die Sperrdatei " + file + " kann nicht angelegt werden: " + std::strerror(errno);
        return;
    }
    held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    busy_ = !held_ && errno == EWOULDBLOCK;
    if (!held_ && !busy_) {
        LastError =
            "Die Sperrdatei " + file + " kann nicht gesperrt werden: " + std::strerror(errno);
    }
}

TExchangeLock::~TExchangeLock() {
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock
    }
}

} // namespace orvendal
