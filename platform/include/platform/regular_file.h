// Files named by someone else (a command line, a datagram, a published or fetched torrent):
// opened so that a name that is no plain file can neither hang nor flood the reader. The open
// does not wait (a FIFO without a writer would wait for one), and the opened descriptor is
// asked what it is, so nothing can swap the name for a device, a FIFO or a folder between a
// look at the name and the read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A regular file open for reading (close-on-exec, blocking reads); the descriptor is closed
// with the object.
class RegularFile {
public:
    // Opens `path`, following links. Anything that is not a regular file is closed again at
    // once: IsOpen() is false and Error() says why ("no such file or directory", "a FIFO, not
    // a regular file", ...).
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }
    // The size the file had when it was opened.
    std::int64_t Size() const { return size_; }
    int Descriptor() const { return fd_; }
    // Hands the descriptor over; the caller closes it. -1 when none is open.
    int Release();
    // Reads the whole file from its start when it holds at most `limit` bytes; false with
    // Error() set otherwise (also when the file grows past `limit` while it is read).
    bool ReadAll(std::string& content, std::size_t limit);

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
    std::string error_;
};

// The whole regular file `path` when it holds at most `limit` bytes; false with `error` set
// otherwise.
bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& content,
                     std::string& error);

}  // namespace platform
