#include "web_service_answers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <algorithm>
#include <climits>

#include "platform/paths.h"

namespace {

std::optional<QJsonObject> ParseObject(const QByteArray& body) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return document.object();
}

// Script answers may give numbers where texts are expected; both read as text.
QString Text(const QJsonValue& value) { return value.toVariant().toString(); }

// A JSON number as a 32-bit integer, clamped instead of wrapped.
int ClampedInt(const QJsonValue& value) {
    const double number = value.toVariant().toDouble();
    return static_cast<int>(std::clamp(number, double(INT_MIN), double(INT_MAX)));
}

}  // namespace

std::optional<ResolvedVideo> ParseResolveAnswer(const QByteArray& body) {
    const auto object = ParseObject(body);
    if (!object || !object->contains("title") || !object->contains("url") ||
        !object->contains("ad"))
        return std::nullopt;
    ResolvedVideo video;
    video.title =
        QString::fromUtf8(QByteArray::fromPercentEncoding(Text((*object)["title"]).toUtf8()));
    video.url = Text((*object)["url"]);
    video.ad = Text((*object)["ad"]);
    if (object->contains("servers")) video.sources = Text((*object)["servers"]);
    if (object->contains("siyou")) video.isPrivate = Text((*object)["siyou"]) == "true";
    if (object->contains("httpurl")) video.httpUrl = Text((*object)["httpurl"]);
    return video;
}

std::optional<QVector<QVariantMap>> ParseAdTextAnswer(const QByteArray& body) {
    const auto object = ParseObject(body);
    if (!object || !object->contains("adlist")) return std::nullopt;
    QVector<QVariantMap> entries;
    for (const QJsonValue& item : (*object)["adlist"].toArray()) {
        const QJsonObject entry = item.toObject();
        entries.append({{"title", Text(entry["title"])},
                        {"url", Text(entry["url"])},
                        {"time", ClampedInt(entry["time"])}});
    }
    return entries;
}

int AdTextShowMs(const QVariant& seconds) {
    qint64 value = seconds.toLongLong();
    if (value < 1) value = 10;
    // A time of years must not wrap into a negative interval and stop the rotation.
    if (value > INT_MAX / 1000) return INT_MAX;
    return static_cast<int>(value * 1000);
}

bool IsOvAddress(const QString& url) { return url.startsWith("ov://", Qt::CaseInsensitive); }

int TypedUrlType(const QString& url) {
    const QString lower = url.toLower();
    return lower.startsWith("magnet:") || lower.startsWith("kvbt:") ? 9 : 2;
}

QByteArray EncodeSeed(const QString& seed) {
    // ':' and '/' are kept: they are plain query characters and keep the address readable.
    return QUrl::toPercentEncoding(seed, ":/");
}

bool IsRegistrationHost(const QString& exeName) {
    for (const char* host : {"idc.exe", "regsvr32.exe"}) {
        if (exeName.compare(host, Qt::CaseInsensitive) == 0 ||
            exeName.compare(QString::fromStdString(platform::LinuxFileName(host)),
                            Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
