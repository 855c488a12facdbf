// What the engine opens for a play request, as pure text functions: the stream URL on the
// streaming service's loopback server, a direct URL, and the address under which the
// player's own file server publishes a torrent file. Every value is written as UTF-8, so the
// streaming service and the task queries name a task by the same bytes.
#pragma once

#include <QString>

// The items of a stream URL. Only a resolved video carries more than the source.
struct StreamItems {
    QString source;  // "bturl:": a torrent's URL, a magnet or "kvbt:" link
    QString httpUrls;
    QString sources;
    QString isPrivate;  // as the request gives it: "true" or "false"
    QString crypt;
};

// `base` (the stream base URL, "http://127.0.0.1:<port>/") followed by
// "bturl:<b64>,httpurl:<b64>,sources:<b64>,private:<b64>,crypt:<b64>", every value in
// standard Base64, written into the path as it is.
QString ResolvedStreamUrl(const QString& base, const StreamItems& items);
// `base` followed by "bturl:<b64>" alone: a torrent file or a link.
QString SourceStreamUrl(const QString& base, const QString& source);

// A direct URL as the engine gets it: blanks become "%20"; an "https://" URL goes through the
// HTTPS relay `httpsRelay` ("?" and the Base64 of the URL appended) when one is set, and is
// opened as it is when none is.
QString DirectUrl(QString url, const QString& httpsRelay);

// `btroot` (the file server's "/btroot/" address) followed by the Base64 of the path.
QString PublishedFileUrl(const QString& btroot, const QString& path);

// Standard Base64 of the UTF-8 bytes of `text`.
QString Base64Utf8(const QString& text);
