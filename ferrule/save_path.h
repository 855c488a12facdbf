// The media folder: whether a configured one is usable, and the default choice.
#pragma once

#include <cstdint>
#include <string>

// False for an empty path and for one in the user's stream cache ("MediaData") or below it;
// true when it names an existing folder or an absolute path on a fixed drive (a mounted local
// file system).
bool IsValidSavePath(const std::string& path);

// Space of the file system that holds `root`. False when it cannot be stated.
bool GetDiskFreeSpace64(const std::string& root, std::uint64_t& available, std::uint64_t& total,
                        std::uint64_t& free);

// "orvane/" on the fixed drive with the most space available to this user, among the drives
// other than the system's root where that folder exists or can be made; else "orvane/" in the
// user's cache folder. The folder is created; the result is absolute and ends in '/'.
std::string GetDefaultSavePath();
