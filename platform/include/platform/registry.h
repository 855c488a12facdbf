// A file-backed emulation of the registry: per-user hives under
// <config>/orvane/registry/ (<config> = $XDG_CONFIG_HOME or ~/.config).
//
// Key paths use '\' ("Software\Classes\.mp4"), compare without regard to case and keep the
// case of their first writer. Values are named; the name "" is the key's default value.
// HKEY_CLASSES_ROOT is a view: reads look in HKCU\Software\Classes first, then
// HKLM\Software\Classes; writes go to HKCU\Software\Classes when the key exists there,
// else to HKLM\Software\Classes. Every change is written atomically under an exclusive
// file lock, so two processes writing at once lose nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

using RegistryValue = std::variant<std::string, std::int64_t>;

// Parses "HKEY_CURRENT_USER\Software\X" (also "HKCU\...", "HKLM\...", "HKCR\...",
// "HKEY_LOCAL_MACHINE\...", "HKEY_CLASSES_ROOT\...") into hive and key path.
bool ParseRegistryPath(const std::string& full, Hive& hive, std::string& keyPath);

bool RegistryKeyExists(Hive hive, const std::string& keyPath);
// Creates the key and its missing parents.
bool RegistryCreateKey(Hive hive, const std::string& keyPath);

std::optional<RegistryValue> RegistryGetValue(Hive hive, const std::string& keyPath,
                                              const std::string& name);
std::string RegistryGetString(Hive hive, const std::string& keyPath, const std::string& name,
                              const std::string& defaultValue = "");
std::int64_t RegistryGetInt(Hive hive, const std::string& keyPath, const std::string& name,
                            std::int64_t defaultValue = 0);

// Writing creates the key and its parents.
bool RegistrySetValue(Hive hive, const std::string& keyPath, const std::string& name,
                      const RegistryValue& value);
// True when the value is gone afterwards (also when it never existed).
bool RegistryDeleteValue(Hive hive, const std::string& keyPath, const std::string& name);
// Deletes a key with its values; refused (false) while it has sub-keys or when it is missing.
bool RegistryDeleteKey(Hive hive, const std::string& keyPath);

std::vector<std::string> RegistrySubKeys(Hive hive, const std::string& keyPath);
std::vector<std::string> RegistryValueNames(Hive hive, const std::string& keyPath);

// The folder that holds the hive files (tests point XDG_CONFIG_HOME at a temporary folder).
std::string RegistryDirectory();

}  // namespace platform
