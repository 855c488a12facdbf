#include "verified_installer.h"

#include <fcntl.h>
#include <platform/crypto.h>
#include <platform/process.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvupdater {
namespace {

bool IsPlainFileOfOurs(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
           info.st_nlink == 1;
}

bool SameDigest(const std::string& a, const std::string& b) {
    return !a.empty() && a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

VerifiedInstaller::~VerifiedInstaller() { Close(); }

bool VerifiedInstaller::Open(const std::string& path, const std::string& hash) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (!IsPlainFileOfOurs(fd) || !SameDigest(platform::Md5HexOfDescriptor(fd), hash)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool VerifiedInstaller::MakeExecutable() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) return false;
    // Executable only where readable, and by nobody who could not read it before.
    const mode_t mode = info.st_mode | ((info.st_mode & 0444) >> 2);
    return ::fchmod(fd_, mode & 07777) == 0;
}

bool VerifiedInstaller::Start(const std::string& path,
                              const std::vector<std::string>& arguments) const {
    // The child is not waited for (the process layer reaps it).
    return fd_ >= 0 && platform::StartProcessFromFile(fd_, path, arguments) != nullptr;
}

void VerifiedInstaller::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace kvupdater
