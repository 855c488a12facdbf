#include "stream_cache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "directory_tree.h"
#include "platform/regular_file.h"
#include "torrent_name.h"

namespace {

// Torrent files are small; anything far larger is not one of the service's.
constexpr std::size_t kMaxTorrentBytes = 64 * 1024 * 1024;

QString ContentName(const QString& torrentPath) {
    std::string torrent, error;
    if (!platform::ReadRegularFile(QFile::encodeName(torrentPath).toStdString(), kMaxTorrentBytes,
                                   torrent, error))
        return QString();
    return TorrentContentName(QByteArray::fromStdString(torrent));
}

qint64 EntrySize(const QFileInfo& entry) {
    if (entry.isSymLink()) return 0;
    return entry.isDir() ? DirectorySize(entry.filePath()) : entry.size();
}

void RemoveEntry(const QFileInfo& entry) {
    if (entry.isDir() && !entry.isSymLink())
        RemoveDirectoryTree(entry.filePath());
    else
        QFile::remove(entry.filePath());  // a link goes, its target stays
}

}  // namespace

QList<StreamCacheEntry> StreamCacheEntries(const QString& cacheFolder, const QString& mediaFolder) {
    QList<StreamCacheEntry> entries;
    if (cacheFolder.isEmpty()) return entries;
    const QFileInfoList torrents =
        QDir(mediaFolder).entryInfoList({QStringLiteral("*.torrent")}, QDir::Files, QDir::Name);
    for (const QFileInfo& torrent : torrents) {
        const QString name = ContentName(torrent.filePath());
        if (name.isEmpty()) continue;
        const QFileInfo entry(QDir(cacheFolder).filePath(name));
        if (!entry.exists() && !entry.isSymLink()) continue;
        entries.append({torrent.completeBaseName(), entry.filePath(), EntrySize(entry)});
    }
    return entries;
}

int PurgeStreamCache(const QString& cacheFolder, const QString& mediaFolder,
                     const QString& keepTaskKey, qint64 limit) {
    const QList<StreamCacheEntry> entries = StreamCacheEntries(cacheFolder, mediaFolder);
    qint64 total = 0;
    for (const StreamCacheEntry& entry : entries) total += entry.size;
    if (total <= limit) return 0;
    // Two torrents may name the same content; the playing task's stays in every case.
    QStringList kept;
    for (const StreamCacheEntry& entry : entries)
        if (entry.taskKey == keepTaskKey) kept << entry.path;
    int removed = 0;
    for (const StreamCacheEntry& entry : entries) {
        if (entry.taskKey == keepTaskKey || kept.contains(entry.path)) continue;
        if (QFileInfo(entry.path).exists() || QFileInfo(entry.path).isSymLink()) ++removed;
        RemoveEntry(QFileInfo(entry.path));
        // The saved state would still claim pieces that are gone now.
        QFile::remove(QDir(mediaFolder).filePath(entry.taskKey + QStringLiteral(".kvbt")));
    }
    return removed;
}
