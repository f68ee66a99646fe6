#pragma once
// An exclusive lock on a device's working folder for the whole of one exchange: a scheduled run
// and a run from the window never work on the same folder together. It is an flock on the file
// "orvendal.lock" there, so the lock ends with the process however that ends.

#include <string>

namespace orvendal {

class TExchangeLock {
public:
    // Tries to take the lock at once, never waits. workDir ends with "/".
    explicit TExchangeLock(const std::string& workDir);
    ~TExchangeLock();
    TExchangeLock(const TExchangeLock&) = delete;
    TExchangeLock& operator=(const TExchangeLock&) = delete;

    // True when this object holds the lock.
    bool Held() const { return held_; }
    // Another process holds it.
    bool Busy() const { return busy_; }
    // Why the lock file could not be used when neither holds.
    std::string LastError;

private:
    int fd_ = -1;
    bool held_ = false;
    bool busy_ = false;
};

} // namespace orvendal
