#include "string_map.h"

void CMapStringToPtrSec::SetAt(const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> guard(lock_);
    values_[key] = value;
}

bool CMapStringToPtrSec::RemoveKey(const std::string& key) {
    std::lock_guard<std::mutex> guard(lock_);
    return values_.erase(key) > 0;
}

std::optional<std::string> CMapStringToPtrSec::Lookup(const std::string& key) const {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void CMapStringToPtrSec::RemoveAll() {
    std::lock_guard<std::mutex> guard(lock_);
    values_.clear();
}

std::size_t CMapStringToPtrSec::GetCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return values_.size();
}
