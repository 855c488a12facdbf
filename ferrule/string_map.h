// A text-to-text map whose every operation takes its own lock.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

class CMapStringToPtrSec {
public:
    CMapStringToPtrSec() = default;
    CMapStringToPtrSec(const CMapStringToPtrSec&) = delete;
    CMapStringToPtrSec& operator=(const CMapStringToPtrSec&) = delete;

    // Stores a copy of `value`, replacing any earlier value of `key`.
    void SetAt(const std::string& key, const std::string& value);
    // True when the key was present.
    bool RemoveKey(const std::string& key);
    std::optional<std::string> Lookup(const std::string& key) const;
    void RemoveAll();
    std::size_t GetCount() const;

private:
    mutable std::mutex lock_;
    std::unordered_map<std::string, std::string> values_;
};
