// orvane: the desktop program. Started with "-startbt" it is the BT server process of the
// player control and does nothing else.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "bt_server_main.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-startbt") == 0) {
        // The BT server has no window, so it runs without a display.
        QCoreApplication app(argc, argv);
        BtServerMain();
        return 0;
    }
    std::fprintf(stderr, "usage: orvane -startbt\n");
    return 2;
}
