// orvane: the desktop program. Started with "-startbt" it is the BT server process of the
// player control and does nothing else; started with "-setfilelinks" it makes the stored
// file-type associations take effect and ends (1, with the reason on stderr, when they could
// not be written); otherwise it is the player in a window of its
// own, playing what its argument names.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "bt_server_main.h"
#include "desktop_player.h"
#include "stored_file_links.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-startbt") == 0) {
        // The BT server has no window, so it runs without a display. It outlives the player that
        // started it and keeps that player's output, which may be a pipe whose reader is gone
        // by now: a line printed there must not end the server.
        std::signal(SIGPIPE, SIG_IGN);
        QCoreApplication app(argc, argv);
        BtServerMain();
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "-setfilelinks") == 0) {
        QCoreApplication app(argc, argv);
        const QString error = ApplyStoredFileLinks();
        if (error.isEmpty()) return 0;
        std::fprintf(stderr, "orvane -setfilelinks: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return RunDesktopPlayer(argc, argv);
}
