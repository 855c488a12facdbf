// Removing a registry key with everything below it (the registry refuses to delete a key
// that still has sub-keys).
#pragma once

#include <string>

#include "platform/registry.h"

namespace com::detail {

inline void DeleteRegistryTree(platform::Hive hive, const std::string& keyPath) {
    if (!platform::RegistryKeyExists(hive, keyPath)) return;
    for (const std::string& sub : platform::RegistrySubKeys(hive, keyPath))
        DeleteRegistryTree(hive, keyPath + "\\" + sub);
    platform::RegistryDeleteKey(hive, keyPath);
}

inline platform::Hive ScopeHive(bool perUser) {
    return perUser ? platform::Hive::CurrentUser : platform::Hive::LocalMachine;
}

}  // namespace com::detail
