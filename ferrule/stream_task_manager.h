// The stream tasks of the service: at most one open at a time, a table of task information
// refreshed once a second, throttling and closing of idle tasks, seeding of closed ones.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "kvbt_api.h"
#include "stream_downloader.h"
#include "stream_task_options.h"
#include "upload_list.h"

// What opening a task gives a connection.
struct OpenedTask {
    KvBTHandle handle = nullptr;  // NULL when the task has none
    std::string httpUrl;          // an HTTP mirror to use, if any
    std::string filePath;         // the chosen file on disk
    int fileIndex = -1;
};

class CStreamTaskManager {
public:
    CStreamTaskManager();
    ~CStreamTaskManager();
    CStreamTaskManager(const CStreamTaskManager&) = delete;
    CStreamTaskManager& operator=(const CStreamTaskManager&) = delete;

    // The sources of the next OpenTask.
    void SetOptions(const StreamTaskOptions& options);
    // Opens (or re-aims) the task of `key` at `position` of its chosen file; a new key first
    // closes every other task. Answers the engine handle (NULL when the task has none), an
    // HTTP mirror to use (if any), and the chosen file.
    KvBTHandle OpenTask(const std::string& key, std::uint64_t position, std::uint64_t rangeEnd,
                        std::string& httpUrl, std::string& filePath, int& fileIndex);
    // SetOptions and OpenTask as one step, so that no other request's options come between.
    // With `onlyIfOpen` a key whose task is not open answers false at once and changes
    // nothing: creating a task fetches a torrent and waits for metadata, which takes seconds
    // and belongs on another thread than the server's. True when the task was opened (its
    // handle may still be NULL).
    bool OpenTaskFor(const StreamTaskOptions& options, std::uint64_t position,
                     std::uint64_t rangeEnd, bool onlyIfOpen, OpenedTask& opened);
    // A stream request for `key` arrived (server thread). Once open, its task closes every
    // other one, so tasks still being opened for other videos give up now: their waits end,
    // they are not kept, and their requests are answered as for a task that cannot be had.
    void RequestArrived(const std::string& key);
    // Re-aims an open task without counting a new connection.
    void AimTask(KvBTHandle handle, std::uint64_t position, std::uint64_t rangeEnd);
    // The play position of the task, -1 for an unknown handle.
    std::int64_t GetPosition(KvBTHandle handle);
    // Byte offset of the chosen file inside the torrent, 0 for an unknown handle.
    std::uint64_t GetFileOffset(KvBTHandle handle);
    // A connection stopped using the task.
    void ReleaseConnection(KvBTHandle handle);
    void RestoreLimits(KvBTHandle handle);
    // The task's HTTP assist client; NULL for an unknown handle.
    std::shared_ptr<CAsyncHttpClient> GetHttpClient(KvBTHandle handle);
    // The periodic work: the information table (once a second unless forced) and every
    // task's maintenance.
    void Tick(bool force);
    // Closes a task that has had no connection for the idle time and seeds its torrent.
    void CloseIdleTask();
    // Copies the record of `key`; an unknown key leaves `record` as it was.
    void GetTaskInfo(const std::string& key, TaskInfoRecord& record);
    void CloseAll();

    // The engine-wide upload limit the user chose (bytes per second, <= 0 unlimited), put
    // back whenever seeding stops (a stream opening, a streamed torrent joining the list).
    void SetUserUploadLimit(int bytesPerSecond);
    // Ends the bounded waits of an opening task at once (the service is stopping).
    void Abort();
    // The engine brought a torrent's metadata (any thread): a task waiting for it goes on.
    void MetadataArrived();

    // For tests and diagnostics.
    std::size_t TaskCount();
    bool HasTask(const std::string& key);
    KvBTHandle HandleOf(const std::string& key);
    void SetHttpClientForTesting(KvBTHandle handle, std::shared_ptr<CAsyncHttpClient> client);
    bool IsTaskThrottled(const std::string& key);
    const CUploadList& Uploads() const { return uploads_; }

private:
    CStreamDownloader* Find(KvBTHandle handle);
    CStreamDownloader* FindKey(const std::string& key);
    // OpenTask once the options are checked; `guard` holds the task lock and is let go while
    // a new task is created.
    KvBTHandle OpenTaskLocked(std::unique_lock<std::recursive_mutex>& guard, const std::string& key,
                              std::uint64_t position, std::uint64_t rangeEnd, std::string& httpUrl,
                              std::string& filePath, int& fileIndex);
    void CloseTask(CStreamDownloader& task);
    // A newer request wants another video than `key`.
    bool Superseded(const std::string& key) const;

    std::recursive_mutex taskLock_;
    StreamTaskOptions options_;
    std::unordered_map<KvBTHandle, std::unique_ptr<CStreamDownloader>> tasks_;
    CUploadList uploads_;
    std::uint64_t lastRefresh_ = 0;
    std::uint64_t idleStamp_ = 0;
    bool abort_ = false;  // the service stops
    COpeningSignal news_;
    std::string newestKey_;                    // of the last stream request
    std::vector<CStreamDownloader*> opening_;  // tasks being made outside the lock
    std::mutex infoLock_;
    std::map<std::string, TaskInfoRecord> infoTable_;
};

// The process-wide manager (NULL while the service is not running).
CStreamTaskManager* GetStreamTaskManager();
void SetStreamTaskManager(CStreamTaskManager* manager);
