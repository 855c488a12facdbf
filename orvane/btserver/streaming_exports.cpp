#include "streaming_exports.h"

#include <dlfcn.h>

#include "streaming_library.h"

namespace {

template <typename Fn>
Fn Lookup(const char* name) {
    void* handle = StreamingLibraryHandle();
    return handle ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr;
}

}  // namespace

ZP2PInitServerFn LookupP2PInitServer() { return Lookup<ZP2PInitServerFn>("ZP2PInitServer"); }

ZP2PGetTaskInfoFn LookupP2PGetTaskInfo() { return Lookup<ZP2PGetTaskInfoFn>("ZP2PGetTaskInfo"); }

ZP2PSetSpeedLimitFn LookupZP2PSetSpeedLimit() {
    return Lookup<ZP2PSetSpeedLimitFn>("ZP2PSetSpeedLimit");
}

ZP2PFreeTaskInfoDataFn LookupZP2PFreeTaskInfoData() {
    return Lookup<ZP2PFreeTaskInfoDataFn>("ZP2PFreeTaskInfoData");
}

bool P2PInitServer(int port, int a1, int a2, const char* s1, int a3, int a4, const char* s2, int a5,
                   int a6) {
    const auto fn = LookupP2PInitServer();
    if (!fn) return false;
    fn(port, a1, a2, s1, a3, a4, s2, a5, a6);
    return true;
}

bool P2PGetTaskInfo(const char* url, ZP2PTaskInfo* info) {
    const auto fn = LookupP2PGetTaskInfo();
    return fn && fn(url, info);
}

bool P2PSetSpeedLimit(int download, int upload) {
    const auto fn = LookupZP2PSetSpeedLimit();
    if (!fn) return false;
    fn(download, upload);
    return true;
}

bool P2PFreeTaskInfoData(ZP2PTaskInfo* info) {
    const auto fn = LookupZP2PFreeTaskInfoData();
    if (!fn) return false;
    fn(info);
    return true;
}
