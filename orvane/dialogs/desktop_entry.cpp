#include "desktop_entry.h"

#include <QDebug>
#include <QFileInfo>

#include "desktop_file_texts.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace {

constexpr int kNames = 99;

// "orvane.desktop" first, then "orvane-<n>.desktop" from 2 on.
QString Candidate(int n) {
    return n == 1 ? QString(kDesktopEntryName) : QString("orvane-%1.desktop").arg(n);
}

QString PathOf(const QString& name) { return DesktopEntryFolder() + "/" + name; }

// The player writes plain files; a link, even to an entry of the player's, is someone else's.
bool IsPlayers(const QFileInfo& file) {
    return !file.isSymLink() && file.isFile() &&
           platform::IniReadString(file.filePath().toStdString(), "Desktop Entry",
                                   kDesktopEntryMarkKey) == "true";
}

bool IsTaken(const QFileInfo& file) { return file.isSymLink() || file.exists(); }

}  // namespace

QString DesktopEntryFolder() {
    return QString::fromStdString(platform::UserDataDir()) + "/applications";
}

QString PlayersDesktopEntryName() {
    QString chosen;
    for (int n = 1; n <= kNames; ++n) {
        const QFileInfo file(PathOf(Candidate(n)));
        if (IsPlayers(file)) {
            chosen = Candidate(n);
            break;
        }
        if (chosen.isEmpty() && !IsTaken(file)) chosen = Candidate(n);
    }
    if (chosen != kDesktopEntryName)
        qDebug() << PathOf(kDesktopEntryName) << "is not the player's; the player's entry is"
                 << (chosen.isEmpty() ? QString("none: no free name") : PathOf(chosen));
    return chosen;
}

QStringList PlayersDesktopEntries() {
    QStringList paths;
    for (int n = 1; n <= kNames; ++n)
        if (IsPlayers(QFileInfo(PathOf(Candidate(n))))) paths << PathOf(Candidate(n));
    return paths;
}
