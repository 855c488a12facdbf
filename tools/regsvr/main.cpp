// regsvr: registers or unregisters a component library by calling its own exports.
#include <dlfcn.h>

#include <cstdio>

#include "com/module.h"
#include "regsvr_options.h"

namespace {

// Exit codes: what went wrong, for scripts.
enum ExitCode { kOk = 0, kBadArguments = 1, kCannotLoad = 3, kNoEntry = 4, kEntryFailed = 5 };

template <class Function>
Function Entry(void* library, const char* name) {
    return reinterpret_cast<Function>(dlsym(library, name));
}

int Report(com::HRESULT hr, const char* entry, const std::string& library) {
    if (com::FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s in %s failed (0x%08X)\n", entry, library.c_str(),
                     static_cast<unsigned>(hr));
        return kEntryFailed;
    }
    std::printf("regsvr: %s in %s succeeded\n", entry, library.c_str());
    return kOk;
}

int CallServerEntry(void* handle, const RegsvrOptions& options) {
    const char* name = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = Entry<com::DllRegisterServerFn>(handle, name);
    if (!entry) {
        std::fprintf(stderr, "regsvr: %s has no %s\n", options.library.c_str(), name);
        return kNoEntry;
    }
    return Report(entry(), name, options.library);
}

int CallInstallEntry(void* handle, const RegsvrOptions& options) {
    auto entry = Entry<com::DllInstallFn>(handle, "DllInstall");
    if (!entry) {
        std::fprintf(stderr, "regsvr: %s has no DllInstall\n", options.library.c_str());
        return kNoEntry;
    }
    return Report(entry(!options.unregister, options.installCommandLine.c_str()), "DllInstall",
                  options.library);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<RegsvrOptions> options =
        ParseRegsvrOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "regsvr: %s\nusage: regsvr [-u] [-n] [-i[:command line]] library\n",
                     error.c_str());
        return kBadArguments;
    }
    void* handle = dlopen(options->library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", options->library.c_str(), dlerror());
        return kCannotLoad;
    }
    // Installing registers first; uninstalling takes the installed part away first.
    const bool serverFirst = !options->unregister;
    int code = kOk;
    if (options->registerServer && serverFirst) code = CallServerEntry(handle, *options);
    if (code == kOk && options->install) code = CallInstallEntry(handle, *options);
    if (code == kOk && options->registerServer && !serverFirst)
        code = CallServerEntry(handle, *options);
    return code;
}
