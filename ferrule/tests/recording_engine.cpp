#include "recording_engine.h"

#include <cstring>
#include <map>
#include <mutex>

namespace recording_engine {
namespace {

struct Task {
    TaskShape shape;
    std::vector<unsigned char> held;
    std::map<int, int> staged, applied;  // piece priorities
    bool uploadOnly = false;
};

struct State {
    std::mutex lock;
    TaskShape shape;
    std::map<std::uintptr_t, Task> tasks;
    std::uintptr_t nextId = 1;
    std::vector<int> uploadLimits;
    std::vector<std::string> calls;
    std::vector<PartData> parts;
    KvBTEventCallback callback = nullptr;
    void* callbackContext = nullptr;
};

State& S() {
    static State state;
    return state;
}

int PieceCountOf(const TaskShape& shape) {
    if (shape.pieceSize <= 0) return 0;
    return static_cast<int>((shape.fileSize + shape.pieceSize - 1) / shape.pieceSize);
}

// Writes the call down and answers the task of `handle` (NULL when there is none). The
// caller holds the lock.
Task* Note(const char* name, KvBTHandle handle = nullptr) {
    S().calls.emplace_back(name);
    const auto it = S().tasks.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == S().tasks.end() ? nullptr : &it->second;
}

KvBTHandle NewTask() {
    std::lock_guard<std::mutex> guard(S().lock);
    Task task;
    task.shape = S().shape;
    task.held.assign(static_cast<std::size_t>(PieceCountOf(task.shape)),
                     task.shape.allHeld ? 1 : 0);
    const std::uintptr_t id = S().nextId++;
    S().tasks[id] = std::move(task);
    return reinterpret_cast<KvBTHandle>(id);
}

// Runs `body` on the task under the lock; `failed` for an unknown handle.
template <typename T, typename F>
T With(const char* name, KvBTHandle handle, T failed, F body) {
    std::lock_guard<std::mutex> guard(S().lock);
    Task* task = Note(name, handle);
    return task == nullptr ? failed : body(*task);
}

}  // namespace

void Reset() {
    std::lock_guard<std::mutex> guard(S().lock);
    S().shape = TaskShape();
    S().tasks.clear();
    S().uploadLimits.clear();
    S().calls.clear();
    S().parts.clear();
}

void SetTaskShape(const TaskShape& shape) {
    std::lock_guard<std::mutex> guard(S().lock);
    S().shape = shape;
}

void Hold(KvBTHandle handle, int first, int last) {
    KvBTEventCallback callback = nullptr;
    void* context = nullptr;
    {
        std::lock_guard<std::mutex> guard(S().lock);
        const auto it = S().tasks.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == S().tasks.end()) return;
        for (int i = first; i < last && i < static_cast<int>(it->second.held.size()); ++i) {
            it->second.held[static_cast<std::size_t>(i)] = 1;
        }
        callback = S().callback;
        context = S().callbackContext;
    }
    // As the engine does once pieces are on disk (there from its own thread).
    if (callback != nullptr) callback(handle, KVBT_EVENT_PIECES, context);
}

int AppliedPriority(KvBTHandle handle, int piece) {
    std::lock_guard<std::mutex> guard(S().lock);
    const auto it = S().tasks.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == S().tasks.end()) return -1;
    const auto found = it->second.applied.find(piece);
    return found == it->second.applied.end() ? -1 : found->second;
}

std::vector<int> UploadLimits() {
    std::lock_guard<std::mutex> guard(S().lock);
    return S().uploadLimits;
}

std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> guard(S().lock);
    return S().calls;
}

std::vector<PartData> PartDataAdded() {
    std::lock_guard<std::mutex> guard(S().lock);
    return S().parts;
}

int LiveTasks() {
    std::lock_guard<std::mutex> guard(S().lock);
    return static_cast<int>(S().tasks.size());
}

}  // namespace recording_engine

using recording_engine::Task;
using recording_engine::With;

extern "C" {

int KvBT_AddAppToWindowsXPFirewall(const char*, const char*) { return 0; }
int KvBT_GetCurrentXPLimit(void) { return 0; }
int KvBT_ChangeXPConnectionLimit(int) { return 0; }
int KvBT_AddAppSettings(int, int, const char*, int, int, const char*, int, int) { return 0; }
int KvBT_Startup(const KvBTStartupParams*, int, int, int) { return 0; }
int KvBT_SetMaxCacheSize(int) { return 0; }

int KvBT_SetUploadSpeedLimit(int bytesPerSecond) {
    std::lock_guard<std::mutex> guard(recording_engine::S().lock);
    recording_engine::Note("KvBT_SetUploadSpeedLimit");
    recording_engine::S().uploadLimits.push_back(bytesPerSecond);
    return 0;
}

int KvBT_SetDownloadSpeedLimit(int) { return 0; }

int KvBT_SetEventCallback(KvBTEventCallback callback, void* context) {
    std::lock_guard<std::mutex> guard(recording_engine::S().lock);
    recording_engine::S().callback = callback;
    recording_engine::S().callbackContext = context;
    return 0;
}
int KvBT_SetMaxHalfOpenConnection(int) { return 0; }
int KvBT_PreShutdown(void) { return 0; }
int KvBT_Shutdown(void) { return 0; }

KvBTHandle KvBT_Downloader_Initialize(const char* torrentFile, const char*, const char*, int, int,
                                      int, const char*, const char*, int, int) {
    return torrentFile == nullptr ? nullptr : recording_engine::NewTask();
}

KvBTHandle KvBT_Downloader_Initialize_FromUrl(const char* url, const char*, const char*, int, int,
                                              const char*, int, int) {
    return url == nullptr ? nullptr : recording_engine::NewTask();
}

int KvBT_Downloader_GetState(KvBTHandle h) {
    return With("KvBT_Downloader_GetState", h, 0, [](Task& t) {
        return t.uploadOnly ? static_cast<int>(KVBT_STATE_UPLOAD_READY) : t.shape.state;
    });
}

int KvBT_Downloader_SaveTorrentFile(KvBTHandle, const char*, int) { return -1; }

int KvBT_Downloader_Release(KvBTHandle h, int) {
    std::lock_guard<std::mutex> guard(recording_engine::S().lock);
    recording_engine::Note("KvBT_Downloader_Release", h);
    return recording_engine::S().tasks.erase(reinterpret_cast<std::uintptr_t>(h)) ? 0 : -1;
}

int KvBT_Downloader_SetDownloadSequence(KvBTHandle, int) { return 0; }
int KvBT_Downloader_AddPeerSource(KvBTHandle, const char*, int) { return 0; }
int KvBT_Downloader_SetMaxSessionPerHttp(KvBTHandle, int) { return 0; }
int KvBT_Downloader_AddHttpDownload(KvBTHandle, const char*) { return 0; }
int KvBT_Downloader_GetDownloadSpeed(KvBTHandle) { return 0; }

int KvBT_Downloader_GetFileCount(KvBTHandle h) {
    return With("KvBT_Downloader_GetFileCount", h, 0, [](Task&) { return 1; });
}

int KvBT_Downloader_IsPadFile(KvBTHandle, int) { return 0; }

int64_t KvBT_Downloader_GetFileSize(KvBTHandle h, int) {
    return With("KvBT_Downloader_GetFileSize", h, int64_t{0},
                [](Task& t) { return t.shape.fileSize; });
}

int64_t KvBT_Downloader_GetFileOffset(KvBTHandle, int) { return 0; }

int64_t KvBT_Downloader_GetTotalFileSize(KvBTHandle h) { return KvBT_Downloader_GetFileSize(h, 0); }

int KvBT_Downloader_GetFilePathName(KvBTHandle h, int, char* buffer, int* length, int) {
    return With("KvBT_Downloader_GetFilePathName", h, -1, [&](Task& t) {
        const int needed = static_cast<int>(t.shape.filePath.size()) + 1;
        if (buffer == nullptr || length == nullptr || *length < needed) return -1;
        std::memcpy(buffer, t.shape.filePath.c_str(), static_cast<std::size_t>(needed));
        *length = needed - 1;
        return 0;
    });
}

int KvBT_Downloader_GetPieceSize(KvBTHandle h) {
    return With("KvBT_Downloader_GetPieceSize", h, 0, [](Task& t) { return t.shape.pieceSize; });
}

int KvBT_Downloader_GetPieceCount(KvBTHandle h) {
    return With("KvBT_Downloader_GetPieceCount", h, 0,
                [](Task& t) { return static_cast<int>(t.held.size()); });
}

int KvBT_Downloader_GetPiecesStatus(KvBTHandle h, unsigned char* buffer, int count, int* held) {
    return With("KvBT_Downloader_GetPiecesStatus", h, -1, [&](Task& t) {
        int n = 0;
        for (std::size_t i = 0; i < t.held.size(); ++i) {
            if (static_cast<int>(i) < count && buffer != nullptr) buffer[i] = t.held[i];
            n += t.held[i];
        }
        if (held != nullptr) *held = n;
        return 0;
    });
}

int KvBT_Downloader_SetPiecePrioritize(KvBTHandle h, int piece, int priority, int) {
    return With("KvBT_Downloader_SetPiecePrioritize", h, -1, [=](Task& t) {
        t.staged[piece] = priority;
        return 0;
    });
}

int KvBT_Downloader_ApplyPrioritize(KvBTHandle h) {
    return With("KvBT_Downloader_ApplyPrioritize", h, -1, [](Task& t) {
        for (const auto& [piece, priority] : t.staged) t.applied[piece] = priority;
        return 0;
    });
}
int KvBT_Downloader_SetMaxTotalConnections(KvBTHandle, int) { return 0; }
int KvBT_Downloader_SetDownloadLimit(KvBTHandle, int) { return 0; }
int KvBT_Downloader_SetUploadLimit(KvBTHandle, int) { return 0; }
int KvBT_Downloader_IsPaused(KvBTHandle) { return 0; }
int KvBT_Downloader_Resume(KvBTHandle) { return 0; }

int KvBT_Downloader_SetOnlyUpload(KvBTHandle h, int on) {
    return With("KvBT_Downloader_SetOnlyUpload", h, -1, [on](Task& t) {
        t.uploadOnly = on != 0;
        return 0;
    });
}

int KvBT_GetDownloaderInfo(KvBTHandle h, void* info) {
    return With("KvBT_GetDownloaderInfo", h, -1, [info](Task&) {
        std::memset(info, 0, 432);
        return 0;
    });
}

int KvBT_Downloader_AddPartPieceData(KvBTHandle h, int64_t offset, int64_t length,
                                     const char* data) {
    return With("KvBT_Downloader_AddPartPieceData", h, -1, [&](Task&) {
        recording_engine::S().parts.push_back(
            {offset, std::string(data, static_cast<std::size_t>(length))});
        return 0;
    });
}

}  // extern "C"
