// Files the player keeps in folders it shares with the user: its desktop entry (through which
// the desktop opens files with it), its autostart entry and its MIME package. The player owns
// only a file it wrote, which carries its mark: a file of the user's under the player's name
// is never changed or removed, and the player takes a free name of its own instead.
#pragma once

#include <QString>
#include <QStringList>

// One such folder and how the player's files there are named and marked.
struct PlayersFilePlace {
    QString folder;
    QString suffix;  // of "orvane<suffix>", "orvane-2<suffix>" …
    // Whether the regular file at the path carries the player's mark.
    bool (*carriesMark)(const QString& path);
};

// $XDG_DATA_HOME/applications: the desktop entry.
PlayersFilePlace ApplicationsPlace();
// $XDG_CONFIG_HOME/autostart: the entry that starts the player with the session.
PlayersFilePlace AutostartPlace();
// $XDG_DATA_HOME/mime/packages: the package of the player's own MIME types.
PlayersFilePlace MimePackagesPlace();

// The name of the player's file there: the first of "orvane<suffix>", "orvane-2<suffix>" …
// "orvane-99<suffix>" that is the player's, else the first that is free (said on the debug
// output when it is not the first). Empty when someone else has every one of them.
QString PlayersFileName(const PlayersFilePlace& place);

// The paths of those names that hold a file of the player's.
QStringList PlayersFiles(const PlayersFilePlace& place);

// Puts the place in line: with `content`, the player's file `name` holds it (written only when
// it differs; an empty name is an error); without, every file of the player's there goes, and
// nothing else. Answers whether a file changed; the reason of a failure goes into `error`.
bool PutPlayersFile(const PlayersFilePlace& place, const QString& name, const QString& content,
                    QString& error);
