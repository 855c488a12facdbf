// A stand-in streaming library (libFerrule.so) for the pipe and BT server tests. Every export
// appends a line to the file named by ORVANE_FAKE_FERRULE_LOG, so a test can see which calls
// arrived with which values, in which order, from which process.
//
// ZP2PGetTaskInfo knows every URL that contains "known": it fills the engine block with a
// pattern and gives a piece map of "pieces=N" characters (8 when not given), '1' and '0' in
// turn. A URL that contains "fail" answers false. Any other URL is unknown: a zero block and
// an empty piece map.
//
// With ORVANE_FAKE_FERRULE_REFUSE_INITS=N the first N ZP2PInitServer calls fail as a port
// taken by someone else does: task queries answer false until a later start succeeds.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "ferrule_api.h"

namespace {

std::atomic<int> g_livePieceMaps{0};
std::atomic<int> g_inits{0};
std::atomic<bool> g_refused{false};

void Log(const std::string& line) {
    const char* path = std::getenv("ORVANE_FAKE_FERRULE_LOG");
    if (!path || !*path) return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line << '\n';
}

std::string Text(const char* s) { return s ? s : "(null)"; }

__attribute__((constructor)) void Loaded() { Log("load " + std::to_string(getpid())); }

}  // namespace

extern "C" {

FERRULE_API void ZP2PInitServer(int port, int a1, int a2, const char* s1, int a3, int a4,
                                const char* s2, int a5, int a6) {
    Log("init " + std::to_string(port) + " " + std::to_string(a1) + " " + std::to_string(a2) +
        " [" + Text(s1) + "] " + std::to_string(a3) + " " + std::to_string(a4) + " [" + Text(s2) +
        "] " + std::to_string(a5) + " " + std::to_string(a6) + " pid " + std::to_string(getpid()));
    const char* refuse = std::getenv("ORVANE_FAKE_FERRULE_REFUSE_INITS");
    g_refused = refuse && ++g_inits <= std::atoi(refuse);
}

FERRULE_API bool ZP2PGetTaskInfo(const char* url, ZP2PTaskInfo* info) {
    const std::string u = Text(url);
    Log("gettaskinfo " + u);
    if (!info || info->cbSize != sizeof(ZP2PTaskInfo) || u.find("fail") != std::string::npos ||
        g_refused)
        return false;
    std::size_t pieces = 0;
    std::memset(info->info, 0, sizeof info->info);
    if (u.find("known") != std::string::npos) {
        for (std::size_t i = 0; i < sizeof info->info; ++i)
            info->info[i] = static_cast<unsigned char>(i * 7 + 3);
        const std::size_t at = u.find("pieces=");
        pieces = at == std::string::npos ? 8 : std::strtoul(u.c_str() + at + 7, nullptr, 10);
    }
    char* map = static_cast<char*>(std::malloc(pieces + 1));
    for (std::size_t i = 0; i < pieces; ++i) map[i] = i % 2 == 0 ? '1' : '0';
    map[pieces] = '\0';
    info->pieceMap = map;
    ++g_livePieceMaps;
    return true;
}

FERRULE_API void ZP2PFreeTaskInfoData(ZP2PTaskInfo* info) {
    if (!info || !info->pieceMap) return;
    std::free(info->pieceMap);
    --g_livePieceMaps;
    Log("free");
}

// Slow on purpose, so that two clients served at the same time would show in the log as
// interleaved begin and end lines.
FERRULE_API void ZP2PSetSpeedLimit(int download, int upload) {
    const std::string values = std::to_string(download) + " " + std::to_string(upload);
    Log("speedlimit-begin " + values);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Log("speedlimit-end " + values);
}

FERRULE_API void ZP2PUninitServer() { Log("uninit"); }

// For in-process tests: piece maps handed out and not yet freed.
FERRULE_API int FakeFerruleLivePieceMaps() { return g_livePieceMaps; }
}
