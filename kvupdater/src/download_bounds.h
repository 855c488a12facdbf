// How much the updater downloads at most. Whatever it fetches lands in the temporary folder,
// which other programs and users may share: a server that sends more than this is broken or
// hostile, and its answer is cut off there and thrown away.
#pragma once

namespace kvupdater {

struct DownloadBounds {
    long long descriptionBytes;  // the update description, a short ini file
    long long installerBytes;    // the installer
};

inline constexpr DownloadBounds kDownloadBounds{1LL << 20, 1LL << 30};

}  // namespace kvupdater
