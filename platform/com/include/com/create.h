// Creating objects of component libraries: by class id through the registry's
// CLSID\{...}\InprocServer32 entry, or straight from a named library file. Libraries are
// loaded once (dlopen) and stay loaded for the life of the process.
#pragma once

#include <optional>
#include <string>

#include "com/interfaces.h"

namespace com {

// The library cannot be loaded: TYPE_E_CANTLOADLIBRARY; it has no DllGetClassObject:
// CO_E_ERRORINDLL; otherwise what the library answers.
HRESULT GetClassObjectFromLibrary(const std::string& libraryPath, const CLSID& clsid,
                                  const IID& iid, void** out);
HRESULT CreateInstanceFromLibrary(const std::string& libraryPath, const CLSID& clsid,
                                  IUnknown* outer, const IID& iid, void** out);

// The registered library of a class ("" when none is registered).
std::string RegisteredLibrary(const CLSID& clsid);
// Not registered: REGDB_E_CLASSNOTREG.
HRESULT CreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out);

// "{...}" text, or a ProgID looked up in the registry (following CurVer when the ProgID has
// no CLSID of its own).
std::optional<CLSID> ClsidFromText(const std::string& text);

// The text of the last library that failed to load (dlerror), for diagnostics.
std::string LastLoadError();

}  // namespace com
