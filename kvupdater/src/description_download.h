// Fetches the update description (a small ini file) over HTTP(S) into a local file.
#pragma once

#include <string>

namespace kvupdater {

// Downloads `url` into `path` (replaced). False, with no file left behind, when the URL is not
// http or https, the server answers an error status, the answer exceeds `maxBytes`, or the
// transfer fails or stalls.
bool DownloadUrlToFile(const std::string& url, const std::string& path, long long maxBytes);

}  // namespace kvupdater
