// Fixed drives: the mounted local file systems, with their sizes, where caches may go.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Drive {
    std::string root;  // mount point, e.g. "/" or "/home"
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;       // free on the file system
    std::uint64_t availableBytes = 0;  // free to an unprivileged caller
};

// Mounted local file systems from /proc/self/mounts, skipping pseudo, network and removable
// ones, in mount-table order, with their sizes from statvfs. Tests may inject a list.
std::vector<Drive> FixedDrives();

// Replaces the list that FixedDrives() answers (std::nullopt restores the real one).
void SetFixedDrivesForTesting(std::optional<std::vector<Drive>> drives);

// Sizes of the file system that holds `path`. False when it cannot be stated.
bool DiskSpace(const std::string& path, Drive& out);

// True when `path` lies on one of FixedDrives() (longest matching mount point).
bool IsOnFixedDrive(const std::string& path);

}  // namespace platform
