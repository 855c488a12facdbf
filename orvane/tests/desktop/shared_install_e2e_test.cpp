// One install shared by the users of a machine, as a system-wide install is: a copy of the
// build's install folder made read-only, and the desktop program started by users with empty
// folders of their own. Where the tests run as root those are unprivileged users with ids of
// their own; elsewhere the first is the user running the tests and the test of two users at
// once is skipped. Each user's settings, history and streams stay in that user's folders, and
// two users stream at the same time, each through a BT server of their own.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "desktop_player_process.h"
#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "platform/ini_file.h"
#include "testsupport/media.h"
#include "testsupport/other_user.h"
#include "testsupport/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const QString kFirstFrame = QStringLiteral("first frame:");
// A status line after the picture has changed at least once.
const QString kMoving = QStringLiteral(", ([2-9]|\\d{2,}) pictures");
const QString kBtUrl = QStringLiteral("bturl (http://127\\.0\\.0\\.1:\\d+/)$");

void ForEachBelow(const std::string& folder, const std::function<void(const fs::path&)>& act) {
    act(folder);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) act(entry.path());
}

// A user of the machine with empty folders of its own, and how to start a program as that user.
struct MachineUser {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string home;
    QStringList launcher;  // empty: the user running the tests
    QProcessEnvironment environment;

    std::string Data(const std::string& name) const { return home + "/data/orvane/" + name; }
    std::string Config(const std::string& name) const { return home + "/config/orvane/" + name; }
    std::string Cache(const std::string& name) const { return home + "/cache/orvane/" + name; }
    std::string Runtime() const { return home + "/runtime/orvane"; }
};

class SharedInstallE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        // Other users pass through the test's folder to the install, the media and their homes.
        fs::permissions(temp_.path(), fs::perms(0755));
        fs::copy(ORVANE_DIST_DIR, temp_.file("install"),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        // Read-only as a system-wide install is (for its owner too, where that is the user).
        ForEachBelow(temp_.file("install"), [](const fs::path& path) {
            if (!fs::is_symlink(path))
                fs::permissions(
                    path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
        });
        bin_ = temp_.file("install/bin");
        installBefore_ = testsupport::FolderFingerprint(temp_.file("install"));
        fs::create_directories(temp_.file("media"));
        fs::permissions(temp_.file("media"), fs::perms(0755));
        fs::create_directories(temp_.file("tmp"));
        fs::permissions(temp_.file("tmp"), fs::perms(01777));
    }

    void TearDown() override {
        // The BT servers outlive their players; their segments, left by the kill, go with them.
        for (const pid_t pid : BtServersOf(bin_)) EXPECT_TRUE(KillAndWait(pid));
        for (const MachineUser& user : users_) RemoveSegmentsOf(user);
        EXPECT_EQ(testsupport::FolderFingerprint(temp_.file("install")), installBefore_)
            << "the install changed";
        // The test's folder can go again.
        ForEachBelow(temp_.file("install"), [](const fs::path& path) {
            if (!fs::is_symlink(path))
                fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        });
    }

    // The next user: as root an unprivileged one with an id of its own (`otherId`), else the
    // user running the tests; with a home and empty XDG folders owned by it.
    const MachineUser& AddUser(const std::string& name, uid_t otherId) {
        MachineUser user;
        const bool asOther = testsupport::CanActAsOtherUsers();
        user.uid = asOther ? otherId : ::geteuid();
        user.gid = asOther ? otherId : ::getegid();
        user.home = temp_.file(name);
        for (const char* folder : {"data", "config", "cache", "state", "runtime"})
            fs::create_directories(user.home + "/" + folder);
        ForEachBelow(user.home, [&](const fs::path& path) {
            fs::permissions(path, fs::perms::owner_all);
            EXPECT_EQ(::chown(path.c_str(), user.uid, user.gid), 0);
        });
        if (asOther) {
            const QString id = QString::number(user.uid);
            user.launcher =
                QStringList{"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"};
        }
        const QString home = QString::fromStdString(user.home);
        const std::pair<const char*, QString> variables[] = {
            {"HOME", home},
            {"XDG_DATA_HOME", home + "/data"},
            {"XDG_CONFIG_HOME", home + "/config"},
            {"XDG_CACHE_HOME", home + "/cache"},
            {"XDG_STATE_HOME", home + "/state"},
            {"XDG_RUNTIME_DIR", home + "/runtime"},
            // One temporary folder for all, as /tmp is: nothing that users must not share
            // may meet there.
            {"TMPDIR", QString::fromStdString(temp_.file("tmp"))},
            {"ORVANE_PLAY_REPORT", home + "/shot.png"},
            // The test decides when a player ends.
            {"ORVANE_PLAY_REPORT_SECONDS", "3600"},
            // Not the port a player of the machine may hold.
            {"ORVANE_HAND_OFF_PORT", QString::number(FreeUdpPort())},
        };
        for (const auto& [variable, value] : variables) user.environment.insert(variable, value);
        users_.push_back(user);
        return users_.back();
    }

    std::unique_ptr<DesktopPlayerProcess> Start(const MachineUser& user, const QString& what) {
        return std::make_unique<DesktopPlayerProcess>(bin_, QStringList{what}, user.environment,
                                                      QString(), user.launcher);
    }

    // The user-state probe as `user`: its output lines, or "<failed>" and its errors.
    QStringList Probe(const MachineUser& user, const QStringList& step) {
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(user.environment);
        probe.setProcessEnvironment(environment);
        QStringList command = user.launcher;
        command << ORVANE_USER_STATE_PROBE << QString::fromStdString(bin_) << step;
        probe.start(command.takeFirst(), command);
        if (!probe.waitForFinished(120000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            return {"<failed>", QString::fromLocal8Bit(probe.readAllStandardError())};
        return QString::fromLocal8Bit(probe.readAllStandardOutput())
            .split('\n', Qt::SkipEmptyParts);
    }

    QString Video(const std::string& name, double seconds) {
        const std::string path = temp_.file("media/" + name);
        EXPECT_TRUE(testsupport::MakeTestVideo(path, seconds, 160, 120));
        return QString::fromStdString(path);
    }

    // A torrent of a new video, seeded on loopback and announced at the tracker.
    QString SeededTorrent(const std::string& name) {
        const std::string video = Video(name + ".mp4", 8).toStdString();
        const std::string torrent = temp_.file("media/" + name + ".torrent");
        EXPECT_TRUE(
            kvbt_testing::MakeTorrent(video, 16384, torrent, false, tracker_.AnnounceUrl()));
        EXPECT_TRUE(seeder_.Seed(torrent, temp_.file("media")));
        return QString::fromStdString(torrent);
    }

    // A folder of `user`'s own for the media that streams download.
    static std::string MediaFolderOf(const MachineUser& user) {
        const std::string folder = user.home + "/films";
        fs::create_directories(folder);
        EXPECT_EQ(::chown(folder.c_str(), user.uid, user.gid), 0);
        return folder;
    }

    // Segments of a killed BT server of `user`, found through its key files.
    static void RemoveSegmentsOf(const MachineUser& user) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(user.Runtime(), error)) {
            if (entry.path().extension() != ".segment") continue;
            const int id = ::shmget(::ftok(entry.path().c_str(), 'Q'), 0, 0);
            shmid_ds segment{};
            if (id != -1 && ::shmctl(id, IPC_STAT, &segment) == 0 &&
                segment.shm_perm.uid == user.uid && segment.shm_nattch == 0)
                ::shmctl(id, IPC_RMID, nullptr);
        }
    }

    testsupport::TempDir temp_;
    std::string bin_;
    std::map<std::string, std::string> installBefore_;
    std::deque<MachineUser> users_;  // handed out by reference
    // Slow enough that the downloads go on while the videos play.
    kvbt_testing::LoopbackSeeder seeder_{24 * 1024, 0, kvbt_testing::SeederTransport::TcpAndUtp};
    kvbt_testing::LoopbackTracker tracker_{seeder_.Port()};
};

// The player shows its first picture and then moving ones.
#define ASSERT_PLAYS(player)                                         \
    for (const QString& step : {kFirstFrame, kMoving}) {             \
        ASSERT_TRUE((player).WaitForLine(step))                      \
            << "no line matching " << step.toStdString() << " in:\n" \
            << (player).Output().toStdString() << "\nerrors:\n"      \
            << (player).ErrorTail().toStdString();                   \
    }

void CloseAndExpectEnd(DesktopPlayerProcess& player) {
    ASSERT_TRUE(AskToCloseWindowOf(player.Pid()));
    EXPECT_EQ(player.WaitForExit(), 0) << player.ErrorTail().toStdString();
    EXPECT_FALSE(player.ErrorTail().contains("readonly database"))
        << player.ErrorTail().toStdString();
}

uid_t OwnerOf(pid_t pid) {
    struct stat st {};
    return ::stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0 ? st.st_uid : uid_t(-1);
}

TEST_F(SharedInstallE2ETest, AUserOfAReadOnlyInstallPlaysAndKeepsSettingsAndHistoryInTheirFolders) {
    const MachineUser& user = AddUser("first", testsupport::kOtherUserId);
    // A setting stored in one run (the settings dialog's) is read in the next (the player's
    // BT server downloads into that folder).
    const std::string media = MediaFolderOf(user);
    ASSERT_EQ(Probe(user, {"cache-folder", QString::fromStdString(media)}), QStringList());
    const QString clip = Video("clip.mp4", 8);
    auto first = Start(user, clip);
    ASSERT_PLAYS(*first);
    CloseAndExpectEnd(*first);

    // The second run's history holds the first run's play.
    const QString torrent = SeededTorrent("stream");
    auto second = Start(user, torrent);
    ASSERT_PLAYS(*second);
    CloseAndExpectEnd(*second);
    EXPECT_EQ(Probe(user, {"history"}), (QStringList{torrent, clip}));
    EXPECT_TRUE(fs::exists(media + "/stream.mp4"));
    EXPECT_TRUE(fs::exists(user.Data("12b6af440cf94231be23542fea7a3599.db")));
    EXPECT_FALSE(QDir(QString::fromStdString(user.Cache("MediaData")))
                     .entryList({"*.torrent"}, QDir::Files)
                     .isEmpty());
}

TEST_F(SharedInstallE2ETest, TwoUsersStreamAtOnceEachThroughTheirOwnBtServerAndSeeOnlyTheirOwn) {
    if (!testsupport::CanActAsOtherUsers()) GTEST_SKIP() << "needs root to run a second user";
    const MachineUser& first = AddUser("first", testsupport::kOtherUserId);
    const MachineUser& second = AddUser("second", testsupport::kSecondOtherUserId);
    const std::string firstMedia = MediaFolderOf(first);
    ASSERT_EQ(Probe(first, {"cache-folder", QString::fromStdString(firstMedia)}), QStringList());
    const QString firstTorrent = SeededTorrent("first");
    const QString secondTorrent = SeededTorrent("second");

    auto firstPlayer = Start(first, firstTorrent);
    auto secondPlayer = Start(second, secondTorrent);
    std::set<QString> streamUrls;
    for (DesktopPlayerProcess* player : {firstPlayer.get(), secondPlayer.get()}) {
        const auto btUrl = player->WaitForLine(kBtUrl);
        ASSERT_TRUE(btUrl) << player->Output().toStdString();
        streamUrls.insert(btUrl->captured(1));
    }
    for (DesktopPlayerProcess* player : {firstPlayer.get(), secondPlayer.get()})
        ASSERT_PLAYS(*player);
    // Both play at once, each streamed by a BT server of that user's.
    EXPECT_EQ(streamUrls.size(), 2u);
    std::set<uid_t> serverOwners;
    for (const pid_t pid : BtServersOf(bin_)) serverOwners.insert(OwnerOf(pid));
    EXPECT_EQ(serverOwners, (std::set<uid_t>{first.uid, second.uid}));
    CloseAndExpectEnd(*firstPlayer);
    CloseAndExpectEnd(*secondPlayer);

    // Neither sees the other's history or settings.
    EXPECT_EQ(Probe(first, {"history"}), QStringList{firstTorrent});
    EXPECT_EQ(Probe(second, {"history"}), QStringList{secondTorrent});
    EXPECT_TRUE(fs::exists(firstMedia + "/first.mp4"));
    EXPECT_FALSE(fs::exists(firstMedia + "/second.mp4"));
    const std::string secondMedia =
        platform::IniReadString(second.Config("path.ini"), "AppSetting", "savePath");
    EXPECT_TRUE(fs::exists(secondMedia + "/second.mp4")) << secondMedia;
}

}  // namespace
