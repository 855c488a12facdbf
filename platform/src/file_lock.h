// What the files that several processes read, change and rewrite (ini files, registry
// hives) share: an exclusive flock() on a lock file, held for the object's lifetime, and
// reading a whole file.
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

// Reads a whole file; false when it cannot be opened (a missing file among others) or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace platform
