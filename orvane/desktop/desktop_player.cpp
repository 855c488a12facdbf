#include "desktop_player.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <optional>

#include "desktop_window.h"
#include "hand_off.h"
#include "orvane_widget.h"
#include "play_report.h"
#include "play_target.h"
#include "player_lock.h"

namespace {

void Complain(const QString& text) {
    std::fprintf(stderr, "orvane: %s\n", text.toLocal8Bit().constData());
}

// True when the file went to the player of this user that runs already.
bool HandedOff(const PlayTarget& target) {
    QString error;
    if (HandOffToPlayer(target.url, DesktopHandOffPort(), error)) {
        std::printf("orvane: %s goes to the player that runs already\n",
                    target.url.toLocal8Bit().constData());
        return true;
    }
    Complain(QStringLiteral("the running player did not take the file (%1); playing it here")
                 .arg(error));
    return false;
}

}  // namespace

int RunDesktopPlayer(int argc, char** argv) {
    QElapsedTimer started;
    started.start();
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr,
                     "usage: orvane [video file | URL | magnet link | torrent file]\n"
                     "       orvane -startbt | -setfilelinks\n");
        return 2;
    }
    std::optional<PlayTarget> target;
    if (argc == 2) {
        QString error;
        target = ReadPlayTarget(QString::fromLocal8Bit(argv[1]), error);
        if (!target) {
            Complain(error);
            return 1;
        }
    }
    // Held for the life of this player, so that later files come here.
    PlayerLock lock;
    const PlayerLock::State state = lock.Take();
    if (state == PlayerLock::State::Unusable)
        Complain(QString::fromStdString(lock.Error()) + ", so no running player is looked for");
    // Only local files are handed over; the running player plays nothing else it is sent.
    if (target && target->type == kPlayLocalFile && state == PlayerLock::State::HeldByOther &&
        HandedOff(*target))
        return 0;

    QApplication app(argc, argv);
    SetHandOffPort(DesktopHandOffPort());
    DesktopWindow window;
    std::unique_ptr<PlayReport> report;
    if (const auto options = PlayReportOptions::FromEnvironment())
        report = std::make_unique<PlayReport>(window, *options, started);
    window.show();
    if (target) window.Play({{"type", target->type}, {"url", target->url}});
    const int code = app.exec();
    return report ? report->ExitCode() : code;
}
