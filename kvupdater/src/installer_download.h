// Downloads the installer through the download engine, continuing an earlier partial
// download when its resume file is there, and showing the sizes on the console meanwhile.
#pragma once

#include <string>

namespace kvupdater {

// True when the engine finished the whole file at `installerPath`. A file that would grow
// beyond `maxBytes` is stopped there and removed with its resume file (said on the console).
bool DownloadInstaller(const std::string& url, const std::string& installerPath,
                       const std::string& resumePath, long long maxBytes);

}  // namespace kvupdater
