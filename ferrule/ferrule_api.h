// The streaming service's exported functions (libFerrule.so), loaded by name.
#pragma once

#include "task_info.h"

#ifdef __GNUC__
#define FERRULE_API __attribute__((visibility("default")))
#else
#define FERRULE_API
#endif

extern "C" {

// Starts the loopback stream server on 127.0.0.1:port and the BitTorrent engine. The other
// values go to the engine unchanged. A second call while running, a port outside 1-65535,
// or one that cannot be bound, leaves the service as it was (see the console and the log).
FERRULE_API void ZP2PInitServer(int port, int a1, int a2, const char* s1, int a3, int a4,
                                const char* s2, int a5, int a6);
// Fills the record of the task of `url` (the decoded "bturl:" value). False when the service
// is not running or info->cbSize is not sizeof(ZP2PTaskInfo); the record is then untouched.
FERRULE_API bool ZP2PGetTaskInfo(const char* url, ZP2PTaskInfo* info);
// Releases the piece map of a record that ZP2PGetTaskInfo filled.
FERRULE_API void ZP2PFreeTaskInfoData(ZP2PTaskInfo* info);
// Engine-wide limits in bytes per second.
FERRULE_API void ZP2PSetSpeedLimit(int download, int upload);
// Stops everything ZP2PInitServer started.
FERRULE_API void ZP2PUninitServer();
}

// The same functions by name, for a caller that loads the library with dlopen().
using ZP2PInitServerFn = void (*)(int, int, int, const char*, int, int, const char*, int, int);
using ZP2PGetTaskInfoFn = bool (*)(const char*, ZP2PTaskInfo*);
using ZP2PFreeTaskInfoDataFn = void (*)(ZP2PTaskInfo*);
using ZP2PSetSpeedLimitFn = void (*)(int, int);
using ZP2PUninitServerFn = void (*)();
