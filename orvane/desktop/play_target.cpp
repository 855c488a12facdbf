#include "play_target.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include "platform/regular_file.h"
#include "torrent_name.h"

namespace {

// Torrent files are small; anything this large is not one, and is not read whole.
constexpr std::size_t kLargestTorrent = 64 * 1024 * 1024;

bool IsLink(const QString& argument) {
    return argument.startsWith(QLatin1String("magnet:"), Qt::CaseInsensitive) ||
           argument.startsWith(QLatin1String("kvbt:"), Qt::CaseInsensitive);
}

bool HasScheme(const QString& argument) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(argument).hasMatch();
}

// Empty when the file is a torrent the player can stream; else why not.
QString TorrentProblem(platform::RegularFile& file) {
    std::string torrent;
    if (!file.ReadAll(torrent, kLargestTorrent))
        return QStringLiteral("not read as a torrent file (") +
               QString::fromStdString(file.Error()) + ')';
    if (TorrentContentName(QByteArray::fromStdString(torrent)).isEmpty())
        return QStringLiteral("not a torrent file (no content named in its info dictionary)");
    return QString();
}

std::optional<PlayTarget> ReadLocalFile(const QString& path, const QString& shown, QString& error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        error = shown + QStringLiteral(": no such file");
        return std::nullopt;
    }
    if (info.isDir()) {
        error = shown + QStringLiteral(": is a folder, not a video file");
        return std::nullopt;
    }
    // Only a regular file plays: a device or a FIFO would feed the player without end or
    // keep it waiting for a writer before any window opens.
    platform::RegularFile file(QFile::encodeName(info.absoluteFilePath()).toStdString());
    if (!file.IsOpen()) {
        error = shown + QStringLiteral(": cannot be played (") +
                QString::fromStdString(file.Error()) + ')';
        return std::nullopt;
    }
    const bool torrent = info.suffix().compare(QLatin1String("torrent"), Qt::CaseInsensitive) == 0;
    if (torrent) {
        const QString problem = TorrentProblem(file);
        if (!problem.isEmpty()) {
            error = shown + QStringLiteral(": ") + problem;
            return std::nullopt;
        }
    }
    return PlayTarget{torrent ? kPlayTorrentFile : kPlayLocalFile, info.absoluteFilePath()};
}

}  // namespace

std::optional<PlayTarget> ReadPlayTarget(const QString& argument, QString& error) {
    const QString trimmed = argument.trimmed();
    if (trimmed.isEmpty()) {
        error = QStringLiteral("an empty argument names nothing to play");
        return std::nullopt;
    }
    if (IsLink(trimmed)) return PlayTarget{kPlayLink, trimmed};
    if (trimmed.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        const QUrl url(trimmed);
        if (!url.isValid() || !url.isLocalFile()) {
            error = argument + QStringLiteral(": not a local file address");
            return std::nullopt;
        }
        return ReadLocalFile(url.toLocalFile(), argument, error);
    }
    if (HasScheme(trimmed)) return PlayTarget{kPlayDirectUrl, trimmed};
    return ReadLocalFile(argument, argument, error);
}
