// orvane_torrent_seek_bench: seeks in a torrent play, with the real engine and a fresh BT
// server as the product starts them: the Right arrow (+10 s) and a far seek (to 75 %), each
// from the seek to the engine's first picture after it, the gap in the stream it had to cross,
// and whether the engine made a new stream request at the target for it (a seek it serves by
// reading on through the gap on its open connection makes none, and waits for every byte of the
// gap to arrive in order).
//
// The torrent's seeder sends at about three times the video's rate, so the download keeps
// ahead of the play but not of the seeks. Needs a display: run it through
// scripts/with-xvfb.sh. Extra engine options (for a comparison) go in
// ORVANE_APLAYER_MPV_OPTIONS, as the engine reads them.
//
//   orvane_torrent_seek_bench [--runs N]
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app_paths.h"
#include "app_values.h"
#include "bt_server_probe.h"
#include "bt_server_queries.h"
#include "engine_library.h"
#include "fresh_player.h"
#include "init_environment.h"
#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "main_widget_calls.h"
#include "player_view_event_pump.h"
#include "player_window_stand_in.h"
#include "testsupport/figures.h"
#include "testsupport/temp_dir.h"

using testsupport::Median;
using testsupport::Milliseconds;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kVideoSeconds = 120;
constexpr int kVideoKbps = 2000;
constexpr int kSeederPercent = 110;  // of the video's rate
constexpr int kVirtualKeyRight = 0x27;

bool MakeVideo(const std::string& path) {
    const QString rate = QString::number(kVideoKbps) + "k";
    return QProcess::execute("ffmpeg", {"-nostdin",
                                        "-loglevel",
                                        "error",
                                        "-y",
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "testsrc2=size=1280x720:rate=25",
                                        "-t",
                                        QString::number(kVideoSeconds),
                                        "-c:v",
                                        "libx264",
                                        "-preset",
                                        "veryfast",
                                        "-b:v",
                                        rate,
                                        "-maxrate",
                                        rate,
                                        "-bufsize",
                                        rate,
                                        "-g",
                                        "25",
                                        "-pix_fmt",
                                        "yuv420p",
                                        "-movflags",
                                        "+faststart",
                                        QString::fromStdString(path)}) == 0;
}

struct Seek {
    double ms = -1;
    qint64 gap = -1;          // bytes between the stream's position and the seek's target
    bool newRequest = false;  // the engine asked again at the target instead of reading on
};

// One seek in `view`: `start` starts it; the figure ends at the engine's first picture after it.
double TimeSeek(CountingView& view, const std::function<void()>& start) {
    const int seeks = view.seeks;
    const auto begun = Clock::now();
    start();
    return PumpUntil([&] { return view.seeks > seeks; }, 120s) ? Milliseconds(Clock::now() - begun)
                                                               : -1;
}

// What the engine did at the stream for each seek, in order, from its log (complete once the
// engine is gone): the gap its stream-level seek had to cross, and whether it opened a new
// connection for it before the picture came.
std::vector<Seek> StreamSeeks(const QString& log) {
    QFile file(log);
    std::vector<Seek> seeks;
    if (!file.open(QIODevice::ReadOnly)) return seeks;
    static const QRegularExpression gap(QStringLiteral("stream level seek from (\\d+) to (\\d+)"));
    bool inSeek = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.contains(QLatin1String("Run command: seek"))) {
            seeks.emplace_back();
            inSeek = true;
        } else if (inSeek && line.contains(QLatin1String("playback restart complete"))) {
            inSeek = false;
        } else if (inSeek) {
            const QRegularExpressionMatch match = gap.match(line);
            if (match.hasMatch())
                seeks.back().gap = match.captured(2).toLongLong() - match.captured(1).toLongLong();
            if (line.contains(QLatin1String("tcp: Starting connection attempt")))
                seeks.back().newRequest = true;
        }
    }
    return seeks;
}

struct RunFigures {
    Seek right, far;
};

RunFigures RunOnce(const std::string& torrent) {
    FreshPlayer fresh;
    std::vector<std::unique_ptr<testsupport::ScopedEnv>> environment;
    for (const QString& name : fresh.Environment().keys())
        environment.push_back(std::make_unique<testsupport::ScopedEnv>(
            name.toStdString(), fresh.Environment().value(name).toStdString()));
    const QString log = fresh.Environment().value("TMPDIR") + "/engine.log";
    const std::string options = qEnvironmentVariable("ORVANE_APLAYER_MPV_OPTIONS").toStdString();
    testsupport::ScopedEnv engineLog("ORVANE_APLAYER_MPV_OPTIONS",
                                     options + " log-file=" + log.toStdString());
    // As a player does before it starts the BT server: a segment that a killed server left
    // behind under the same key is let go of, or the new server would take it for another one.
    IsBtServerRunning();
    QProcess server;
    // The BT server's output goes to this run's own temporary folder, which goes with it.
    const QString serverOutput = fresh.Environment().value("TMPDIR") + "/bt-server";
    server.setStandardOutputFile(serverOutput + ".out");
    server.setStandardErrorFile(serverOutput + ".err");
    server.start(QString::fromStdString(fresh.Bin() + "/orvane"), {"-startbt"});
    RunFigures figures;
    // The player's install folder is the fresh one, whose BT server keeps its cache apart.
    SetAppDirectoryForTesting(QString::fromStdString(fresh.Bin()));
    // The player's start-up: its file server, which publishes the torrent, and the stream URL.
    InitEnvironment();
    if (!PumpUntil(
            [] {
                QueryBtUrl();
                return !AppValue("bturl").toString().isEmpty();
            },
            30s)) {
        std::fprintf(stderr, "the BT server did not answer (state %d, exit code %d: %s)\n%s",
                     server.state(), server.exitCode(), qPrintable(server.errorString()),
                     testsupport::ReadFile((serverOutput + ".err").toStdString()).c_str());
        return figures;
    }
    SetEngineFolder(QStringLiteral(ORVANE_BIN_DIR));
    auto window = std::make_unique<PlayerWindowStandIn>();
    SetEngineFolder(QString());
    SetMainWidgetStandInForTesting(window.get());
    window->resize(640, 400);
    window->show();
    CountingView& view = *window->view;
    view.Play({{"type", 8}, {"url", QString::fromStdString(torrent)}});
    if (PumpUntil(
            [&] { return view.Engine().GetState() == 5 && view.Engine().GetPosition() >= 3000; },
            120s)) {
        figures.right.ms = TimeSeek(view, [&] { view.PostHotkey(kVirtualKeyRight); });
        PumpUntil([&] { return view.Engine().GetState() == 5; }, 60s);
        const int target = view.Engine().GetDuration() * 3 / 4;
        figures.far.ms = TimeSeek(view, [&] { view.Engine().SetPosition(target); });
    } else {
        std::fprintf(stderr, "the torrent did not play: state %d, position %d, bturl %s\n",
                     view.Engine().GetState(), view.Engine().GetPosition(),
                     qPrintable(AppValue("bturl").toString()));
    }
    view.Stop(false);
    // With the engine gone, its log is complete.
    window.reset();
    SetMainWidgetStandInForTesting(nullptr);
    RemoveAppValue("bturl");
    SetAppDirectoryForTesting(QString());
    server.kill();
    server.waitForFinished();
    const std::vector<Seek> seeks = StreamSeeks(log);
    if (seeks.size() == 2) {
        figures.right.gap = seeks[0].gap;
        figures.right.newRequest = seeks[0].newRequest;
        figures.far.gap = seeks[1].gap;
        figures.far.newRequest = seeks[1].newRequest;
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = RunsArgument(argc, argv, 3);

    testsupport::TempDir media;
    const std::string video = media.file("video.mp4");
    if (!MakeVideo(video)) {
        std::fprintf(stderr, "cannot make the video\n");
        return 1;
    }
    kvbt_testing::LoopbackSeeder seeder(kSeederPercent * kVideoKbps * 10 / 8);
    kvbt_testing::LoopbackTracker tracker(seeder.Port());
    const std::string torrent = media.file("video.torrent");
    if (!SeedVideo(seeder, tracker, video, torrent, media.path())) return 1;
    std::vector<RunFigures> all;
    for (int run = 0; run < runs; ++run) all.push_back(RunOnce(torrent));
    std::printf(
        "seeks in a torrent play (%d s %d kbit/s video, seeder at %d %% of its rate), "
        "median of %d fresh players; extra engine options \"%s\"\n",
        kVideoSeconds, kVideoKbps, kSeederPercent, runs,
        qPrintable(qEnvironmentVariable("ORVANE_APLAYER_MPV_OPTIONS")));
    const auto print = [&](const char* name, Seek RunFigures::*which) {
        std::vector<double> ms, gaps;
        int asked = 0;
        for (const RunFigures& figures : all) {
            ms.push_back((figures.*which).ms);
            gaps.push_back(static_cast<double>((figures.*which).gap));
            asked += (figures.*which).newRequest ? 1 : 0;
        }
        std::printf("%-30s %7.0f ms   gap %6.2f MB   new request in %d of %d seeks\n", name,
                    Median(ms), Median(gaps) / 1e6, asked, runs);
        std::printf("%30s", "each run:");
        for (const RunFigures& figures : all)
            std::printf("  %.0f ms%s", (figures.*which).ms,
                        (figures.*which).newRequest ? "" : " (read on)");
        std::printf("\n");
    };
    print("Right arrow (+10 s) to picture", &RunFigures::right);
    print("far seek (to 75 %) to picture", &RunFigures::far);
    return 0;
}
