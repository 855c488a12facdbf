// Makes the desktop open files with the player as the registry's associations say. The
// registry is where the associations are kept; file managers ask the desktop's own
// mechanism: a desktop entry for the player, the shared MIME database (which names the type
// of a file) and mimeapps.list (which names the program for a type). No widgets: the
// settings dialog and the "-setfilelinks" run of the desktop program both call this.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "platform/registry.h"

// The type through which the desktop opens files ending in ".<ext>": the system's video
// type where it has one, else the player's own "video/x-orvane-<ext>", which the player's
// MIME package defines while the extension is associated.
QString DesktopMimeType(const QString& ext);

// The player's desktop entry: $XDG_DATA_HOME/applications/orvane.desktop, or the free name
// of its own that the player takes when a file of someone else's has that name.
QString DesktopEntryPath();
// The player's MIME package: $XDG_DATA_HOME/mime/packages/orvane.xml, or the free name of its
// own that the player takes when a file of someone else's has that name.
QString MimePackagePath();
// The user's defaults: $XDG_CONFIG_HOME/mimeapps.list.
QString MimeAppsListPath();

// One change of the associations: the registry calls made while the object lives (on this
// thread) are one registry transaction, and Finish puts the desktop in line with the result.
class AssociationSave {
public:
    AssociationSave();
    ~AssociationSave();
    AssociationSave(const AssociationSave&) = delete;
    AssociationSave& operator=(const AssociationSave&) = delete;

    // Plans the desktop from the registered extensions, keeping in the registry the previous
    // default of each type the player takes over; writes the registry (each changed hive once);
    // then, and only when that succeeded, projects onto the desktop: the desktop entry runs
    // the desktop program with the file and lists the types; the MIME package gives the
    // extensions that need one their own type (the database is refreshed with
    // update-mime-database when the package changed); each type gets the entry as its default
    // in mimeapps.list. A type no registered extension needs any more gets its previous
    // default back, but only while the default is still the player's: a default the user
    // chose since is left alone. Answers an empty text, or the reason of the first step that
    // failed (the later desktop steps still run).
    QString Finish();

private:
    std::unique_ptr<platform::RegistryTransaction> registry_;
};

// The current registry projected onto the desktop, as AssociationSave().Finish() does.
QString ProjectFileAssociations();
