#include "raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_utils.h"

CRawFile::~CRawFile() { Close(); }

std::int32_t CRawFile::Open(const std::string& path, bool write) {
    Close();
    const int flags = write ? (O_RDWR | O_CREAT | O_TRUNC) : O_RDONLY;
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd_ < 0) return ResultFromErrno(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        Close();
        return ResultFromErrno(err);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    position_ = 0;
    return kResultOk;
}

void CRawFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    position_ = 0;
}

std::int32_t CRawFile::Seek(std::int64_t offset) {
    if (fd_ < 0) return ResultFromErrno(EBADF);
    if (offset < kCurrent) return kResultInvalidArg;
    position_ = offset == kCurrent ? size_ : static_cast<std::uint64_t>(offset);
    return kResultOk;
}

std::int32_t CRawFile::Read(void* buffer, std::uint32_t length, std::uint32_t* count,
                            std::int64_t position) {
    if (count != nullptr) *count = 0;
    if (buffer == nullptr || length == 0) return kResultInvalidArg;
    if (fd_ < 0) return ResultFromErrno(EBADF);
    if (position < kCurrent) return kResultInvalidArg;
    std::uint64_t at = position == kCurrent ? position_ : static_cast<std::uint64_t>(position);
    std::uint32_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, length - done,
                                  static_cast<off_t>(at + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return ResultFromErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<std::uint32_t>(n);
    }
    position_ = at + done;
    if (count != nullptr) *count = done;
    return kResultOk;
}

std::int32_t CRawFile::Write(const void* buffer, std::uint32_t length, std::uint32_t* count,
                             std::int64_t position) {
    if (count != nullptr) *count = 0;
    if (buffer == nullptr && length > 0) return kResultInvalidArg;
    if (fd_ < 0) return ResultFromErrno(EBADF);
    if (position < kCurrent) return kResultInvalidArg;
    const std::uint64_t at = position == kCurrent ? size_ : static_cast<std::uint64_t>(position);
    std::uint32_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd_, static_cast<const char*>(buffer) + done, length - done,
                                   static_cast<off_t>(at + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (count != nullptr) *count = done;
            return ResultFromErrno(errno);
        }
        done += static_cast<std::uint32_t>(n);
    }
    position_ = at + done;
    if (position_ > size_) size_ = position_;
    if (count != nullptr) *count = done;
    return kResultOk;
}
