#include "platform/user_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "file_lock.h"
#include "platform/paths.h"

namespace platform {
namespace {

// Names of the install folder that stand for per-user state, and where each user keeps it.
struct UserPlace {
    const char* installName;
    std::string (*base)();
    const char* userName;  // below <base>/orvane; empty: that folder itself
};

const UserPlace kUserPlaces[] = {
    {"../data", UserDataDir, ""},
    {"../cfg", UserConfigDir, ""},
    {"ini", UserConfigDir, ""},
    {"MediaData", UserCacheDir, "MediaData"},
    {"D2IZedavi.log", UserStateDir, "D2IZedavi.log"},
    {"debug.log", UserStateDir, "debug.log"},
    {"dmp", UserStateDir, "dmp"},
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The rest of `name` after `prefix` ("" or "/..."), compared as Windows names are, without
// regard to case; false when `name` does not lie at or below `prefix`.
bool RestAfter(const std::string& name, const std::string& prefix, std::string& rest) {
    if (name.size() < prefix.size() || Lower(name.substr(0, prefix.size())) != Lower(prefix))
        return false;
    rest = name.substr(prefix.size());
    return rest.empty() || rest[0] == '/';
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Creates `path` and its missing parents, each level made private to the user.
bool MakePrivateFolders(const std::string& path) {
    for (size_t sep = path.find('/', 1);; sep = path.find('/', sep + 1)) {
        const std::string level = path.substr(0, sep);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (sep == std::string::npos) break;
    }
    return IsFolder(path);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// Makes `target` a copy of `source` unless it exists by then: the copy is written aside and
// linked in, which fails rather than replace a file another process made meanwhile.
void CopyIfMissing(const std::string& source, const std::string& target) {
    std::string content;
    if (!ReadWholeFile(source, content)) return;
    std::string aside = FolderOf(target) + "/.seed-XXXXXX";
    const int fd = ::mkstemp(aside.data());
    if (fd < 0) return;
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    const bool complete = ::close(fd) == 0 && written == content.size();
    if (complete) (void)::link(aside.c_str(), target.c_str());
    ::unlink(aside.c_str());
}

// The user's place for `name` and the folder of the user's that holds it (<base>/orvane);
// both empty when the name belongs to the install folder.
std::pair<std::string, std::string> UserPlaceOf(const std::string& name) {
    const std::string relative = PathAppend("", name);
    if (relative.empty() || relative[0] == '/') return {};
    for (const UserPlace& place : kUserPlaces) {
        std::string rest;
        if (!RestAfter(relative, place.installName, rest)) continue;
        const std::string root = place.base() + "/orvane";
        return {*place.userName ? root + "/" + place.userName + rest : root + rest, root};
    }
    return {};
}

}  // namespace

std::string UserFilePath(const std::string& name) { return UserPlaceOf(name).first; }

std::string ShippedFilePath(const std::string& installDir, const std::string& name) {
    return PathAppend(installDir, name);
}

std::string FileToRead(const std::string& installDir, const std::string& name) {
    const std::string user = UserFilePath(name);
    if (!user.empty() && ::access(user.c_str(), F_OK) == 0) return user;
    return ShippedFilePath(installDir, name);
}

std::string FileToWrite(const std::string& installDir, const std::string& name) {
    const auto [user, root] = UserPlaceOf(name);
    if (user.empty()) return ShippedFilePath(installDir, name);
    if (!MakePrivateFolders(root) || !MakePrivateFolders(FolderOf(user))) return user;
    const std::string shipped = ShippedFilePath(installDir, name);
    if (::access(user.c_str(), F_OK) != 0 && IsFile(shipped)) CopyIfMissing(shipped, user);
    return user;
}

}  // namespace platform
