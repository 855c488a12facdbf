// The HTTP assist client: fetches a byte range of an HTTP mirror of a stream task's file on a
// worker thread of its own, so that the stream could be fed from HTTP while the BitTorrent
// engine catches up. Each stream task embeds one; no setting of the system starts it.
//
// Threads: HttpGetFile, CloseMainThread and the getters run on the owner's thread (the
// server's or the task manager's); the transfer and its data callback run on the worker.
// The lock guards the flags, counters and buffer between them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CAsyncHttpClient {
public:
    // The data buffer: 12 MiB and a terminating NUL.
    static constexpr std::size_t kBufferBytes = 12582912;
    // The byte limit a stream task gives its client.
    static constexpr std::uint32_t kStreamByteLimit = 12582912;
    static constexpr std::size_t kMaxUrlLength = 1024;

    CAsyncHttpClient();
    // Stops the worker and waits for it.
    virtual ~CAsyncHttpClient();
    CAsyncHttpClient(const CAsyncHttpClient&) = delete;
    CAsyncHttpClient& operator=(const CAsyncHttpClient&) = delete;

    // Starts fetching `url` from byte `start` on the worker. Non-zero when the worker
    // started; 0 while an earlier worker still runs.
    virtual int HttpGetFile(const std::string& url, std::uint64_t start);
    // Asks the worker to stop at its next step; returns at once (any thread).
    virtual void RequestStop();
    // Asks the worker to stop and waits until it has ended.
    virtual void CloseMainThread();

    virtual bool IsRunning() const;
    // Bytes received since the start position.
    virtual std::uint64_t GetDownloadedBytes() const;
    // Tick count (milliseconds) at which the download started.
    virtual std::uint64_t GetStartTick() const;
    // Copies up to `count` downloaded bytes from `offset` (counted from the start position)
    // that the buffer still holds; answers how many it copied.
    virtual std::size_t CopyData(std::uint64_t offset, char* into, std::size_t count) const;

    // Where data that outgrows the buffer goes (empty: nowhere).
    void SetTargetFile(const std::string& path);
    // Receiving more than this ends the download (0: no limit).
    void SetByteLimit(std::uint32_t limit);

    virtual std::uint64_t GetStartPosition() const;
    // -1 when the server gave no length; 0 before the first data.
    std::int64_t GetExpectedLength() const;
    // The whole expected length arrived.
    bool IsComplete() const;
    bool HasError() const;

private:
    struct Transfer;

    void AsyncMainThread(std::string url, std::uint64_t start);
    void Perform(Transfer& transfer);
    void Finish(bool received);
    static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t OnDownloadData(const char* data, std::size_t size);
    // Writes the buffer, then `data`, to the target file; the lock is held.
    bool WriteOutLocked(const char* data, std::size_t size);
    bool SaveLocked(const char* data, std::size_t size);

    mutable std::mutex lock_;
    std::mutex workerLock_;  // starting and joining the worker
    std::thread worker_;
    std::atomic<bool> stop_{false};
    bool error_ = false;
    bool stopped_ = true;
    bool running_ = false;
    bool complete_ = false;
    std::uint64_t start_ = 0;
    std::int64_t expectedLength_ = 0;
    std::string url_;
    std::string targetFile_;
    std::vector<char> buffer_;  // allocated at the first data
    std::size_t buffered_ = 0;
    std::uint64_t writtenOut_ = 0;
    std::uint64_t received_ = 0;
    std::uint32_t byteLimit_ = 0;
    std::uint64_t startTick_ = 0;
    // The handles of the running transfer: a stop wakes the multi handle's wait, and the
    // first data asks the easy handle for the length.
    void* multi_ = nullptr;
    void* easy_ = nullptr;
};
