// The name a torrent gives its content (the file of a one-file torrent, the top folder of a
// larger one), read from the torrent file's bencoded "info" dictionary.
#pragma once

#include <QByteArray>
#include <QString>

// "info" -> "name" as UTF-8 text; empty when the data is not a torrent, has no name, or the
// name could step out of the folder the content is saved in ("", ".", "..", a "/" in it).
QString TorrentContentName(const QByteArray& torrent);
