// An exclusive flock() on a lock file, held for the object's lifetime; used where several
// processes read, change and rewrite one file.
#pragma once

#include <string>

namespace platform {

class ExclusiveFileLock {
public:
    ExclusiveFileLock(const std::string& lockPath, int mode);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace platform
