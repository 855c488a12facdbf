#include "single_instance_lock.h"

#include <fcntl.h>
#include <platform/paths.h>
#include <sys/file.h>
#include <unistd.h>

namespace kvupdater {

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::string SingleInstanceLock::LockPath() {
    return platform::PathAppend(platform::UserRuntimeDir(), kName);
}

bool SingleInstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    const std::string path = LockPath();
    platform::MakeDirectories(path.substr(0, path.find_last_of('/')));
    // Close-on-exec: an installer started by this run must not keep the lock after we end.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file there is no way to tell; running beats never updating.
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace kvupdater
