#include "stream_task_manager.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "app_settings.h"

namespace {
std::atomic<CStreamTaskManager*> g_manager{nullptr};
}  // namespace

CStreamTaskManager* GetStreamTaskManager() { return g_manager.load(); }

void SetStreamTaskManager(CStreamTaskManager* manager) { g_manager.store(manager); }

CStreamTaskManager::CStreamTaskManager() {
    uploads_.SetSilentUpload(TheAppSettings().silentUpload);
}

CStreamTaskManager::~CStreamTaskManager() { CloseAll(); }

void CStreamTaskManager::SetOptions(const StreamTaskOptions& options) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    options_ = options;
}

CStreamDownloader* CStreamTaskManager::Find(KvBTHandle handle) {
    if (handle == nullptr) return nullptr;
    const auto it = tasks_.find(handle);
    return it == tasks_.end() ? nullptr : it->second.get();
}

void CStreamTaskManager::CloseTask(CStreamDownloader& task) {
    task.Close();
    std::lock_guard<std::mutex> info(infoLock_);
    infoTable_.erase(task.GetKey());
}

KvBTHandle CStreamTaskManager::OpenTask(const std::string& key, std::uint64_t position,
                                        std::uint64_t rangeEnd, std::string& httpUrl,
                                        std::string& filePath, int& fileIndex) {
    std::unique_lock<std::recursive_mutex> guard(taskLock_);
    if (key.empty() || key != options_.key) return nullptr;
    return OpenTaskLocked(guard, key, position, rangeEnd, httpUrl, filePath, fileIndex);
}

bool CStreamTaskManager::OpenTaskFor(const StreamTaskOptions& options, std::uint64_t position,
                                     std::uint64_t rangeEnd, bool onlyIfOpen, OpenedTask& opened) {
    std::unique_lock<std::recursive_mutex> guard(taskLock_);
    if (onlyIfOpen && (options.key.empty() || FindKey(options.key) == nullptr)) return false;
    options_ = options;
    opened = OpenedTask();
    if (options.key.empty()) return true;
    opened.handle = OpenTaskLocked(guard, options.key, position, rangeEnd, opened.httpUrl,
                                   opened.filePath, opened.fileIndex);
    return true;
}

KvBTHandle CStreamTaskManager::OpenTaskLocked(std::unique_lock<std::recursive_mutex>& guard,
                                              const std::string& key, std::uint64_t position,
                                              std::uint64_t rangeEnd, std::string& httpUrl,
                                              std::string& filePath, int& fileIndex) {
    // A request that came later wants another video: this one would be closed by it.
    if (Superseded(key)) return nullptr;
    idleStamp_ = 0;
    uploads_.StopAllSeeding();

    if (!options_.httpUrls.empty()) {
        std::srand(static_cast<unsigned>(TickCountMs()));
        httpUrl =
            options_.httpUrls[static_cast<std::size_t>(std::rand()) % options_.httpUrls.size()];
    }
    if (CStreamDownloader* task = FindKey(key)) {
        return task->Open(key, position, rangeEnd, filePath, fileIndex);
    }

    // Releasing a task waits for the engine to save its state, fetching the torrent and
    // waiting for metadata take a while: none of it under the lock, which the server thread
    // needs for every stream tick. The old tasks are out of reach once out of the map.
    std::vector<std::unique_ptr<CStreamDownloader>> closing;
    for (auto& entry : tasks_) closing.push_back(std::move(entry.second));
    tasks_.clear();
    auto task = std::make_unique<CStreamDownloader>(uploads_, news_);
    task->Options() = options_;
    if (abort_) task->GiveUp();
    opening_.push_back(task.get());
    guard.unlock();
    const std::uint64_t started = TickCountMs();
    for (const auto& old : closing) CloseTask(*old);
    closing.clear();
    std::printf("关闭连接 %d end\n", static_cast<int>(TickCountMs() - started));
    std::fflush(stdout);
    KvBTHandle handle = task->Open(key, position, rangeEnd, filePath, fileIndex);
    guard.lock();
    opening_.erase(std::find(opening_.begin(), opening_.end(), task.get()));
    if (handle != nullptr && Superseded(key)) {
        task->Close();
        handle = nullptr;
    }
    if (handle == nullptr) {
        std::lock_guard<std::mutex> info(infoLock_);
        infoTable_.erase(key);
        return nullptr;
    }
    tasks_[handle] = std::move(task);
    return handle;
}

void CStreamTaskManager::RequestArrived(const std::string& key) {
    if (key.empty()) return;
    {
        std::lock_guard<std::recursive_mutex> guard(taskLock_);
        newestKey_ = key;
        for (CStreamDownloader* task : opening_) {
            if (task->Options().key != key) task->GiveUp();
        }
    }
    news_.Notify();
}

bool CStreamTaskManager::Superseded(const std::string& key) const {
    return !newestKey_.empty() && newestKey_ != key;
}

void CStreamTaskManager::AimTask(KvBTHandle handle, std::uint64_t position,
                                 std::uint64_t rangeEnd) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    if (CStreamDownloader* task = Find(handle)) task->Aim(position, rangeEnd);
}

std::int64_t CStreamTaskManager::GetPosition(KvBTHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    CStreamDownloader* task = Find(handle);
    return task == nullptr ? -1 : static_cast<std::int64_t>(task->GetPosition());
}

std::uint64_t CStreamTaskManager::GetFileOffset(KvBTHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    CStreamDownloader* task = Find(handle);
    return task == nullptr ? 0 : task->GetFileOffset();
}

void CStreamTaskManager::ReleaseConnection(KvBTHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    Tick(true);
    CStreamDownloader* task = Find(handle);
    if (task == nullptr) return;
    // The idle count starts only when the task's last connection has gone.
    if (task->ReleaseConnection() && idleStamp_ == 0) idleStamp_ = TickCountMs();
}

void CStreamTaskManager::RestoreLimits(KvBTHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    if (CStreamDownloader* task = Find(handle)) task->SwitchLimits(false, true, 0);
}

std::shared_ptr<CAsyncHttpClient> CStreamTaskManager::GetHttpClient(KvBTHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    CStreamDownloader* task = Find(handle);
    return task == nullptr ? nullptr : task->HttpClient();
}

void CStreamTaskManager::Tick(bool force) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    const std::uint64_t now = TickCountMs();
    if (force || now - lastRefresh_ > 1000) {
        for (auto& entry : tasks_) {
            TaskInfoRecord record;
            entry.second->GetInfo(record);
            std::lock_guard<std::mutex> info(infoLock_);
            infoTable_[entry.second->GetKey()] = std::move(record);
        }
        lastRefresh_ = now;
    }
    for (auto& entry : tasks_) entry.second->Maintain(force);
}

void CStreamTaskManager::CloseIdleTask() {
    std::string key;
    {
        std::lock_guard<std::recursive_mutex> guard(taskLock_);
        if (idleStamp_ == 0 ||
            TickCountMs() - idleStamp_ <= static_cast<std::uint64_t>(StreamTimings().idleCloseMs)) {
            return;
        }
        auto it = tasks_.begin();
        // A task that streams again is not idle, whatever the stamp says.
        while (it != tasks_.end() && it->second->GetOpenConnections() > 0) ++it;
        if (it != tasks_.end()) {
            key = it->second->GetKey();
            std::printf("清除：%s\n", key.c_str());
            std::fflush(stdout);
            CloseTask(*it->second);
            tasks_.erase(it);
        } else if (!tasks_.empty()) {
            idleStamp_ = 0;
            return;
        }
    }
    uploads_.StartSeeding(key);
}

void CStreamTaskManager::GetTaskInfo(const std::string& key, TaskInfoRecord& record) {
    std::lock_guard<std::mutex> info(infoLock_);
    const auto it = infoTable_.find(key);
    if (it != infoTable_.end()) record = it->second;
}

void CStreamTaskManager::CloseAll() {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    for (auto& entry : tasks_) CloseTask(*entry.second);
    tasks_.clear();
}

void CStreamTaskManager::SetUserUploadLimit(int bytesPerSecond) {
    uploads_.SetUserUploadLimit(bytesPerSecond);
}

void CStreamTaskManager::Abort() {
    {
        std::lock_guard<std::recursive_mutex> guard(taskLock_);
        abort_ = true;
        for (CStreamDownloader* task : opening_) task->GiveUp();
    }
    news_.Notify();
}

void CStreamTaskManager::MetadataArrived() { news_.Notify(); }

std::size_t CStreamTaskManager::TaskCount() {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    return tasks_.size();
}

CStreamDownloader* CStreamTaskManager::FindKey(const std::string& key) {
    for (auto& entry : tasks_) {
        if (entry.second->GetKey() == key) return entry.second.get();
    }
    return nullptr;
}

bool CStreamTaskManager::HasTask(const std::string& key) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    return FindKey(key) != nullptr;
}

KvBTHandle CStreamTaskManager::HandleOf(const std::string& key) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    CStreamDownloader* task = FindKey(key);
    return task == nullptr ? nullptr : task->GetHandle();
}

void CStreamTaskManager::SetHttpClientForTesting(KvBTHandle handle,
                                                 std::shared_ptr<CAsyncHttpClient> client) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    if (CStreamDownloader* task = Find(handle)) task->SetHttpClientForTesting(std::move(client));
}

bool CStreamTaskManager::IsTaskThrottled(const std::string& key) {
    std::lock_guard<std::recursive_mutex> guard(taskLock_);
    CStreamDownloader* task = FindKey(key);
    return task != nullptr && task->IsThrottled();
}
