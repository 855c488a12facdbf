// The process's handle of the streaming library, loaded once.
#pragma once

#include <QString>

// Loads the library at `path` unless one is loaded already; answers whether one is loaded.
bool LoadStreamingLibrary(const QString& path);

// The loaded library's handle (for dlsym), null before.
void* StreamingLibraryHandle();
void SetStreamingLibraryHandle(void* handle);
