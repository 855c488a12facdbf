// What the desktop program's argument asks to play: the video-info type the player's own
// request path gives such an address, and the address as the player gets it. Nothing here
// needs a display, so a bad argument is told before any window opens.
#pragma once

#include <QString>
#include <optional>

// Video-info types of the requests the program makes.
enum PlayType {
    kPlayDirectUrl = 2,
    kPlayLocalFile = 6,
    kPlayTorrentFile = 8,
    kPlayLink = 9,  // magnet: and kvbt: links
};

struct PlayTarget {
    int type = 0;
    QString url;  // local files as absolute paths
};

// Reads the program's argument: a magnet or kvbt link (any case) is a link, any other
// "scheme://" address a direct URL ("file://" ones name local files), and everything else a
// local path, relative to the current folder. A path must name a readable regular file (no
// device, FIFO or folder); one ending in ".torrent" (any case) must hold a torrent that names
// its content. Empty with `error` set (the reason, naming the argument) otherwise.
std::optional<PlayTarget> ReadPlayTarget(const QString& argument, QString& error);
