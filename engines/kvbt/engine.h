// The engine: one libtorrent session, its alert thread and the table of tasks.
#pragma once

#include <atomic>
#include <cstdint>
#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/session.hpp>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "kvbt_api.h"
#include "task.h"

namespace kvbt {

class Engine {
public:
    static Engine& Instance();

    void SetListenInterface(const std::string& address);
    int Startup(const KvBTStartupParams& params);
    void PreShutdown();
    void Shutdown();

    int SetRateLimit(bool upload, int bytesPerSecond);
    void SetEventCallback(KvBTEventCallback callback, void* context);

    // Adds a torrent; NULL when it cannot be added (no session, a duplicate, bad data, a file
    // that would land among the caller's records: records_guard.h).
    KvBTHandle Add(lt::add_torrent_params params, const std::string& saveFolder,
                   const std::string& stateFile, bool startPaused, bool isPrivate);
    std::shared_ptr<Task> Find(KvBTHandle handle) const;
    // Saves the resume state and removes the torrent.
    int Release(KvBTHandle handle, bool deleteFiles);

private:
    Engine() = default;
    ~Engine();

    void AlertLoop();
    void HandleAlert(lt::alert* alert);
    // A magnet link's metadata came: its files go ahead, or the task is refused.
    void OnMetadata(const std::shared_ptr<Task>& task, const lt::torrent_handle& handle);
    std::shared_ptr<Task> FindByTorrent(const lt::torrent_handle& handle) const;
    void SaveResumeState(const std::shared_ptr<Task>& task);
    void RemoveTask(const std::shared_ptr<Task>& task, bool deleteFiles);
    void Notify(const Task& task, int event);

    mutable std::mutex lock_;
    std::unique_ptr<lt::session> session_;
    std::thread alertThread_;
    std::atomic<bool> stopping_{false};
    std::map<std::uint64_t, std::shared_ptr<Task>> tasks_;
    std::map<lt::torrent_handle, std::shared_ptr<Task>> byTorrent_;
    std::uint64_t nextId_ = 1;
    std::string listenInterface_;
    int uploadLimit_ = 0;
    int downloadLimit_ = 0;

    // Held while the callback runs, so that replacing it waits for a call under way.
    std::mutex callbackLock_;
    KvBTEventCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;
};

}  // namespace kvbt
