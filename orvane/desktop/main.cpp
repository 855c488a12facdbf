// orvane: the desktop program. Started with "-startbt" it is the BT server process of the
// player control and does nothing else; started with "-setfilelinks" it makes the stored
// file-type associations take effect and ends.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "bt_server_main.h"
#include "stored_file_links.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-startbt") == 0) {
        // The BT server has no window, so it runs without a display.
        QCoreApplication app(argc, argv);
        BtServerMain();
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "-setfilelinks") == 0) {
        QCoreApplication app(argc, argv);
        return ApplyStoredFileLinks() ? 0 : 1;
    }
    std::fprintf(stderr, "usage: orvane -startbt | -setfilelinks\n");
    return 2;
}
