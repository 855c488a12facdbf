// Reads an 8-bit ini file once into a map of "section-key" (lower-cased) to value.
#pragma once

#include <optional>
#include <string>

#include "string_map.h"

class CIniFileReader {
public:
    // A path that names no file is taken relative to the service's folder; when that names
    // none either, nothing is loaded.
    explicit CIniFileReader(const std::string& path);
    virtual ~CIniFileReader();

    // The value, or nothing when the key is missing.
    std::optional<std::string> GetString(const std::string& section, const std::string& key) const;
    // atoi of the value; `defaultValue` when the key is missing or empty.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;

    // The file that was read (empty when none).
    const std::string& GetPath() const { return path_; }

private:
    void Load();

    std::string path_;
    CMapStringToPtrSec values_;
};
