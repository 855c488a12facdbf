#include "file_utils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/paths.h"

namespace {

std::mutex g_appDirLock;
std::string g_appDir;
std::string g_appDirOverride;

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string::size_type LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace

std::int32_t ResultFromErrno(int err) {
    if (err == 0) return kResultOk;
    return static_cast<std::int32_t>(0x80070000u | (static_cast<unsigned>(err) & 0xFFFFu));
}

const std::string& GetAppDirectory() {
    std::lock_guard<std::mutex> guard(g_appDirLock);
    if (!g_appDirOverride.empty()) return g_appDirOverride;
    if (g_appDir.empty()) {
        g_appDir = WithTrailingSlash(
            platform::ModuleDirectory(reinterpret_cast<const void*>(&GetAppDirectory)));
    }
    return g_appDir;
}

void SetAppDirectoryForTesting(const std::string& folder) {
    std::lock_guard<std::mutex> guard(g_appDirLock);
    g_appDirOverride = folder.empty() ? std::string() : WithTrailingSlash(folder);
}

std::string GetFileNamePart(const std::string& path) {
    const auto sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string GetDirectoryPart(const std::string& path) {
    const auto sep = LastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::uint64_t GetFileSize64(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool ForceDeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0) return true;
    // A file without write permission in a folder without it: open the folder up for
    // the owner and retry (the counterpart of clearing the read-only attribute).
    ::chmod(path.c_str(), S_IRUSR | S_IWUSR);
    return ::unlink(path.c_str()) == 0;
}

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir that counts an existing folder as success; answers 0 or errno.
int MakeOneFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    const int err = errno;
    if (err == EEXIST) return IsFolder(path) ? 0 : ENOTDIR;
    return err;
}

}  // namespace

std::int32_t CreateDirectoryPath(const std::string& pathIn) {
    if (pathIn.empty() || pathIn[0] == '\\') return kResultInvalidArg;
    std::string path = platform::ToNativeSeparators(pathIn);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    int err = MakeOneFolder(path);
    if (err != ENOENT) return ResultFromErrno(err);
    // The parent is missing: create each level from the left.
    for (auto sep = path.find('/', 1); sep != std::string::npos; sep = path.find('/', sep + 1)) {
        err = MakeOneFolder(path.substr(0, sep));
        if (err != 0) return ResultFromErrno(err);
    }
    return ResultFromErrno(MakeOneFolder(path));
}

bool CreateDirectories(const std::string& path) { return CreateDirectoryPath(path) == kResultOk; }
