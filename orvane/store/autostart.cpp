#include "autostart.h"

#include <QDebug>
#include <QFileInfo>

#include "app_paths.h"
#include "desktop_file_texts.h"
#include "players_files.h"
#include "registry_values.h"

namespace {

const char kRunKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Writes the player's autostart entry (on) or removes every one of the player's (off); an
// entry of the user's under the player's name stays as it is.
void ProjectAutostartEntry(bool on) {
    const PlayersFilePlace place = AutostartPlace();
    QString error;
    if (on)
        PutPlayersFile(place, PlayersFileName(place), AutostartEntryText(HostExePath()), error);
    else
        PutPlayersFile(place, QString(), QString(), error);
    if (!error.isEmpty()) qDebug() << "autostart entry not in line:" << error;
}

}  // namespace

bool IsAutoStart() {
    const QString path = RegistryRead(kRunKey, "orvane").toString();
    return !path.isEmpty() && QFileInfo::exists(path);
}

void SetAutoStart(bool on) {
    if (on)
        RegistryWrite(kRunKey, "orvane", HostExePath());
    else
        RegistryRemove(kRunKey, "orvane");
    ProjectAutostartEntry(on);
}
