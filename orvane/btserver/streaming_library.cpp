#include "streaming_library.h"

#include <dlfcn.h>

#include <QDebug>

namespace {

void* g_streamingLibrary = nullptr;

}  // namespace

bool LoadStreamingLibrary(const QString& path) {
    if (!g_streamingLibrary) {
        g_streamingLibrary = dlopen(path.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!g_streamingLibrary) qDebug() << "cannot load" << path << dlerror();
    }
    return g_streamingLibrary != nullptr;
}

void* StreamingLibraryHandle() { return g_streamingLibrary; }

void SetStreamingLibraryHandle(void* handle) { g_streamingLibrary = handle; }
