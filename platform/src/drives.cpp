#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace platform {
namespace {

std::mutex g_injectedMutex;
std::optional<std::vector<Drive>> g_injected;

// File systems that hold no user files of their own or live elsewhere on the network.
bool IsLocalDiskType(const std::string& type) {
    static const std::set<std::string> skipped = {"proc",        "sysfs",     "devtmpfs",
                                                  "devpts",      "tmpfs",     "securityfs",
                                                  "cgroup",      "cgroup2",   "pstore",
                                                  "bpf",         "debugfs",   "tracefs",
                                                  "configfs",    "fusectl",   "mqueue",
                                                  "hugetlbfs",   "autofs",    "binfmt_misc",
                                                  "efivarfs",    "ramfs",     "rpc_pipefs",
                                                  "nsfs",        "overlay",   "squashfs",
                                                  "iso9660",     "udf",       "nfs",
                                                  "nfs4",        "cifs",      "smb3",
                                                  "smbfs",       "sshfs",     "fuse.sshfs",
                                                  "9p",          "ceph",      "glusterfs",
                                                  "afs",         "davfs",     "fuse.gvfsd-fuse",
                                                  "fuse.portal", "selinuxfs", "zram"};
    return skipped.count(type) == 0;
}

// /proc/self/mounts escapes blanks and a few other bytes as \ooo.
std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string oct = field.substr(i + 1, 3);
            if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(oct, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool IsSystemOrRemovableMount(const std::string& mountPoint) {
    for (const char* prefix : {"/media/", "/run/", "/proc/", "/sys/", "/dev/"})
        if (mountPoint.rfind(prefix, 0) == 0) return true;
    return false;
}

struct Mount {
    std::string point;
    std::string type;
};

// Every entry of the mount table, in its order.
std::vector<Mount> ReadMounts() {
    std::vector<Mount> result;
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type)) continue;
        result.push_back({UnescapeMountField(mountPoint), type});
    }
    return result;
}

// True when `path` is `root` or lies below it.
bool IsUnder(const std::string& path, const std::string& root) {
    if (root == "/") return true;
    return path.compare(0, root.size(), root) == 0 &&
           (path.size() == root.size() || path[root.size()] == '/');
}

std::vector<Drive> ReadMountedDrives() {
    std::vector<Drive> drives;
    std::set<std::string> seen;
    for (const Mount& mount : ReadMounts()) {
        const std::string& mountPoint = mount.point;
        const std::string& type = mount.type;
        // A container's root is an overlay, but it is still the machine's local disk.
        const bool localRoot = mountPoint == "/" && type == "overlay";
        if ((!localRoot && !IsLocalDiskType(type)) || IsSystemOrRemovableMount(mountPoint))
            continue;
        // Bind-mounted single files (container /etc/hosts and the like) are no drives.
        struct stat st {};
        if (stat(mountPoint.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (!seen.insert(mountPoint).second) continue;
        Drive drive;
        if (!DiskSpace(mountPoint, drive) || drive.totalBytes == 0) continue;
        drive.root = mountPoint;
        drives.push_back(drive);
    }
    return drives;
}

}  // namespace

std::vector<Drive> FixedDrives() {
    {
        std::lock_guard<std::mutex> lock(g_injectedMutex);
        if (g_injected) return *g_injected;
    }
    return ReadMountedDrives();
}

void SetFixedDrivesForTesting(std::optional<std::vector<Drive>> drives) {
    std::lock_guard<std::mutex> lock(g_injectedMutex);
    g_injected = std::move(drives);
}

bool DiskSpace(const std::string& path, Drive& out) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) return false;
    const std::uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
    out.root = path;
    out.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * unit;
    out.freeBytes = static_cast<std::uint64_t>(st.f_bfree) * unit;
    out.availableBytes = static_cast<std::uint64_t>(st.f_bavail) * unit;
    return true;
}

bool IsOnFixedDrive(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    // The file system that holds the path is the longest mount point above it; the drive
    // roots take part too, so that an injected list needs no mount table of its own. Below
    // "/", a removable or pseudo file system is no fixed drive although "/" is one.
    std::string holder;
    bool fixed = false;
    for (const auto& drive : FixedDrives()) {
        if (IsUnder(path, drive.root) && drive.root.size() > holder.size()) {
            holder = drive.root;
            fixed = true;
        }
    }
    for (const Mount& mount : ReadMounts()) {
        if (IsUnder(path, mount.point) && mount.point.size() > holder.size()) {
            holder = mount.point;
            fixed = false;
        }
    }
    return fixed;
}

}  // namespace platform
