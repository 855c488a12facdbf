#include "temp_files.h"

#include <platform/paths.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace kvupdater {
namespace {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits, as NewGuidText writes.
bool IsGuidFolderName(const std::string& name) {
    if (name.size() != 38 || name.front() != '{' || name.back() != '}') return false;
    for (size_t i = 1; i + 1 < name.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? name[i] != '-' : !std::isxdigit(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

std::string NewGuidText() {
    std::random_device source;
    unsigned char bytes[16];
    for (auto& byte : bytes) byte = static_cast<unsigned char>(source() & 0xFF);
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // random GUID
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    char text[40];
    std::snprintf(text, sizeof(text),
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7],
                  bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14],
                  bytes[15]);
    return text;
}

}  // namespace

std::string TempDirectory() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp";
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string DescriptionTempPath(std::time_t now) {
    char name[32];
    std::snprintf(name, sizeof(name), "up%X.tmp", static_cast<unsigned>(now) & 0xFFFFu);
    return platform::PathAppend(TempDirectory(), name);
}

std::string NewInstallerPath() {
    const std::string folder = platform::PathAppend(TempDirectory(), NewGuidText());
    if (::mkdir(folder.c_str(), 0700) != 0) return {};
    return platform::PathAppend(folder, platform::LinuxFileName("inst.exe"));
}

bool IsInstallerPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    const std::string name = path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    return IsGuidFolderName(platform::FileNamePart(path.substr(0, slash)));
}

}  // namespace kvupdater
