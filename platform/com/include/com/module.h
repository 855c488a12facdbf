// A component library's classes, its class factories, its self-registration and its exports.
//
//   namespace {
//   com::Module& ThisModule() {
//       static com::Module module(com::ServerInfo{...},
//                                 {{kClsidThing, "Thing Class", "Acme.Thing.1", "Acme.Thing",
//                                   com::Creator<Thing>()}});
//       return module;
//   }
//   }  // namespace
//   ORVANE_COM_SERVER(ThisModule())
//
// The exports are DllGetClassObject, DllRegisterServer / DllUnregisterServer (per user),
// DllInstall (per user for the command line "user", any case; per machine otherwise) and
// DllCanUnloadNow. Registration writes, under Software\Classes of the chosen hive:
// CLSID\{clsid} (name; InprocServer32 = library path with ThreadingModel; ProgID;
// VersionIndependentProgID; TypeLib; AppID; Control), the ProgIDs (CLSID, CurVer), AppID\{appid}
// and TypeLib\{libid}\<version>; or, for a class with a registration script, that script.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "com/object.h"
#include "com/registry_script.h"

namespace com {

struct ServerInfo {
    GUID typeLib;  // null: no type-library entries
    std::string typeLibName;
    std::string version = "1.0";
    GUID appId;  // null: no AppID entries
    std::string appName;
    // Module-level script, applied before the classes' entries; when set, it writes the AppID
    // and type-library entries itself.
    std::string registryScript;
};

struct ClassInfo {
    using Create = std::function<HRESULT(const IID& iid, void** out)>;

    CLSID clsid;
    std::string name;
    std::string progId;                    // version-dependent, may be empty
    std::string versionIndependentProgId;  // may be empty
    Create create;
    bool control = false;
    std::string threadingModel = "Apartment";
    std::string registryScript;  // when set, registration applies it instead of the entries above
};

// Creation function for a class made with MakeObject<T>().
template <class T>
ClassInfo::Create Creator() {
    return [](const IID& iid, void** out) { return MakeObject<T>()->QueryInterface(iid, out); };
}

class Module {
public:
    explicit Module(ServerInfo info = {}, std::vector<ClassInfo> classes = {});
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    Module& AddClass(ClassInfo info);
    const std::vector<ClassInfo>& Classes() const { return classes_; }

    // A factory for a listed class; CLASS_E_CLASSNOTAVAILABLE otherwise.
    HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** out);
    // Scripts may use %MODULE% (the library path), %LIBID%, %APPID%, and in a class's script
    // %CLSID% (that class's id).
    HRESULT Register(const std::string& libraryPath, RegistrationScope scope) const;
    // Removes only entries whose InprocServer32 still names `libraryPath`.
    HRESULT Unregister(const std::string& libraryPath, RegistrationScope scope) const;
    // S_OK when no object of this library lives and no factory holds it locked.
    HRESULT CanUnloadNow() const;
    HRESULT Install(bool install, const char* commandLine, const std::string& libraryPath) const;

    // LockServer of this module's factories.
    void Lock(bool lock);

    // Called after the module's own entries were written (install) or removed (uninstall).
    using RegistrationHook = std::function<void(RegistrationScope scope, bool install)>;
    void SetRegistrationHook(RegistrationHook hook) { hook_ = std::move(hook); }

private:
    std::map<std::string, std::string> Replacements(const std::string& libraryPath) const;
    HRESULT Apply(const std::string& libraryPath, RegistrationScope scope, bool install) const;

    ServerInfo info_;
    std::vector<ClassInfo> classes_;
    std::atomic<long> locks_{0};
    RegistrationHook hook_;
};

// Full path of the library (or executable) that holds `address` (dladdr, symbolic links
// resolved); "" when it cannot be told.
std::string ModuleFilePath(const void* address);

using DllGetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);
using DllRegisterServerFn = HRESULT (*)();
using DllInstallFn = HRESULT (*)(bool install, const char* commandLine);

}  // namespace com

// Defines the library's exports on a module expression (evaluated at each call).
#define ORVANE_COM_SERVER(moduleExpr)                                                              \
    namespace {                                                                                    \
    const char orvane_com_module_anchor = 0;                                                       \
    std::string OrvaneComModulePath() { return ::com::ModuleFilePath(&orvane_com_module_anchor); } \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::com::HRESULT DllGetClassObject(            \
        const ::com::CLSID& clsid, const ::com::IID& iid, void** out) {                            \
        return (moduleExpr).GetClassObject(clsid, iid, out);                                       \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::com::HRESULT DllRegisterServer() {         \
        return (moduleExpr).Register(OrvaneComModulePath(), ::com::RegistrationScope::PerUser);    \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::com::HRESULT DllUnregisterServer() {       \
        return (moduleExpr).Unregister(OrvaneComModulePath(), ::com::RegistrationScope::PerUser);  \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::com::HRESULT DllInstall(                   \
        bool install, const char* commandLine) {                                                   \
        return (moduleExpr).Install(install, commandLine, OrvaneComModulePath());                  \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) ::com::HRESULT DllCanUnloadNow() {           \
        return (moduleExpr).CanUnloadNow();                                                        \
    }
