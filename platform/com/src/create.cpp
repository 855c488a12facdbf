#include "com/create.h"

#include <dlfcn.h>

#include <mutex>

#include "com/module.h"
#include "com/ptr.h"
#include "platform/registry.h"

namespace com {

namespace {

std::mutex& LoadMutex() {
    static std::mutex m;
    return m;
}

std::string& LoadError() {
    static std::string e;
    return e;
}

// Libraries are never closed: objects and factories handed out may outlive every caller's
// interest in the library, and unloading code that still runs is not recoverable.
void* LoadLibrary(const std::string& path) {
    std::lock_guard<std::mutex> lock(LoadMutex());
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* e = dlerror();
        LoadError() = e ? e : ("cannot load " + path);
    }
    return handle;
}

}  // namespace

std::string LastLoadError() {
    std::lock_guard<std::mutex> lock(LoadMutex());
    return LoadError();
}

HRESULT GetClassObjectFromLibrary(const std::string& libraryPath, const CLSID& clsid,
                                  const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (libraryPath.empty()) return TYPE_E_CANTLOADLIBRARY;
    void* handle = LoadLibrary(libraryPath);
    if (!handle) return TYPE_E_CANTLOADLIBRARY;
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) return CO_E_ERRORINDLL;
    return getClassObject(clsid, iid, out);
}

HRESULT CreateInstanceFromLibrary(const std::string& libraryPath, const CLSID& clsid,
                                  IUnknown* outer, const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    Ptr<IClassFactory> factory;
    HRESULT hr =
        GetClassObjectFromLibrary(libraryPath, clsid, IClassFactory::kIid, factory.PutVoid());
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    return factory->CreateInstance(outer, iid, out);
}

std::string RegisteredLibrary(const CLSID& clsid) {
    return platform::RegistryGetString(platform::Hive::ClassesRoot,
                                       "CLSID\\" + ToString(clsid) + "\\InprocServer32", "");
}

HRESULT CreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::string library = RegisteredLibrary(clsid);
    if (library.empty()) return REGDB_E_CLASSNOTREG;
    return CreateInstanceFromLibrary(library, clsid, outer, iid, out);
}

std::optional<CLSID> ClsidFromText(const std::string& text) {
    if (!text.empty() && text.front() == '{') return ParseGuid(text);
    std::string progId = text;
    // CurVer may point on; a loop of CurVer entries must not hang the caller.
    for (int hop = 0; hop < 4; ++hop) {
        if (progId.empty() || progId.find('\\') != std::string::npos) return std::nullopt;
        const std::string clsid =
            platform::RegistryGetString(platform::Hive::ClassesRoot, progId + "\\CLSID", "");
        if (!clsid.empty()) return ParseGuid(clsid);
        progId = platform::RegistryGetString(platform::Hive::ClassesRoot, progId + "\\CurVer", "");
    }
    return std::nullopt;
}

}  // namespace com
