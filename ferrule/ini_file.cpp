#include "ini_file.h"

#include <sstream>

#include "platform/ini_file.h"
#include "platform/paths.h"
#include "string_utils.h"

namespace {

bool IsSectionLine(const std::string& line) {
    const std::string left = TrimLeft(line);
    return !left.empty() && left[0] == '[';
}

std::string SectionName(const std::string& line) {
    const std::string left = TrimLeft(line);
    const auto close = left.find(']');
    return TrimString(left.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

std::string KeyOf(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return std::string();
    return TrimString(line.substr(0, eq));
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

CIniFile::CIniFile(const std::string& path) : path_(platform::ToNativeSeparators(path)) {}

CIniFile::~CIniFile() = default;

void CIniFile::SetInLines(std::vector<std::string>& lines, const std::string& section,
                          const std::string& key, const std::string& value) {
    const std::string entry = key + "=" + value;
    const std::string wantedSection = ToLower(section);
    const std::string wantedKey = ToLower(key);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsSectionLine(lines[i]) || ToLower(SectionName(lines[i])) != wantedSection) continue;
        // The section runs to the next section header; blank lines inside it do not end
        // it, so a key written after a blank line is found and not duplicated.
        std::size_t lastEntry = i;
        std::size_t j = i + 1;
        for (; j < lines.size() && !IsSectionLine(lines[j]); ++j) {
            if (ToLower(KeyOf(TrimLeft(lines[j]))) == wantedKey && !wantedKey.empty()) {
                lines[j] = entry;
                return;
            }
            if (!TrimString(lines[j]).empty()) lastEntry = j;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), entry);
        return;
    }
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
}

void CIniFile::SetString(const std::string& section, const std::string& key,
                         const std::string& value, bool save) {
    SetInLines(lines_, section, key, value);
    if (save) Save();
}

void CIniFile::SetInt(const std::string& section, const std::string& key, int value, bool save) {
    SetString(section, key, IntToString(value), save);
}

bool CIniFile::Save() {
    if (path_.empty()) {
        lastResult_ = false;
        return false;
    }
    // Lay this object's keys over what the file holds now, under the lock every ini writer
    // of the system takes, so that writers in other processes lose nothing.
    lastResult_ = platform::IniRewrite(path_, [this](const std::string& present) {
        std::vector<std::string> merged = SplitLines(present);
        std::string section;
        for (const std::string& line : lines_) {
            if (IsSectionLine(line)) {
                section = SectionName(line);
                continue;
            }
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            SetInLines(merged, section, line.substr(0, eq), line.substr(eq + 1));
        }
        std::ostringstream text;
        for (const std::string& line : merged) text << line << "\n";
        return text.str();
    });
    return lastResult_;
}
