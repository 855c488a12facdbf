#include "host_queries.h"

#include <QDebug>
#include <QUrl>

#include "platform/crypto.h"
#include "platform/process.h"

bool IsWinXP() { return false; }

QString Md5Hex(const QString& text) {
    return QString::fromStdString(platform::Md5Hex(text.toUtf8().toStdString()));
}

void OpenUrlInBrowser(const QString& url) {
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != "http" && scheme != "https") || parsed.host().isEmpty()) {
        qDebug() << "refused to open" << url;
        return;
    }
    // The URL travels, fully encoded, as one argument of its own; no shell ever sees it.
    platform::OpenUrlForUser(parsed.toEncoded().toStdString());
}

bool CleanupOnDestroy() { return true; }
