// A file read and written at 64-bit offsets.
#pragma once

#include <cstdint>
#include <string>

class CRawFile {
public:
    // A position of -1: the current position for reads, the end of the file for writes.
    static constexpr std::int64_t kCurrent = -1;

    CRawFile() = default;
    ~CRawFile();
    CRawFile(const CRawFile&) = delete;
    CRawFile& operator=(const CRawFile&) = delete;

    // Read mode opens an existing file; write mode creates the file anew (read and write).
    // 0 or the failure.
    std::int32_t Open(const std::string& path, bool write);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Moves the current position to `offset` from the start, or to the end with -1.
    std::int32_t Seek(std::int64_t offset);
    // Reads up to `length` bytes; `count` gets the bytes read (0 at the end of the file).
    // No buffer or a zero length: kResultInvalidArg.
    std::int32_t Read(void* buffer, std::uint32_t length, std::uint32_t* count,
                      std::int64_t position = kCurrent);
    // Succeeds only when every byte was written.
    std::int32_t Write(const void* buffer, std::uint32_t length, std::uint32_t* count,
                       std::int64_t position = kCurrent);

    // The size cached at open and kept up to date by writes.
    std::uint64_t GetSize() const { return size_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};
