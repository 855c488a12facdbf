// The exported entry of the update watcher library.
#include "pellmond/pellmond.h"
#include "platform/paths.h"
#include "update_watcher.h"

namespace {

// An object of this library only: an exported name could resolve to another module's copy.
const char kModuleAnchor = 0;

pellmond::UpdateWatcher& Watcher() {
    // The notice lives beside the install folder, found from this library's own folder.
    static pellmond::UpdateWatcher watcher(
        platform::PathAppend(platform::ModuleDirectory(&kModuleAnchor), "..\\cfg\\server.ini"));
    return watcher;
}

}  // namespace

extern "C" PELLMOND_API int KvUpdateStartWatcher(KvUpdateCallback callback) {
    return Watcher().Start(callback);
}
