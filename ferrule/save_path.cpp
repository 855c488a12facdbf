#include "save_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include "file_utils.h"
#include "platform/drives.h"
#include "platform/folder_guard.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace {

const char kMediaFolderName[] = "orvane/";

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSystemRoot(const std::string& root) {
    return !root.empty() && root.find_first_not_of('/') == std::string::npos;
}

// Downloads saved there would land among the stream cache's torrents and state files, which
// the engine guards only while the save folder lies apart from them.
bool InStreamCache(const std::string& path) {
    return platform::FolderGuard(platform::UserFilePath("MediaData")).Covers(path);
}

std::string FolderOnDrive(std::string root) {
    if (root.empty() || root.back() != '/') root.push_back('/');
    return root + kMediaFolderName;
}

}  // namespace

bool IsValidSavePath(const std::string& pathIn) {
    if (pathIn.empty()) return false;
    const std::string path = platform::ToNativeSeparators(pathIn);
    if (IsFolder(path)) return !InStreamCache(platform::RealPath(path));
    return path[0] == '/' && !InStreamCache(path) && platform::IsOnFixedDrive(path);
}

bool GetDiskFreeSpace64(const std::string& root, std::uint64_t& available, std::uint64_t& total,
                        std::uint64_t& free) {
    platform::Drive drive;
    if (root.empty() || !platform::DiskSpace(platform::ToNativeSeparators(root), drive)) {
        return false;
    }
    available = drive.availableBytes;
    total = drive.totalBytes;
    free = drive.freeBytes;
    return true;
}

std::string GetDefaultSavePath() {
    std::string chosen;
    std::uint64_t best = 0;
    for (const platform::Drive& drive : platform::FixedDrives()) {
        // The system's root is never a media folder's home, not even for root.
        if (drive.availableBytes <= best || IsSystemRoot(drive.root)) continue;
        // On Windows every drive root was writable; here the root of a mount usually is
        // not, so a drive counts only when the folder can live there.
        const std::string candidate = FolderOnDrive(drive.root);
        if (!IsFolder(candidate) && ::access(drive.root.c_str(), W_OK) != 0) continue;
        best = drive.availableBytes;
        chosen = candidate;
    }
    if (!chosen.empty() && CreateDirectoryPath(chosen) == kResultOk) return chosen;
    // As the player does: the user's own cache folder (the service's folder should the
    // user's home not be an absolute path).
    chosen = FolderOnDrive(platform::UserCacheDir());
    if (chosen[0] != '/') chosen = GetAppDirectory() + kMediaFolderName;
    CreateDirectoryPath(chosen);
    return chosen;
}
