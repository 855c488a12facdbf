// Registration scripts: a component's registry entries written as text, applied on
// registration and undone on unregistration.
//
//   HKCR
//   {
//       Hallek.Thing.1 = s 'Thing Class'
//       {
//           CLSID = s '{...}'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Thing Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Roots: HKCR (the classes key of the chosen hive), HKCU, HKLM. A key is a bare word or a
// quoted name, optionally "= s 'text'" or "= d number" for its default value, optionally a
// block of keys and "val name = s|d value" lines. Flags: NoRemove (kept on unregistration),
// ForceRemove (replaced whole on registration), Delete (removed on registration).
// %NAME% is replaced from the given table ("%%" is a percent sign); in quoted texts '' is a quote.
#pragma once

#include <map>
#include <string>

#include "com/hresult.h"

namespace com {

enum class RegistrationScope { PerUser, PerMachine };

// Parses the whole script first: a syntax error or an unknown %NAME% answers E_INVALIDARG
// (with `error` telling where) and changes nothing.
HRESULT ApplyRegistryScript(const std::string& script,
                            const std::map<std::string, std::string>& replacements,
                            RegistrationScope scope, bool install, std::string* error = nullptr);

}  // namespace com
