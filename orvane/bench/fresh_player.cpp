#include "fresh_player.h"

#include <QSharedMemory>
#include <filesystem>

#include "desktop_player_process.h"
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
    // temporary folder, and once found and let go of, removed.
    testsupport::ScopedEnv temporary("TMPDIR", Environment().value("TMPDIR").toStdString());
    for (const char* key : {"btserver", "bturl"}) {
        QSharedMemory segment(QString::fromLatin1(key));
        if (segment.attach(QSharedMemory::ReadOnly)) segment.detach();
    }
}
