// The outside update watcher (libPellmond.so beside the control library) and the callback the
// player hands it. The library is loaded at most once per process and never unloaded: its
// thread may call back at any time.
#pragma once

// The watcher's callback: code 0 asks whether the user agrees to update now.
using UpdateCallback = bool (*)(int code);
using StartWatcherFunction = int (*)(UpdateCallback callback);

// Loads "Pellmond.dll" (libPellmond.so) from the control library's folder unless it is
// already loaded; true when it is loaded. A failed load is tried again at the next call.
bool LoadUpdateWatcher();
// The loaded library; null while it is not loaded.
void* UpdateWatcherHandle();
// "KvUpdateStartWatcher" of the loaded library; null when not loaded or not exported.
StartWatcherFunction FindStartWatcher();
// Calls "KvUpdateStartWatcher" with `callback` when the library offers it; its result, or -1
// when it does not.
int StartUpdateWatcher(UpdateCallback callback);

// The callback handed to the watcher. Code 0 asks the main widget's IsUpdate (the user
// answers there) and returns its answer; any other code, or no main widget, answers false.
// Callable from any thread: from another thread it waits until the user-interface thread has
// asked; on the user-interface thread it asks at once.
bool UpdateNotify(int code);
