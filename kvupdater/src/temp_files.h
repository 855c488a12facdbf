// Where the updater keeps what it downloads: the temporary folder ($TMPDIR when it is an
// absolute path, else /tmp).
#pragma once

#include <ctime>
#include <string>

namespace kvupdater {

std::string TempDirectory();

// The description's download file: "up" followed by the low 16 bits of `now` in hexadecimal
// and ".tmp", in the temporary folder.
std::string DescriptionTempPath(std::time_t now);

// A new folder named by a fresh GUID in braces in the temporary folder, created private to
// the user, and the installer's path inside it. Empty when no such folder can be made.
std::string NewInstallerPath();

// True when `path` is an installer path as NewInstallerPath makes them and its folder is still
// private to us: a real folder (no link), owned by this user, mode 0700. Only such files may
// be resumed into, started or removed; a folder that someone else made or can write is not
// ours, whatever its name.
bool IsInstallerPath(const std::string& path);

// Removes an installer's folder with everything in it (the installer, its resume file and
// what a broken run left beside them). Only for paths that pass IsInstallerPath.
void RemoveInstallerFolder(const std::string& installerPath);

}  // namespace kvupdater
