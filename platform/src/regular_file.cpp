#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "something else";
}

}  // namespace

RegularFile::RegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error_ = std::strerror(errno);
        ::close(fd);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        error_ = KindOf(info.st_mode) + ", not a regular file";
        ::close(fd);
        return;
    }
    // Readers of the descriptor expect reads that wait, as any file's do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    size_ = info.st_size;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

int RegularFile::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool RegularFile::ReadAll(std::string& content, std::size_t limit) {
    content.clear();
    if (fd_ < 0) return false;
    if (static_cast<std::uint64_t>(size_) > limit) {
        error_ = "larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    content.reserve(static_cast<std::size_t>(size_));
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd_, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error_ = std::strerror(errno);
            return false;
        }
        if (got == 0) return true;
        if (content.size() + static_cast<std::size_t>(got) > limit) {
            error_ = "larger than " + std::to_string(limit) + " bytes";
            content.clear();
            return false;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& content,
                     std::string& error) {
    RegularFile file(path);
    if (file.IsOpen() && file.ReadAll(content, limit)) return true;
    error = file.Error();
    return false;
}

}  // namespace platform
