// Whether a file would land in a folder that must stay apart (a cache of records that files
// named by someone else, such as a torrent's, must never reach). Judged as opening or making
// the file would resolve its name now: through links, and through every other name the folder
// goes by (a link to it, a bind mount, another spelling on a file system that ignores case).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>

namespace platform {

// `path` as the system names it: absolute, with every link on the way followed; empty when
// it cannot be resolved (it does not exist, or a link on the way dangles).
std::string RealPath(const std::string& path);

class FolderGuard {
public:
    // `folder` absolute. When it does not exist, only its own spelling counts.
    explicit FolderGuard(const std::string& folder);

    // Whether `path` (absolute; it need not exist: what would be made is judged by the nearest
    // existing folder above it) is the folder or lies below it. A name that cannot be judged
    // (relative, with a ".." component, a dangling link, a lookup that fails) counts as inside.
    bool Covers(const std::string& path);

private:
    bool Inside(const std::string& path, int links);

    std::string folder_;
    bool exists_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::map<std::string, bool> judged_;  // by path: the folders above a torrent's files repeat
};

}  // namespace platform
