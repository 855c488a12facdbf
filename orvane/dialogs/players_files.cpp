#include "players_files.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "desktop_file_texts.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace {

constexpr int kNames = 99;
// A MIME package of the player's is a few kilobytes; a larger file is not read for the mark.
constexpr std::size_t kMaxPackageBytes = 1 << 20;

QString UserDataDir() { return QString::fromStdString(platform::UserDataDir()); }

// "orvane<suffix>" first, then "orvane-<n><suffix>" from 2 on.
QString Candidate(const PlayersFilePlace& place, int n) {
    return (n == 1 ? QString("orvane") : QString("orvane-%1").arg(n)) + place.suffix;
}

QString PathOf(const PlayersFilePlace& place, const QString& name) {
    return place.folder + "/" + name;
}

// The player writes plain files; a link, even to a file of the player's, is someone else's.
bool IsPlayers(const PlayersFilePlace& place, const QFileInfo& file) {
    return !file.isSymLink() && file.isFile() && place.carriesMark(file.filePath());
}

bool IsTaken(const QFileInfo& file) { return file.isSymLink() || file.exists(); }

bool DesktopEntryCarriesMark(const QString& path) {
    return platform::IniReadString(path.toStdString(), "Desktop Entry", kDesktopEntryMarkKey) ==
           "true";
}

bool MimePackageCarriesMark(const QString& path) {
    std::string content, error;
    return platform::ReadRegularFile(QFile::encodeName(path).toStdString(), kMaxPackageBytes,
                                     content, error) &&
           content.find(kMimePackageMark) != std::string::npos;
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Writes `content` unless the file holds it already; answers whether the file changed and
// puts a failure's reason into `error`.
bool WriteWhenChanged(const QString& path, const QString& content, QString& error) {
    if (QFileInfo::exists(path) && ReadFile(path) == content) return false;
    platform::MakeDirectories(QFileInfo(path).path().toStdString());
    if (!platform::WriteFileAtomically(path.toStdString(), content.toStdString()))
        error = "cannot write " + path;
    return true;
}

}  // namespace

PlayersFilePlace ApplicationsPlace() {
    return {UserDataDir() + "/applications", ".desktop", DesktopEntryCarriesMark};
}

PlayersFilePlace AutostartPlace() {
    return {QString::fromStdString(platform::UserConfigDir()) + "/autostart", ".desktop",
            DesktopEntryCarriesMark};
}

PlayersFilePlace MimePackagesPlace() {
    return {UserDataDir() + "/mime/packages", ".xml", MimePackageCarriesMark};
}

QString PlayersFileName(const PlayersFilePlace& place) {
    QString chosen;
    for (int n = 1; n <= kNames; ++n) {
        const QFileInfo file(PathOf(place, Candidate(place, n)));
        if (IsPlayers(place, file)) {
            chosen = Candidate(place, n);
            break;
        }
        if (chosen.isEmpty() && !IsTaken(file)) chosen = Candidate(place, n);
    }
    if (chosen != Candidate(place, 1))
        qDebug() << PathOf(place, Candidate(place, 1)) << "is not the player's; the player's is"
                 << (chosen.isEmpty() ? QString("none: no free name") : PathOf(place, chosen));
    return chosen;
}

QStringList PlayersFiles(const PlayersFilePlace& place) {
    QStringList paths;
    for (int n = 1; n <= kNames; ++n) {
        const QString path = PathOf(place, Candidate(place, n));
        if (IsPlayers(place, QFileInfo(path))) paths << path;
    }
    return paths;
}

bool PutPlayersFile(const PlayersFilePlace& place, const QString& name, const QString& content,
                    QString& error) {
    if (!content.isEmpty()) {
        if (!name.isEmpty()) return WriteWhenChanged(PathOf(place, name), content, error);
        error = "no free name of the player's in " + place.folder;
        return false;
    }
    const QStringList players = PlayersFiles(place);
    for (const QString& path : players)
        if (!QFile::remove(path)) error = "cannot remove " + path;
    return !players.isEmpty();
}
