// Fetching a ".torrent" file over HTTP, and telling whether a file is one.
#pragma once

#include <atomic>
#include <string>
#include <vector>

// True when `bytes` is one bencoded dictionary, and nothing after it, with a dictionary under
// "info".
bool IsTorrentData(const std::string& bytes);
bool IsTorrentFile(const std::string& path);

// Tries each URL in order; the first download that is a torrent is moved to `target`.
// Each download goes to a temporary name first, so `target` never holds a partial or
// foreign file. A download takes at most `limitMs`; `abort` ends it early. True when
// `target` was written.
bool FetchTorrentFile(const std::vector<std::string>& urls, const std::string& target, int limitMs,
                      const std::atomic<bool>& abort);
