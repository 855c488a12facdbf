#include "ini_file_reader.h"

#include <cstdlib>
#include <fstream>

#include "file_utils.h"
#include "platform/paths.h"
#include "string_utils.h"

CIniFileReader::CIniFileReader(const std::string& path) {
    if (FileExists(path)) {
        path_ = path;
    } else {
        const std::string relative = platform::PathAppend(GetAppDirectory(), path);
        if (!path.empty() && FileExists(relative)) path_ = relative;
    }
    Load();
}

CIniFileReader::~CIniFileReader() = default;

void CIniFileReader::Load() {
    if (path_.empty()) return;
    std::ifstream in(path_, std::ios::binary);
    std::string section;
    bool haveSection = false;
    std::string raw;
    while (std::getline(in, raw)) {
        const std::string line = TrimString(raw);
        if (line.empty() || line[0] == '\'' || line[0] == '/' || line[0] == '\\') continue;
        if (line[0] == '[') {
            section = ToLower(line.substr(1, line.size() >= 2 ? line.size() - 2 : 0));
            haveSection = true;
            continue;
        }
        if (!haveSection) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = ToLower(TrimRight(line.substr(0, eq)));
        if (key.empty()) continue;
        values_.SetAt(section + "-" + key, TrimLeft(line.substr(eq + 1)));
    }
}

std::optional<std::string> CIniFileReader::GetString(const std::string& section,
                                                     const std::string& key) const {
    return values_.Lookup(ToLower(section + "-" + key));
}

int CIniFileReader::GetInt(const std::string& section, const std::string& key,
                           int defaultValue) const {
    const auto value = GetString(section, key);
    if (!value || value->empty()) return defaultValue;
    return std::atoi(value->c_str());
}
