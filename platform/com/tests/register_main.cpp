// Registers or unregisters a component library from a process of its own:
//   com_test_register register|unregister|install <command line> <library>
// Exit code 0 when the library's export succeeded.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "com/module.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s register|unregister|install CMDLINE|uninstall CMDLINE LIB\n",
                     argv[0]);
        return 2;
    }
    const char* library = argv[argc - 1];
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 3;
    }
    com::HRESULT hr = com::E_FAIL;
    const std::string verb = argv[1];
    if (verb == "register" || verb == "unregister") {
        auto fn = reinterpret_cast<com::DllRegisterServerFn>(
            dlsym(handle, verb == "register" ? "DllRegisterServer" : "DllUnregisterServer"));
        if (!fn) return 4;
        hr = fn();
    } else if ((verb == "install" || verb == "uninstall") && argc == 4) {
        auto fn = reinterpret_cast<com::DllInstallFn>(dlsym(handle, "DllInstall"));
        if (!fn) return 4;
        hr = fn(verb == "install", argv[2]);
    } else {
        return 2;
    }
    if (com::FAILED(hr)) std::fprintf(stderr, "failed: 0x%08X\n", static_cast<unsigned>(hr));
    return com::SUCCEEDED(hr) ? 0 : 1;
}
