// One download on a worker thread: libcurl writes into the target file, a broken transfer
// continues with a Range request from the bytes already on disk, and the resume file keeps
// what a later process needs to do the same.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "download_job.h"

namespace tarnwick {

class Downloader {
public:
    // Starts at once. `fresh` empties the target file first; otherwise the bytes already in
    // it are kept and the download continues after them.
    Downloader(DownloadJob job, bool fresh);
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    int State() const { return state_; }
    long long FileSize() const { return total_; }
    long long DownloadedSize() const { return done_; }

    // Ends the worker (an unfinished transfer is aborted) and waits for it.
    void Stop();
    // Removes the resume file, and the target file unless the download completed.
    void DeleteFiles();

private:
    enum class Outcome { Complete, Retry, Restart, Fail, Stopped };
    struct Transfer;

    void Work(bool fresh);
    Outcome TransferFrom(long long offset);
    void NoteTotal(long long total);
    bool SleepUnlessStopped(int milliseconds);

    static size_t OnBody(char* data, size_t size, size_t count, void* user);
    static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    DownloadJob job_;
    std::atomic<int> state_;
    std::atomic<long long> total_;
    std::atomic<long long> done_;
    std::atomic<bool> stop_{false};
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    std::thread worker_;
};

}  // namespace tarnwick
