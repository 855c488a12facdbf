// The name of the player's desktop entry in $XDG_DATA_HOME/applications, through which the
// desktop opens files with the player. The player owns only an entry it wrote, which carries
// its mark: a file of the user's under the player's name is never changed or removed, and the
// player takes a free name of its own instead.
#pragma once

#include <QString>
#include <QStringList>

// The folder of the desktop entries.
QString DesktopEntryFolder();

// The name of the player's entry: the first of "orvane.desktop", "orvane-2.desktop" …
// "orvane-99.desktop" that is the player's, else the first that is free (said on the debug
// output when it is not "orvane.desktop"). Empty when someone else has every one of them.
QString PlayersDesktopEntryName();

// The paths of those names that hold an entry of the player's.
QStringList PlayersDesktopEntries();
