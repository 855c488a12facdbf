#include "private_folders.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "com/module.h"

namespace webroadtest {

namespace {

std::string MadeFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0700);
    return path;
}

}  // namespace

PrivateFolders::PrivateFolders()
    : runtime_("XDG_RUNTIME_DIR", MadeFolder(temp_.file("run"))),
      config_("XDG_CONFIG_HOME", MadeFolder(temp_.file("config"))) {}

bool RegisterForUser(const std::string& library) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    auto install = reinterpret_cast<com::DllInstallFn>(dlsym(handle, "DllInstall"));
    return install && com::SUCCEEDED(install(true, "user"));
}

}  // namespace webroadtest
