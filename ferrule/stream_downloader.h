// One stream task: a torrent on the BitTorrent engine whose pieces are fetched from the
// play position onwards, so that the chosen file can be served while it downloads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "async_http_client.h"
#include "kvbt_api.h"
#include "opening_signal.h"
#include "stream_task_options.h"

class CUploadList;

// What the task manager keeps of a task for ZP2PGetTaskInfo.
struct TaskInfoRecord {
    unsigned char valid = 0;
    unsigned char info[432] = {};
    std::string pieceMap;  // one character per piece: '0' + the engine's status byte
};

class CStreamDownloader {
public:
    // `uploads`: the seeding list the task's torrent joins; `news`: notified when the engine
    // brings metadata, and when a task gives up.
    CStreamDownloader(CUploadList& uploads, const COpeningSignal& news);
    ~CStreamDownloader();
    CStreamDownloader(const CStreamDownloader&) = delete;
    CStreamDownloader& operator=(const CStreamDownloader&) = delete;

    // A connection starts using the task at `position` of the chosen file (bytes up to
    // `rangeEnd` wanted, 0: to the end). Creates the engine task on first use. Answers the
    // engine handle (NULL when there is none) and the chosen file.
    KvBTHandle Open(const std::string& key, std::uint64_t position, std::uint64_t rangeEnd,
                    std::string& filePath, int& fileIndex);
    // Re-aims an open task without counting a new connection.
    void Aim(std::uint64_t position, std::uint64_t rangeEnd);
    // Releases the engine task; the files stay.
    void Close();
    // The bounded waits of opening the task end at once, and so does the opening (any
    // thread): the service stops, or a newer request wants another video.
    void GiveUp() { giveUp_ = true; }

    // The periodic work: limits, sources and priorities (at most every 200 ms unless forced).
    void Maintain(bool force);
    // throttle: the task's last connection went; otherwise restore the normal limits
    // (at once with force, else only once the throttle is old enough).
    void SwitchLimits(bool throttle, bool force, int downloadLimit);
    // Fills a record from the engine (left zero without a handle).
    void GetInfo(TaskInfoRecord& record);

    // A connection stopped using the task; true when it was the last one.
    bool ReleaseConnection();

    StreamTaskOptions& Options() { return options_; }
    // The task's HTTP assist client; shared, so that a stream using it outlives nothing.
    std::shared_ptr<CAsyncHttpClient> HttpClient() const { return httpClient_; }
    void SetHttpClientForTesting(std::shared_ptr<CAsyncHttpClient> client);
    const std::string& GetKey() const { return key_; }
    KvBTHandle GetHandle() const { return handle_; }
    std::uint64_t GetPosition();
    std::uint64_t GetFileOffset() const { return fileOffset_; }
    int GetOpenConnections() const { return openConnections_; }
    bool IsThrottled() const { return throttled_; }
    bool IsIdle() const { return idle_; }

    // Window of missing pieces fetched ahead of the play position, for a piece size.
    static int WindowLength(std::int64_t pieceSize);

private:
    bool CreateDownloader();
    bool InitFromUrl(const std::string& torrentFile, const std::string& saveFolder,
                     const std::string& stateFile, const std::string& resumeFile);
    bool InitFromTorrent(const std::string& torrentFile, const std::string& saveFolder,
                         const std::string& stateFile, const std::string& resumeFile);
    void AddPeerSources();
    void ChooseFile();
    bool UpdatePiecePriorities(std::uint64_t position, std::int64_t previousCount);
    void AddHttpSources(bool force);

    CUploadList& uploads_;
    std::atomic<bool> giveUp_{false};
    const COpeningSignal& news_;

    std::string key_;
    KvBTHandle handle_ = nullptr;
    StreamTaskOptions options_;
    std::int32_t piecesHeld_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t rangeEnd_ = 0;
    std::uint64_t lastSourceStamp_ = 0;
    std::uint64_t lastProductiveStamp_ = 0;
    std::uint64_t waitingSince_ = 0;
    std::uint64_t throttleStamp_ = 0;
    std::uint64_t lastMaintainStamp_ = 0;
    std::uint64_t lastPrioritiseStamp_ = 0;
    std::uint64_t lastRequestStamp_ = 0;
    std::uint64_t prioritisedPosition_ = UINT64_MAX;
    std::int32_t contiguousPieces_ = 0;
    bool waiting_ = false;
    bool throttled_ = false;
    bool idle_ = false;
    int fileIndex_ = -1;
    std::string filePath_;
    std::uint64_t fileOffset_ = 0;
    std::uint64_t fileSize_ = 0;
    std::int32_t openConnections_ = 0;
    std::shared_ptr<CAsyncHttpClient> httpClient_;
    std::recursive_mutex lock_;
    bool busy_ = false;
};
