#include "platform/folder_guard.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace platform {

namespace {

// More links on one path than the system itself follows is a loop.
constexpr int kMaxLinks = 40;

// `path` with its empty and "." components dropped (a '\\' is part of a name here); empty
// when it is relative or climbs with "..", which cannot be judged without the links on the way.
std::string Plain(const std::string& path) {
    if (path.empty() || path[0] != '/') return {};
    std::string plain;
    for (size_t start = 1; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") return {};
        if (!part.empty() && part != ".") plain += "/" + part;
        start = end + 1;
    }
    return plain.empty() ? "/" : plain;
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

}  // namespace

std::string RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : std::string();
}

FolderGuard::FolderGuard(const std::string& folder) : folder_(Plain(folder)) {
    struct stat st {};
    exists_ = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    device_ = st.st_dev;
    inode_ = st.st_ino;
}

bool FolderGuard::Covers(const std::string& path) {
    const std::string plain = Plain(path);
    return plain.empty() || Inside(plain, 0);
}

bool FolderGuard::Inside(const std::string& path, int links) {
    if (path == folder_) return true;
    const auto known = judged_.find(path);
    if (known != judged_.end()) return known->second;
    bool inside = true;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        // Not there yet: it would be made in the folder above.
        if (errno == ENOENT) inside = path != "/" && Inside(Parent(path), links);
    } else if (S_ISLNK(st.st_mode)) {
        const std::string target = RealPath(path);
        if (!target.empty() && links < kMaxLinks) inside = Inside(target, links + 1);
    } else {
        inside = (exists_ && st.st_dev == device_ && st.st_ino == inode_) ||
                 (path != "/" && Inside(Parent(path), links));
    }
    judged_[path] = inside;
    return inside;
}

}  // namespace platform
