#include "browser_starts.h"

#include <QDebug>
#include <QObject>
#include <QVariant>
#include <chrono>

#include "host_queries.h"

namespace {

constexpr qint64 kIntervalMs = 1000;
// Kept on the source itself, so that it goes with the source.
const char kLastStartProperty[] = "_orvane_last_browser_start_ms";

qint64 NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool BrowserStartAllowed(const QObject* source) {
    const QVariant last = source ? source->property(kLastStartProperty) : QVariant();
    return !last.isValid() || NowMs() - last.toLongLong() >= kIntervalMs;
}

void OpenInBrowserFor(QObject* source, const QString& url) {
    if (BrowserAddress(url).isEmpty()) {
        OpenUrlInBrowser(url);  // refuses it, and says so
        return;
    }
    if (!BrowserStartAllowed(source)) {
        qDebug() << "browser start dropped (one a second from a page):" << url;
        return;
    }
    if (source) source->setProperty(kLastStartProperty, NowMs());
    OpenUrlInBrowser(url);
}
