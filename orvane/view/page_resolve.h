// The page-URL resolve request: a video web page's address goes to the resolve service,
// which answers the media URLs of the page's video, in one or several segments.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVector>
#include <optional>

// Lower-case hexadecimal MD5 of: the page URL, "-", the ninth byte from the end of its UTF-8
// bytes read as a Latin-1 character, "-", the service's salt. Empty for fewer than 9 bytes.
QString PageResolveToken(const QString& pageUrl);

// `origin` + "/Orvane/?tk=<token>&url=<Base64 of the UTF-8 bytes>&t=json&hd=102", taken as
// already encoded, so the Base64 goes out as it is.
QUrl PageResolveRequestUrl(const QString& origin, const QString& pageUrl);

struct MediaSegment {
    QString url;
    int seconds = 0;
};

// The segments of an answer {"error": "", "files": [{"seg": [{"furl", "seconds"}, ...]}, ...]},
// in order; empty with `reason` set when the answer is not of that form or names an error.
std::optional<QVector<MediaSegment>> ParseResolveReply(const QByteArray& body, QString* reason);

// The playlist that joins several segments into one play: "#EXTM3U", then "#EXTINF:<s>," and
// the URL for each segment, then "#EXT-X-ENDLIST", each line ended by "\n".
QByteArray SegmentListText(const QVector<MediaSegment>& segments);
