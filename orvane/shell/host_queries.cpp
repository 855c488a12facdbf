#include "host_queries.h"

#include <QDebug>
#include <QUrl>

#include "platform/crypto.h"
#include "platform/process.h"

bool IsWinXP() { return false; }

QString Md5Hex(const QString& text) {
    return QString::fromStdString(platform::Md5Hex(text.toUtf8().toStdString()));
}

QByteArray BrowserAddress(const QString& url) {
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != "http" && scheme != "https") || parsed.host().isEmpty())
        return {};
    return parsed.toEncoded();
}

void OpenUrlInBrowser(const QString& url) {
    const QByteArray address = BrowserAddress(url);
    if (address.isEmpty()) {
        qDebug() << "refused to open" << url;
        return;
    }
    // The URL travels, fully encoded, as one argument of its own; no shell ever sees it.
    platform::OpenUrlForUser(address.toStdString());
}

bool CleanupOnDestroy() { return true; }
