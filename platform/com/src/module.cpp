#include "com/module.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "platform/registry.h"
#include "registry_tree.h"
#include "text_util.h"

namespace com {

namespace {

class ClassFactory final : public Object<ClassFactory, IClassFactory> {
public:
    ClassFactory(ClassInfo::Create create, Module& module)
        : create_(std::move(create)), module_(module) {}

    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    HRESULT LockServer(bool lock) override {
        module_.Lock(lock);
        return S_OK;
    }

private:
    ClassInfo::Create create_;
    Module& module_;
};

const char kClasses[] = "Software\\Classes";

std::string ClassKey(const ClassInfo& c) {
    return std::string(kClasses) + "\\CLSID\\" + ToString(c.clsid);
}

bool SamePath(const std::string& a, const std::string& b) { return !a.empty() && a == b; }

}  // namespace

Module::Module(ServerInfo info, std::vector<ClassInfo> classes)
    : info_(std::move(info)), classes_(std::move(classes)) {}

Module& Module::AddClass(ClassInfo info) {
    classes_.push_back(std::move(info));
    return *this;
}

void Module::Lock(bool lock) {
    if (lock)
        ++locks_;
    else if (locks_ > 0)
        --locks_;
}

HRESULT Module::GetClassObject(const CLSID& clsid, const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassInfo& c : classes_) {
        if (c.clsid == clsid && c.create)
            return MakeObject<ClassFactory>(c.create, *this)->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT Module::CanUnloadNow() const {
    return detail::LiveObjectCount() == 0 && locks_ == 0 ? S_OK : S_FALSE;
}

std::map<std::string, std::string> Module::Replacements(const std::string& libraryPath) const {
    std::map<std::string, std::string> r{{"MODULE", libraryPath}};
    if (!info_.typeLib.IsNull()) r["LIBID"] = ToString(info_.typeLib);
    if (!info_.appId.IsNull()) r["APPID"] = ToString(info_.appId);
    return r;
}

HRESULT Module::Register(const std::string& libraryPath, RegistrationScope scope) const {
    if (libraryPath.empty()) return E_INVALIDARG;
    return Apply(libraryPath, scope, true);
}

HRESULT Module::Unregister(const std::string& libraryPath, RegistrationScope scope) const {
    if (libraryPath.empty()) return E_INVALIDARG;
    return Apply(libraryPath, scope, false);
}

HRESULT Module::Apply(const std::string& libraryPath, RegistrationScope scope, bool install) const {
    using platform::RegistrySetValue;
    const platform::Hive hive = detail::ScopeHive(scope == RegistrationScope::PerUser);
    const auto replacements = Replacements(libraryPath);
    const std::string classes = kClasses;

    if (!info_.registryScript.empty()) {
        HRESULT hr = ApplyRegistryScript(info_.registryScript, replacements, scope, install);
        if (FAILED(hr)) return hr;
    }
    bool ok = true;
    for (const ClassInfo& c : classes_) {
        const std::string clsid = ToString(c.clsid);
        const std::string key = ClassKey(c);
        const std::string server = key + "\\InprocServer32";
        // Another library that took over the class id keeps its registration.
        const bool ours = SamePath(platform::RegistryGetString(hive, server, ""), libraryPath);
        if (!c.registryScript.empty()) {
            if (!install && !ours && platform::RegistryKeyExists(hive, server)) continue;
            auto withClass = replacements;
            withClass["CLSID"] = clsid;
            HRESULT hr = ApplyRegistryScript(c.registryScript, withClass, scope, install);
            if (FAILED(hr)) return hr;
            continue;
        }
        if (!install) {
            if (!ours) continue;
            detail::DeleteRegistryTree(hive, key);
            for (const std::string& progId : {c.progId, c.versionIndependentProgId}) {
                if (progId.empty()) continue;
                const std::string progKey = classes + "\\" + progId;
                if (detail::EqualsNoCase(platform::RegistryGetString(hive, progKey + "\\CLSID", ""),
                                         clsid))
                    detail::DeleteRegistryTree(hive, progKey);
            }
            continue;
        }
        ok = ok && RegistrySetValue(hive, key, "", c.name) &&
             RegistrySetValue(hive, server, "", libraryPath) &&
             RegistrySetValue(hive, server, "ThreadingModel", c.threadingModel);
        if (!c.progId.empty()) ok = ok && RegistrySetValue(hive, key + "\\ProgID", "", c.progId);
        if (!c.versionIndependentProgId.empty())
            ok = ok && RegistrySetValue(hive, key + "\\VersionIndependentProgID", "",
                                        c.versionIndependentProgId);
        if (!info_.typeLib.IsNull())
            ok = ok && RegistrySetValue(hive, key + "\\TypeLib", "", ToString(info_.typeLib)) &&
                 RegistrySetValue(hive, key + "\\Version", "", info_.version);
        if (!info_.appId.IsNull())
            ok = ok && RegistrySetValue(hive, key, "AppID", ToString(info_.appId));
        if (c.control) ok = ok && platform::RegistryCreateKey(hive, key + "\\Control");
        if (!c.progId.empty()) {
            const std::string progKey = classes + "\\" + c.progId;
            ok = ok && RegistrySetValue(hive, progKey, "", c.name) &&
                 RegistrySetValue(hive, progKey + "\\CLSID", "", clsid);
        }
        if (!c.versionIndependentProgId.empty()) {
            const std::string progKey = classes + "\\" + c.versionIndependentProgId;
            ok = ok && RegistrySetValue(hive, progKey, "", c.name) &&
                 RegistrySetValue(hive, progKey + "\\CLSID", "", clsid);
            if (!c.progId.empty())
                ok = ok && RegistrySetValue(hive, progKey + "\\CurVer", "", c.progId);
        }
    }
    // A module script owns the module-level entries (AppID, type library) itself.
    const bool standardModuleEntries = info_.registryScript.empty();
    if (standardModuleEntries && !info_.appId.IsNull()) {
        const std::string key = classes + "\\AppID\\" + ToString(info_.appId);
        if (install)
            ok = ok && platform::RegistrySetValue(hive, key, "", info_.appName);
        else
            detail::DeleteRegistryTree(hive, key);
    }
    if (standardModuleEntries && !info_.typeLib.IsNull()) {
        const std::string key = classes + "\\TypeLib\\" + ToString(info_.typeLib);
        if (install) {
            ok = ok &&
                 platform::RegistrySetValue(hive, key + "\\" + info_.version, "",
                                            info_.typeLibName) &&
                 platform::RegistrySetValue(hive, key + "\\" + info_.version, "Library",
                                            libraryPath);
        } else if (SamePath(
                       platform::RegistryGetString(hive, key + "\\" + info_.version, "Library", ""),
                       libraryPath)) {
            detail::DeleteRegistryTree(hive, key);
        }
    }
    if (!ok) return E_FAIL;
    if (hook_) hook_(scope, install);
    return S_OK;
}

HRESULT Module::Install(bool install, const char* commandLine,
                        const std::string& libraryPath) const {
    const bool perUser = commandLine && detail::EqualsNoCase(commandLine, "user");
    const RegistrationScope scope =
        perUser ? RegistrationScope::PerUser : RegistrationScope::PerMachine;
    return install ? Register(libraryPath, scope) : Unregister(libraryPath, scope);
}

std::string ModuleFilePath(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
}

}  // namespace com
