// The desktop program as a user starts it: `orvane <what>` under a display, with the real
// playback engine, the real BT server (started by the player itself) and the streaming
// service, everything as shipped but the user's folders, which are the test's own. What the
// player shows is read from its play report and, for the picture, from the display itself.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "bt_server_test_support.h"
#include "desktop_player_process.h"
#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "testsupport/hostile_files.h"
#include "testsupport/media.h"
#include "window_manager_view.h"

namespace {

using namespace std::chrono_literals;

const QString kFirstFrame = QStringLiteral("first frame:");
// A status line after the picture has changed at least once.
const QString kMoving = QStringLiteral(", ([2-9]|\\d{2,}) pictures");
const QString kPosition = QStringLiteral("position (\\d+):(\\d\\d):(\\d\\d) / ");
const QString kBtUrl = QStringLiteral("bturl http://127\\.0\\.0\\.1:(\\d+)/$");
// The task's figures while the download goes on: the percentage the loading overlay showed
// and the speed in the control bar.
const QString kTaskShown = QStringLiteral("task: loading (\\d+)%, .*speed (\\d+)kb/s");

QString RequestLine(int type, const QString& url) {
    return QStringLiteral("play request: type %1, %2$")
        .arg(type)
        .arg(QRegularExpression::escape(url));
}

class DesktopProgramE2ETest : public PipeTestEnvironment {
protected:
    void SetUp() override {
        bin_ = MakeInstallFolder("bin", ORVANE_REAL_FERRULE,
                                 {ORVANE_KVBT_LIBRARY, ORVANE_APLAYER_LIBRARY});
        QDir().mkpath(QString::fromStdString(temp.file("media")));
        // As the program sees it from inside the folder.
        media_ = QFileInfo(QString::fromStdString(temp.file("media"))).canonicalFilePath();
        // A user of its own: settings, registry and the stream cache start empty. The hand-off
        // port is the test's own, since players of other tests may run beside it.
        for (const char* folder : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment_.insert(folder, QString::fromStdString(temp.file(folder)));
        environment_.insert("ORVANE_PLAY_REPORT", QString::fromStdString(temp.file("shot.png")));
        // The test decides when a player ends.
        environment_.insert("ORVANE_PLAY_REPORT_SECONDS", "3600");
        environment_.insert("ORVANE_HAND_OFF_PORT", QString::number(FreeUdpPort()));
    }
    void TearDown() override {
        // The BT server outlives the players that started it.
        for (const pid_t pid : BtServersOf(bin_)) EXPECT_TRUE(KillAndWait(pid));
        ReleaseStaleSegments();
    }

    std::unique_ptr<DesktopPlayerProcess> Start(const QString& argument,
                                                const QString& folder = QString()) {
        return std::make_unique<DesktopPlayerProcess>(bin_, QStringList{argument}, environment_,
                                                      folder);
    }
    QString Video(const QString& name, double seconds, int width = 320, int height = 240) {
        const QString path = media_ + '/' + name;
        EXPECT_TRUE(testsupport::MakeTestVideo(path.toStdString(), seconds, width, height));
        return path;
    }
    // A torrent of a new video, seeded by `seeder` and naming `tracker`.
    QString SeededTorrent(const QString& name, kvbt_testing::LoopbackSeeder& seeder,
                          const kvbt_testing::LoopbackTracker& tracker, double seconds = 6) {
        const QString video = Video(name + ".mp4", seconds, 160, 120);
        const QString torrent = media_ + '/' + name + ".torrent";
        EXPECT_TRUE(kvbt_testing::MakeTorrent(video.toStdString(), 16384, torrent.toStdString(),
                                              false, tracker.AnnounceUrl()));
        EXPECT_TRUE(seeder.Seed(torrent.toStdString(), media_.toStdString()));
        return torrent;
    }
    // Runs the user-state probe's `step` for this test's user; true when it did it.
    bool ProbeStep(const QString& step) {
        QProcess probe;
        QProcessEnvironment full = QProcessEnvironment::systemEnvironment();
        full.insert(environment_);
        probe.setProcessEnvironment(full);
        probe.start(ORVANE_USER_STATE_PROBE, {QString::fromStdString(bin_), step});
        return probe.waitForFinished(120000) && probe.exitStatus() == QProcess::NormalExit &&
               probe.exitCode() == 0;
    }
    // Closes the player's window as a window manager does; the program ends with it, saying
    // that it showed moving pictures.
    void CloseAndExpectEnd(DesktopPlayerProcess& player) {
        ASSERT_TRUE(AskToCloseWindowOf(player.Pid()));
        EXPECT_EQ(player.WaitForExit(), 0) << player.Output().toStdString() << "\nerrors:\n"
                                           << player.ErrorTail().toStdString();
    }

    std::string bin_;
    QString media_;
    QProcessEnvironment environment_;
};

#define ASSERT_LINE(player, pattern)                                         \
    ASSERT_TRUE((player).WaitForLine(pattern))                               \
        << "no line matching " << QString(pattern).toStdString() << " in:\n" \
        << (player).Output().toStdString() << "\nerrors:\n"                  \
        << (player).ErrorTail().toStdString()

TEST_F(DesktopProgramE2ETest, AFilePlaysItsMovingPictureWithTheTimeAdvancingAndEndsOnTheMainPage) {
    // Long enough that the once-a-second position shows it advancing on a loaded machine.
    const QString clip = Video("clip.mp4", 8);
    auto player = Start(clip);
    ASSERT_LINE(*player, RequestLine(6, clip));
    ASSERT_LINE(*player, kFirstFrame);
    EXPECT_TRUE(ShowsColourfulPicture(GrabDisplay()));
    // The bar's time, once a second, until the end of the video brings back the main page.
    int first = -1, last = -1;
    while (auto position = player->WaitForLine(kPosition + "|back on the main page", 60s)) {
        if (position->captured(1).isEmpty()) break;
        last = position->captured(1).toInt() * 3600 + position->captured(2).toInt() * 60 +
               position->captured(3).toInt();
        if (first < 0) first = last;
        ASSERT_GE(last, first);
    }
    EXPECT_GE(last - first, 2) << player->Output().toStdString();
    CloseAndExpectEnd(*player);
}

TEST_F(DesktopProgramE2ETest, WithStayOnTopStoredAFilePlaysItsMovingPictureInAWindowKeptAbove) {
    // Ticked in the settings dialog of an earlier player.
    ASSERT_TRUE(ProbeStep("stay-on-top"));
    const QString clip = Video("clip.mp4", 8);
    auto player = Start(clip);
    ASSERT_LINE(*player, RequestLine(6, clip));
    ASSERT_LINE(*player, kFirstFrame);
    ASSERT_LINE(*player, kMoving);
    EXPECT_TRUE(wm_testing::CarriesStateAbove(LargestWindowOf(player->Pid())));
    CloseAndExpectEnd(*player);
}

TEST_F(DesktopProgramE2ETest, AFileGivenWhileAPlayerRunsPlaysInThatPlayerAndBadInputLosesNothing) {
    const QString running = Video("running.mp4", 60);
    const QString other = Video("other.mp4", 4);
    testsupport::WriteFile(temp.file("media/broken.torrent"), "d4:infod4:name");
    auto first = Start(running);
    ASSERT_LINE(*first, kFirstFrame);

    struct Bad {
        QString argument;
        QString reason;
    };
    std::vector<Bad> bad = {{media_ + "/missing.mp4", "missing.mp4: no such file"},
                            {media_ + "/broken.torrent", "not a torrent file"},
                            {media_, "is a folder"}};
    // Neither read nor waited on: the program ends at once, before any window.
    for (const auto& hostile : testsupport::MakeHostileFiles(temp.file("media")))
        bad.push_back({QString::fromStdString(hostile.path), "not a regular file"});
    for (const auto& input : bad) {
        SCOPED_TRACE(input.argument.toStdString());
        const auto started = std::chrono::steady_clock::now();
        auto refused = Start(input.argument);
        EXPECT_EQ(refused->WaitForExit(20s), 1);
        std::printf(
            "%s refused after %.2f s\n", qPrintable(input.argument),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        EXPECT_TRUE(refused->ErrorTail().contains(input.reason))
            << refused->ErrorTail().toStdString();
    }

    // Named relative to the folder it is started in, as from a shell.
    auto second = Start("other.mp4", media_);
    EXPECT_EQ(second->WaitForExit(), 0) << second->ErrorTail().toStdString();
    EXPECT_TRUE(second->Output().contains("goes to the player that runs already"));
    ASSERT_LINE(*first, RequestLine(6, other));
    ASSERT_LINE(*first, kFirstFrame);
    ASSERT_LINE(*first, kMoving);
    // Nothing of the bad input reached the running player.
    EXPECT_EQ(first->Output().count(QStringLiteral("play request:")), 2);
    CloseAndExpectEnd(*first);

    // The BT server the first player started runs on, but no player does: a file plays in a
    // window of its own again.
    ASSERT_EQ(BtServersOf(bin_).size(), 1u);
    auto third = Start(other);
    ASSERT_LINE(*third, RequestLine(6, other));
    ASSERT_LINE(*third, kFirstFrame);
    ASSERT_LINE(*third, kMoving);
    CloseAndExpectEnd(*third);
}

TEST_F(DesktopProgramE2ETest, AnAddressThatServesNothingEndsThePlayOnTheMainPageWithoutAPicture) {
    // A port that refuses: nothing listens on it once the probe has let it go.
    quint16 refusing = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        refusing = probe.serverPort();
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/none.mp4").arg(refusing);
    auto player = Start(url);
    ASSERT_LINE(*player, RequestLine(2, url));
    ASSERT_LINE(*player, QStringLiteral("back on the main page without a picture"));
    EXPECT_EQ(player->WaitForExit(), 1) << player->Output().toStdString();
    EXPECT_FALSE(player->Output().contains(kFirstFrame));
}

TEST_F(DesktopProgramE2ETest, ATorrentAndAMagnetPlayThroughTheBtServerThePlayerStarted) {
    // Slow enough that the download goes on while the video plays.
    kvbt_testing::LoopbackSeeder seeder(12 * 1024, 0, kvbt_testing::SeederTransport::TcpAndUtp);
    kvbt_testing::LoopbackTracker tracker(seeder.Port());
    const QString torrent = SeededTorrent("first", seeder, tracker);
    const QString magnet = QString::fromStdString(
        kvbt_testing::MagnetOf(SeededTorrent("second", seeder, tracker).toStdString()));
    ASSERT_TRUE(magnet.startsWith("magnet:?"));

    std::vector<pid_t> servers;
    const struct {
        int type;
        QString argument;
    } plays[] = {{8, torrent}, {9, magnet}};
    for (const auto& play : plays) {
        SCOPED_TRACE(play.argument.toStdString());
        auto player = Start(play.argument);
        ASSERT_LINE(*player, RequestLine(play.type, play.argument));
        ASSERT_LINE(*player, kFirstFrame);
        ASSERT_LINE(*player, kMoving);
        // The task's figures, once a second while the video opened and played. One second's
        // speed can be 0: at 12 KiB a second a 16 KiB block does not come every second.
        int percent = 0, fastest = 0;
        const QRegularExpression taskShown(kTaskShown);
        for (const QString& line : player->Output().split('\n')) {
            const QRegularExpressionMatch task = taskShown.match(line);
            if (!task.hasMatch()) continue;
            percent = std::max(percent, task.captured(1).toInt());
            fastest = std::max(fastest, task.captured(2).toInt());
        }
        EXPECT_GE(percent, 3) << player->Output().toStdString();
        EXPECT_GT(fastest, 0) << player->Output().toStdString();
        EXPECT_LT(fastest, 100) << player->Output().toStdString();  // the seeder's pace
        EXPECT_TRUE(ShowsColourfulPicture(GrabDisplay()));
        CloseAndExpectEnd(*player);
        const std::vector<pid_t> now = BtServersOf(bin_);
        ASSERT_EQ(now.size(), 1u);
        servers.push_back(now.front());
    }
    // The second player found the BT server the first one started.
    EXPECT_EQ(servers[0], servers[1]);
}

TEST_F(DesktopProgramE2ETest, AKilledBtServerIsStartedAgainItsUrlFollowsAndTheNextTorrentPlays) {
    kvbt_testing::LoopbackSeeder seeder;
    kvbt_testing::LoopbackTracker tracker(seeder.Port());
    // Long enough to be playing still when the server's URL has followed.
    const QString before = SeededTorrent("before", seeder, tracker, 60);
    const QString after = SeededTorrent("after", seeder, tracker);

    auto player = Start(before);
    const auto firstUrl = player->WaitForLine(kBtUrl);
    ASSERT_TRUE(firstUrl) << player->Output().toStdString();
    ASSERT_LINE(*player, kFirstFrame);
    const std::vector<pid_t> killed = BtServersOf(bin_);
    ASSERT_EQ(killed.size(), 1u);
    ASSERT_TRUE(KillAndWait(killed.front()));
    const auto killedAt = std::chrono::steady_clock::now();
    // The old port stays taken, so the new server's URL differs and following it shows. It
    // may still be held by the killed server's side of a connection whose data the player has
    // not read yet (the new server cannot have it then either); it is taken once that goes.
    QTcpServer oldPort;
    const quint16 port = firstUrl->captured(1).toUShort();
    std::optional<QRegularExpressionMatch> newUrl;
    const auto limit = killedAt + 60s;  // the keep-alive runs every 5 s
    while (!newUrl && std::chrono::steady_clock::now() < limit) {
        if (!oldPort.isListening()) oldPort.listen(QHostAddress::LocalHost, port);
        newUrl = player->WaitForLine(kBtUrl, 10ms);
    }
    ASSERT_TRUE(newUrl) << player->Output().toStdString();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - killedAt).count();
    std::printf("the player followed the restarted BT server's URL %.1f s after the kill\n",
                seconds);
    EXPECT_NE(newUrl->captured(1), firstUrl->captured(1));
    const std::vector<pid_t> restarted = BtServersOf(bin_);
    ASSERT_EQ(restarted.size(), 1u);
    EXPECT_NE(restarted.front(), killed.front());

    auto next = Start(after);
    ASSERT_LINE(*next, RequestLine(8, after));
    ASSERT_LINE(*next, kFirstFrame);
    ASSERT_LINE(*next, kMoving);
    CloseAndExpectEnd(*next);
    CloseAndExpectEnd(*player);
}

}  // namespace
