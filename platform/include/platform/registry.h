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
#include <memory>
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

// Many calls as one change. While the object lives, this thread holds the registry lock (other
// writers wait), the hives are read once, and every registry call of this thread reads and
// changes them in memory; Commit (or the destructor) writes each hive whose content changed,
// once, so other processes see the state before or after, whole. A transaction begun while
// one is open on the thread joins it: the outer one writes. Calls of other threads are not
// part of it. Inside, a change answers true when it is made in memory; whether it lasts is
// Commit's answer.
class RegistryTransaction {
public:
    RegistryTransaction();
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // Ends the transaction (later calls work on the files directly). False when the lock could
    // not be taken, a change was refused (a hive that cannot be read is never rewritten) or a
    // hive could not be written; Error() then says why. A joined transaction answers true.
    bool Commit();
    const std::string& Error() const { return error_; }

private:
    struct Open;
    std::unique_ptr<Open> open_;  // null once committed, and for a joined transaction
    std::string error_;
};

// The folder that holds the hive files (tests point XDG_CONFIG_HOME at a temporary folder).
std::string RegistryDirectory();

}  // namespace platform
