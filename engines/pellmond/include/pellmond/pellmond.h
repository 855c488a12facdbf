// The update watcher: tells the player, from a thread of its own, when the update notice in
// "..\cfg\server.ini" (beside the library's folder) appears or changes.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PELLMOND_BUILDING)
#define PELLMOND_API __attribute__((visibility("default")))
#else
#define PELLMOND_API
#endif

// The callback the watcher calls: code 0 asks whether the user agrees to update now.
typedef bool (*KvUpdateCallback)(int code);

// Starts watching (the first call) or hands the watcher a new callback (later calls). Returns
// at once; the callback is called later from the watcher's thread, once when a notice is
// present at start and once for every later change of it. 0 on success; -1 for a null
// callback (nothing changes) or when the watcher's thread cannot be started.
PELLMOND_API int KvUpdateStartWatcher(KvUpdateCallback callback);

#ifdef __cplusplus
}
#endif
