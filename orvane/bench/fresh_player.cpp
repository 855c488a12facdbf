#include "fresh_player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "desktop_player_process.h"
#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "platform/shared_memory.h"
#include "testsupport/temp_dir.h"

namespace fs = std::filesystem;

FreshPlayer::FreshPlayer() : temp_(std::make_unique<testsupport::TempDir>()) {
    bin_ = temp_->file("bin");
    fs::create_directories(bin_);
    for (const char* file :
         {"orvane", "liborvane_ax.so", "libFerrule.so", "libKvBT.so", "libAPlayer.so"})
        fs::copy_file(fs::path(ORVANE_BIN_DIR) / file, fs::path(bin_) / file);
    for (const char* folder :
         {"XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const std::string path = temp_->file(folder);
        fs::create_directories(path);
        fs::permissions(path, fs::perms::owner_all);
        environment_.insert(folder, QString::fromStdString(path));
    }
    // Not the port a player of the user may hold.
    environment_.insert("ORVANE_HAND_OFF_PORT", QString::number(FreeUdpPort()));
}

FreshPlayer::~FreshPlayer() {
    for (const pid_t pid : BtServersOf(bin_)) KillAndWait(pid);
    // A killed BT server leaves its segments; they are found through key files in its
    // runtime folder, and once found and let go of, removed.
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR",
                                   Environment().value("XDG_RUNTIME_DIR").toStdString());
    for (const char* key : {"btserver", "bturl"}) {
        platform::UserSegment segment(QString::fromLatin1(key));
        if (platform::AttachSegment(segment, QSharedMemory::ReadOnly)) segment.detach();
    }
}

int RunsArgument(int argc, char** argv, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

bool SeedVideo(kvbt_testing::LoopbackSeeder& seeder, const kvbt_testing::LoopbackTracker& tracker,
               const std::string& video, const std::string& torrent, const std::string& folder) {
    if (kvbt_testing::MakeTorrent(video, 262144, torrent, false, tracker.AnnounceUrl()) &&
        seeder.Seed(torrent, folder))
        return true;
    std::fprintf(stderr, "cannot seed the video\n");
    return false;
}
