// One full update run at a time for the user: an exclusive lock on a file in the user's
// runtime folder, held until the object goes (or the process ends, however it ends).
#pragma once

#include <string>

namespace kvupdater {

class SingleInstanceLock {
public:
    // The lock file's name inside the runtime folder.
    static constexpr const char* kName = "{D6E60CD4-7DEE-49d7-A4F1-3B4CED94806C}.lock";

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another process holds the lock. True when this one now holds it, or when
    // no lock file can be made at all (the run then goes on unguarded).
    bool Acquire();

    static std::string LockPath();

private:
    int fd_ = -1;
};

}  // namespace kvupdater
