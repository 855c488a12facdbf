#include "play_urls.h"

#include <QRegularExpression>

namespace {

QString Item(const char* name, const QString& value) {
    return QLatin1String(name) + Base64Utf8(value);
}

}  // namespace

QString Base64Utf8(const QString& text) { return QString::fromLatin1(text.toUtf8().toBase64()); }

QString ResolvedStreamUrl(const QString& base, const StreamItems& items) {
    const QStringList parts = {Item("bturl:", items.source), Item("httpurl:", items.httpUrls),
                               Item("sources:", items.sources), Item("private:", items.isPrivate),
                               Item("crypt:", items.crypt)};
    return base + parts.join(QLatin1Char(','));
}

QString SourceStreamUrl(const QString& base, const QString& source) {
    return base + Item("bturl:", source);
}

QString DirectUrl(QString url, const QString& httpsRelay) {
    url.replace(QLatin1Char(' '), QLatin1String("%20"));
    static const QRegularExpression https(QStringLiteral("^(https://[a-zA-Z0-9\\.:\\-_@]+?/)"));
    if (httpsRelay.isEmpty() || !https.match(url).hasMatch()) return url;
    return httpsRelay + QLatin1Char('?') + Base64Utf8(url);
}

QString PublishedFileUrl(const QString& btroot, const QString& path) {
    return btroot + Base64Utf8(path);
}
