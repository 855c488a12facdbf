// The five exported functions of the streaming service and the state they start and stop.
#include <curl/curl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "app_settings.h"
#include "ferrule_api.h"
#include "file_utils.h"
#include "kvbt_api.h"
#include "log.h"
#include "server.h"
#include "stream_task_manager.h"
#include "task_key.h"

namespace {

// libcurl's global state lives as long as the library is loaded.
struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
} g_curl;

// Guards the running state against the exports' callers on other threads.
std::mutex g_serviceLock;
bool g_running = false;
std::unique_ptr<http::server::server> g_server;
std::unique_ptr<CStreamTaskManager> g_manager;

// News from the engine's own thread. Held pieces wake the streams of their task, which
// would otherwise look for them at their next poll; metadata wakes a task being opened.
void OnEngineEvent(KvBTHandle task, int event, void* context) {
    auto* server = static_cast<http::server::server*>(context);
    if (event == KVBT_EVENT_PIECES) server->wake_streams(task);
    if (event == KVBT_EVENT_METADATA) {
        if (CStreamTaskManager* manager = GetStreamTaskManager()) manager->MetadataArrived();
    }
}

std::string DocumentRoot() {
    std::string root = GetAppDirectory();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

}  // namespace

extern "C" {

FERRULE_API void ZP2PInitServer(int port, int a1, int a2, const char* s1, int a3, int a4,
                                const char* s2, int a5, int a6) {
    std::lock_guard<std::mutex> guard(g_serviceLock);
    if (g_running || g_server) {
        std::fprintf(stderr, "ZP2PInitServer: the service is already running\n");
        return;
    }
    if (port < 1 || port > 65535) {
        // The socket layer would take the port modulo 65536 and listen somewhere else.
        std::fprintf(stderr, "ZP2PInitServer: %d is no TCP port\n", port);
        return;
    }
    try {
        LoadAppSettings();
        auto server = std::make_unique<http::server::server>("127.0.0.1", std::to_string(port),
                                                             DocumentRoot());
        g_manager = std::make_unique<CStreamTaskManager>();
        SetStreamTaskManager(g_manager.get());
        g_server = std::move(server);
        g_server->run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ZP2PInitServer: cannot serve on 127.0.0.1:%d: %s\n", port, e.what());
        WriteLog(FormatLogTimestamp())
            .WriteLog("ZP2PInitServer failed: ")
            .WriteLog(e.what())
            .WriteLog(LogText::kLineEnd);
        g_server.reset();
        SetStreamTaskManager(nullptr);
        g_manager.reset();
        return;
    }

    char exe[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (n > 0) KvBT_AddAppToWindowsXPFirewall(exe, "Z2UZovuz");
    const int limit = KvBT_GetCurrentXPLimit();
    if (limit != 0 && limit < 256) KvBT_ChangeXPConnectionLimit(256);
    KvBT_SetEventCallback(&OnEngineEvent, g_server.get());
    KvBT_AddAppSettings(a1, a2, s1, a3, a4, s2, a5, a6);
    KvBTStartupParams params = {1, 1, 1, 0, 1, 0, 0};
    KvBT_Startup(&params, 0, 0, 0);
    KvBT_SetMaxCacheSize(0);
    g_running = true;
}

FERRULE_API bool ZP2PGetTaskInfo(const char* url, ZP2PTaskInfo* info) {
    if (info == nullptr || info->cbSize != sizeof(ZP2PTaskInfo)) return false;
    std::lock_guard<std::mutex> guard(g_serviceLock);
    if (!g_running || !g_manager) return false;
    TaskInfoRecord record;
    g_manager->GetTaskInfo(MakeTaskKey(url != nullptr ? url : ""), record);
    char* map = static_cast<char*>(std::malloc(record.pieceMap.size() + 1));
    if (map == nullptr) return false;
    std::memcpy(map, record.pieceMap.c_str(), record.pieceMap.size() + 1);
    std::memcpy(info->info, record.info, sizeof(info->info));
    info->pieceMap = map;
    return true;
}

FERRULE_API void ZP2PFreeTaskInfoData(ZP2PTaskInfo* info) {
    if (info == nullptr) return;
    std::free(info->pieceMap);
}

FERRULE_API void ZP2PSetSpeedLimit(int download, int upload) {
    std::lock_guard<std::mutex> guard(g_serviceLock);
    if (!g_running || !g_manager) return;
    g_manager->SetUserUploadLimit(upload);
    KvBT_SetUploadSpeedLimit(upload);
    KvBT_SetDownloadSpeedLimit(download);
}

FERRULE_API void ZP2PUninitServer() {
    std::unique_ptr<http::server::server> server;
    {
        std::lock_guard<std::mutex> guard(g_serviceLock);
        if (!g_running) return;
        g_running = false;
        // No news may reach the server or the manager once they begin to go.
        KvBT_SetEventCallback(nullptr, nullptr);
        server = std::move(g_server);
        // A task that is still opening gives up its waits.
        g_manager->Abort();
    }
    server->stop();
    server.reset();
    {
        std::lock_guard<std::mutex> guard(g_serviceLock);
        SetStreamTaskManager(nullptr);
        g_manager.reset();
    }
    KvBT_PreShutdown();
    KvBT_Shutdown();
}
}
