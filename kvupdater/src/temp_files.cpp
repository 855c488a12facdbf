#include "temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <platform/paths.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
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

std::string InstallerFileName() { return platform::LinuxFileName("inst.exe"); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// lstat, so that a link to a folder of ours does not pass for the folder itself.
bool IsPrivateFolder(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

}  // namespace

std::string TempDirectory() {
    // Written the way PathAppend writes the paths inside it, so that they compare equal. A
    // relative TMPDIR would mean another folder from every working folder: not used.
    const char* folder = std::getenv("TMPDIR");
    const std::string path = folder && *folder == '/' ? folder : "/tmp";
    return platform::PathAppend("/", path);
}

std::string DescriptionTempPath(std::time_t now) {
    char name[32];
    std::snprintf(name, sizeof(name), "up%X.tmp", static_cast<unsigned>(now) & 0xFFFFu);
    return platform::PathAppend(TempDirectory(), name);
}

std::string NewInstallerPath() {
    // A name that is taken already (by anyone) is never reused: another GUID is drawn.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string folder = platform::PathAppend(TempDirectory(), NewGuidText());
        if (::mkdir(folder.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        // The umask may have taken more than asked; nothing else can be in it yet.
        if (::chmod(folder.c_str(), 0700) != 0 || !IsPrivateFolder(folder)) return {};
        return platform::PathAppend(folder, InstallerFileName());
    }
    return {};
}

bool IsInstallerPath(const std::string& path) {
    const std::string folder = FolderOf(path);
    return !folder.empty() && platform::FileNamePart(path) == InstallerFileName() &&
           IsGuidFolderName(platform::FileNamePart(folder)) &&
           FolderOf(folder) == TempDirectory() && IsPrivateFolder(folder);
}

void RemoveInstallerFolder(const std::string& installerPath) {
    const std::string folder = FolderOf(installerPath);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    if (DIR* listing = ::fdopendir(fd)) {
        // Only files: the updater makes no folders inside, so one found there stays (and
        // keeps the folder).
        while (const dirent* entry = ::readdir(listing)) {
            ::unlinkat(fd, entry->d_name, 0);
        }
        ::closedir(listing);
    } else {
        ::close(fd);
    }
    ::rmdir(folder.c_str());
}

}  // namespace kvupdater
