#include "player_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/paths.h"

namespace {

std::string DefaultLockPath() {
    const std::string folder = platform::UserRuntimeDir();
    return folder.empty() ? std::string() : folder + "/player.lock";
}

}  // namespace

PlayerLock::PlayerLock() : PlayerLock(DefaultLockPath()) {}

PlayerLock::PlayerLock(std::string path) : path_(std::move(path)) {}

PlayerLock::~PlayerLock() {
    if (fd_ >= 0) ::close(fd_);
}

PlayerLock::State PlayerLock::Take() {
    if (fd_ >= 0) return State::Taken;
    if (path_.empty()) {
        error_ = "no private runtime folder of this user";
        return State::Unusable;
    }
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ = path_ + ": " + std::strerror(errno);
        return State::Unusable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return State::Taken;
    }
    const int reason = errno;
    ::close(fd);
    if (reason == EWOULDBLOCK) return State::HeldByOther;
    error_ = path_ + ": " + std::strerror(reason);
    return State::Unusable;
}
