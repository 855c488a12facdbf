// Where the updater keeps what it downloads: the temporary folder ($TMPDIR, else /tmp).
#pragma once

#include <ctime>
#include <string>

namespace kvupdater {

std::string TempDirectory();

// The description's download file: "up" followed by the low 16 bits of `now` in hexadecimal
// and ".tmp", in the temporary folder.
std::string DescriptionTempPath(std::time_t now);

// A new folder named by a fresh GUID in braces, created private to the user, and the
// installer's path inside it. Empty when the folder cannot be made.
std::string NewInstallerPath();

// True when `path` names a file inside a folder named by a GUID in braces, as NewInstallerPath
// makes: the only files a run may resume into or remove.
bool IsInstallerPath(const std::string& path);

}  // namespace kvupdater
