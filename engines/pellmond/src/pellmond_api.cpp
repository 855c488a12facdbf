// The exported entry of the update watcher library.
#include "pellmond/pellmond.h"
#include "platform/paths.h"
#include "platform/user_files.h"
#include "update_watcher.h"

namespace {

// An object of this library only: an exported name could resolve to another module's copy.
const char kModuleAnchor = 0;

pellmond::UpdateWatcher& Watcher() {
    // The notice is the user's copy of "..\cfg\server.ini" when there is one, else the
    // install folder's, found from this library's own folder.
    static pellmond::UpdateWatcher watcher(
        platform::FileToRead(platform::ModuleDirectory(&kModuleAnchor), "..\\cfg\\server.ini"));
    return watcher;
}

}  // namespace

extern "C" PELLMOND_API int KvUpdateStartWatcher(KvUpdateCallback callback) {
    return Watcher().Start(callback);
}
