// The streaming service's media in the cache folder, and its purge before a play when it has
// grown past its limit. The service keeps every torrent it streamed as "<task key>.torrent"
// in its own media folder and writes the torrent's content into the cache folder under the
// name the torrent gives it; those entries are the service's, and only they are ever removed.
// The cache folder itself, whatever else the user keeps in it, and its parents stay.
#pragma once

#include <QList>
#include <QString>

struct StreamCacheEntry {
    QString taskKey;
    QString path;  // a file or a folder in the cache folder
    qint64 size = 0;
};

// The entries of the torrents in `mediaFolder` that exist in `cacheFolder`.
QList<StreamCacheEntry> StreamCacheEntries(const QString& cacheFolder, const QString& mediaFolder);

// When the entries together are larger than `limit` bytes, removes every entry that does not
// belong to the task `keepTaskKey` (the one about to play), with that task's saved download
// state. Answers how many entries went.
int PurgeStreamCache(const QString& cacheFolder, const QString& mediaFolder,
                     const QString& keepTaskKey, qint64 limit);

// 10 GiB: the cache limit.
constexpr qint64 kStreamCacheLimit = 10737418240LL;
