// orvane_first_frame_bench: the time from starting `orvane <what>` to its first picture on the
// display, for a local file, a loopback HTTP URL (the web-service stand-in, which answers
// ranges) and a torrent from a loopback seeder, as medians over fresh players (a new install
// folder and new user folders each time, so the player also starts its BT server, as on a
// first start). For comparison it also gives the first byte of a new torrent stream from a
// fresh BT server: the torrent figure is close to the local one plus that.
//
// Needs a display: run it through scripts/with-xvfb.sh.
//
//   orvane_first_frame_bench [--runs N]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "desktop_player_process.h"
#include "fresh_player.h"
#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "pipe_client.h"
#include "play_urls.h"
#include "testsupport/figures.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"
#include "webservice_process.h"

using testsupport::Median;
using testsupport::Milliseconds;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A video as published for streaming: its index first, a picture that moves.
bool MakeStreamingVideo(const std::string& path) {
    return QProcess::execute("ffmpeg", {"-nostdin",
                                        "-loglevel",
                                        "error",
                                        "-y",
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "testsrc2=size=640x360:rate=25",
                                        "-f",
                                        "lavfi",
                                        "-i",
                                        "sine=frequency=440",
                                        "-t",
                                        "30",
                                        "-c:v",
                                        "libx264",
                                        "-pix_fmt",
                                        "yuv420p",
                                        "-c:a",
                                        "aac",
                                        "-movflags",
                                        "+faststart",
                                        QString::fromStdString(path)}) == 0;
}

struct FirstFrame {
    double fromStart = -1;    // program start to the picture
    double fromRequest = -1;  // the play request, made once the window is up, to the picture
};

// One fresh player playing `what` until its first picture.
FirstFrame PlayOnce(const QString& what, const QString& screenshot) {
    FreshPlayer fresh;
    QProcessEnvironment environment = fresh.Environment();
    environment.insert("ORVANE_PLAY_REPORT", screenshot);
    environment.insert("ORVANE_PLAY_REPORT_SECONDS", "1");
    const auto started = Clock::now();
    DesktopPlayerProcess player(fresh.Bin(), {what}, environment);
    const auto request = player.WaitForLine("^\\[ *(\\d+) ms\\] play request", 60s);
    const auto frame = player.WaitForLine("^\\[ *(\\d+) ms\\] first frame", 120s);
    FirstFrame figures;
    if (request && frame) {
        figures.fromStart = Milliseconds(Clock::now() - started);
        figures.fromRequest = frame->captured(1).toDouble() - request->captured(1).toDouble();
    } else {
        std::fprintf(stderr, "no first frame for %s:\n%s\n%s\n", qPrintable(what),
                     qPrintable(player.Output()), qPrintable(player.ErrorTail()));
    }
    player.WaitForExit(30s);
    return figures;
}

// Request to first body byte of `target` on 127.0.0.1:`port`, asking from byte 0.
double FirstByte(int port, const std::string& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const auto sent = Clock::now();
    const std::string request = "GET " + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nRange: bytes=0-\r\n\r\n";
    double figure = -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        std::string received;
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            const auto end = received.find("\r\n\r\n");
            if (end != std::string::npos && received.size() > end + 4) {
                figure = Milliseconds(Clock::now() - sent);
                break;
            }
        }
    }
    ::close(fd);
    return figure;
}

// A new stream of `torrentUrl` from a fresh BT server, started as the player starts it.
double StreamFirstByte(const QString& torrentUrl) {
    FreshPlayer fresh;
    QProcess server;
    server.setProcessEnvironment([&] {
        QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
        all.insert(fresh.Environment());
        return all;
    }());
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QString::fromStdString(fresh.Bin() + "/orvane"), {"-startbt"});
    // Its pipe is in the fresh runtime folder.
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR",
                                   fresh.Environment().value("XDG_RUNTIME_DIR").toStdString());
    std::string base;
    testsupport::WaitUntil([&] {
        char* reply = nullptr;
        if (PipeCall(kBtServerPipeName, "bturl::", &reply, 1000) && reply) base = reply;
        PipeFreeReply(reply);
        return !base.empty();
    });
    const int port = QUrl(QString::fromStdString(base)).port();
    const double figure =
        port > 0 ? FirstByte(port, SourceStreamUrl("/", torrentUrl).toStdString()) : -1;
    server.kill();
    server.waitForFinished();
    return figure;
}

void PrintFigure(const char* what, const std::vector<double>& fromStart,
                 const std::vector<double>& fromRequest) {
    std::printf("%-34s %9.0f ms   (request to picture %6.0f ms)\n", what, Median(fromStart),
                Median(fromRequest));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = RunsArgument(argc, argv, 5);

    testsupport::TempDir media;
    const std::string video = media.file("video.mp4");
    if (!MakeStreamingVideo(video)) {
        std::fprintf(stderr, "cannot make the video\n");
        return 1;
    }
    kvbt_testing::LoopbackSeeder seeder;
    kvbt_testing::LoopbackTracker tracker(seeder.Port());
    const std::string torrent = media.file("video.torrent");
    if (!SeedVideo(seeder, tracker, video, torrent, media.path())) return 1;
    webservice_testing::WebServiceProcess web({"--root", media.path()});
    if (!web.Started()) {
        std::fprintf(stderr, "the web service did not start\n");
        return 1;
    }
    const QString screenshot = QString::fromStdString(media.file("shot.png"));
    const struct {
        const char* name;
        QString what;
    } kinds[] = {{"local file", QString::fromStdString(video)},
                 {"loopback HTTP URL", QString::fromStdString(web.Url("video.mp4"))},
                 {"torrent from a loopback seeder", QString::fromStdString(torrent)}};

    std::printf(
        "orvane <what> to the first picture on the display, median of %d fresh players\n"
        "(30 s 640x360 video, %lld bytes)\n",
        runs, static_cast<long long>(QFileInfo(QString::fromStdString(video)).size()));
    for (const auto& kind : kinds) {
        std::vector<double> fromStart, fromRequest;
        for (int run = 0; run < runs; ++run) {
            const FirstFrame figures = PlayOnce(kind.what, screenshot);
            fromStart.push_back(figures.fromStart);
            fromRequest.push_back(figures.fromRequest);
        }
        PrintFigure(kind.name, fromStart, fromRequest);
    }
    std::vector<double> firstBytes;
    for (int run = 0; run < runs; ++run)
        firstBytes.push_back(StreamFirstByte(QString::fromStdString(web.Url("video.torrent"))));
    std::printf("%-34s %9.0f ms\n", "first byte of a new torrent stream", Median(firstBytes));
    return 0;
}
