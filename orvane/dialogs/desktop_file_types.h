// Makes the desktop open files with the player as the registry's associations say. The
// registry is where the associations are kept; file managers ask the desktop's own
// mechanism: a desktop entry for the player, the shared MIME database (which names the type
// of a file) and mimeapps.list (which names the program for a type). No widgets: the
// settings dialog and the "-setfilelinks" run of the desktop program both call this.
#pragma once

#include <QString>
#include <QStringList>

// The type through which the desktop opens files ending in ".<ext>": the system's video
// type where it has one, else the player's own "video/x-orvane-<ext>", which the player's
// MIME package defines while the extension is associated.
QString DesktopMimeType(const QString& ext);

// The desktop entry of the desktop program: $XDG_DATA_HOME/applications/orvane.desktop.
QString DesktopEntryPath();
// The player's MIME package: $XDG_DATA_HOME/mime/packages/orvane.xml.
QString MimePackagePath();
// The user's defaults: $XDG_CONFIG_HOME/mimeapps.list.
QString MimeAppsListPath();

// Projects the current user's registered extensions onto the desktop: the desktop entry runs
// the desktop program with the file and lists their types; the MIME package gives the
// extensions that need one their own type (the database is refreshed with
// update-mime-database when the package changed); each of their types gets the entry as its
// default in mimeapps.list, the user's previous default being kept in the registry. A type no
// registered extension needs any more gets its previous default back, but only while the
// default is still the player's: a default the user chose since is left alone. Answers an
// empty text, or the reason of the first step that failed (the later steps still run).
QString ProjectFileAssociations();
