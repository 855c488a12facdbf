#include "page_resolve.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "host_queries.h"

namespace {

const char kSalt[] = "{A41C7D2E-95B3-4F08-8E6A-2D5C09B7F314}";

std::optional<QVector<MediaSegment>> Refuse(QString* reason, const char* why) {
    if (reason) *reason = QString::fromLatin1(why);
    return std::nullopt;
}

// A JSON value as the page service's script would read it as text.
QString Text(const QJsonValue& value) { return value.toVariant().toString(); }

}  // namespace

QString PageResolveToken(const QString& pageUrl) {
    const QByteArray bytes = pageUrl.toUtf8();
    if (bytes.size() < 9) return QString();
    const QChar marker = QChar::fromLatin1(bytes[bytes.size() - 9]);
    return Md5Hex(pageUrl + QLatin1Char('-') + marker + QLatin1Char('-') + QLatin1String(kSalt));
}

QUrl PageResolveRequestUrl(const QString& origin, const QString& pageUrl) {
    const QString target =
        QStringLiteral("/Orvane/?tk=%1&url=%2&t=json&hd=102")
            .arg(PageResolveToken(pageUrl), QString::fromLatin1(pageUrl.toUtf8().toBase64()));
    return QUrl::fromEncoded((origin + target).toUtf8(), QUrl::TolerantMode);
}

std::optional<QVector<MediaSegment>> ParseResolveReply(const QByteArray& body, QString* reason) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Refuse(reason, "the answer is not a JSON object");
    const QJsonObject answer = document.object();
    if (!answer.contains(QLatin1String("error"))) return Refuse(reason, "no error member");
    if (!Text(answer.value(QLatin1String("error"))).isEmpty())
        return Refuse(reason, "the service names an error");
    const QJsonValue files = answer.value(QLatin1String("files"));
    if (!files.isArray()) return Refuse(reason, "files is not an array");
    QVector<MediaSegment> segments;
    for (const QJsonValue& file : files.toArray()) {
        const QJsonValue seg = file.toObject().value(QLatin1String("seg"));
        if (!seg.isArray()) return Refuse(reason, "a file without a seg array");
        for (const QJsonValue& part : seg.toArray()) {
            const QJsonObject item = part.toObject();
            const QString url = Text(item.value(QLatin1String("furl")));
            // Each URL is one line of the playlist; a line break would add lines of its own.
            if (url.contains(QLatin1Char('\n')) || url.contains(QLatin1Char('\r')))
                return Refuse(reason, "a segment URL holds a line break");
            segments.append({url, item.value(QLatin1String("seconds")).toVariant().toInt()});
        }
    }
    if (segments.isEmpty()) return Refuse(reason, "no segment");
    return segments;
}

QByteArray SegmentListText(const QVector<MediaSegment>& segments) {
    QByteArray text = "#EXTM3U\n";
    for (const MediaSegment& segment : segments) {
        text += "#EXTINF:" + QByteArray::number(segment.seconds) + ",\n";
        text += segment.url.toUtf8() + '\n';
    }
    text += "#EXT-X-ENDLIST\n";
    return text;
}
