#include "browser_page.h"

#include <QNetworkRequest>
#include <QWebFrame>

#include "app_values.h"
#include "js_ext_obj.h"
#include "named_objects.h"
#include "web_page.h"

BrowserPage::BrowserPage(QWidget* parent) : QWebView(parent) {
    ConfineRemotePage(page());
    connect(this, &QWebView::loadFinished, this, &BrowserPage::LoadFinished);
    connect(page()->mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this,
            &BrowserPage::JavaScriptWindowObjectCleared);
    RegisterNamedObject(QStringLiteral("BrowserPage"), this);
    Home();
}

// The view's base class stops a load still under way and tells about it; by then this part
// of the object is gone, so nothing of it may be called.
BrowserPage::~BrowserPage() {
    disconnect(this, nullptr, this, nullptr);
    page()->mainFrame()->disconnect(this);
}

// The home page comes from the player's own file server, which answers a browser only for the
// pages it serves itself: those name it as their Referer. So does this first load of them,
// which no page made (a page can only ever name its own site).
void BrowserPage::Home() {
    const QUrl url(AppValue(QStringLiteral("weburl")).toString());
    QNetworkRequest request(url);
    if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0) {
        const QUrl site = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery |
                                       QUrl::RemoveFragment);
        request.setRawHeader("Referer", site.toEncoded() + '/');
    }
    LoadOwnPage(this, request);
}

void BrowserPage::LoadFinished(bool) {}

void BrowserPage::JavaScriptWindowObjectCleared() { AddJsExtObj(page()->mainFrame()); }

void BrowserPage::NotifyStatus(int oldStatus, int newStatus, int error) {
    page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("statusChanged(%1,%2,%3);").arg(oldStatus).arg(newStatus).arg(error));
}

bool BrowserPage::IsCaptionTouched(int x, int y) {
    const QVariant touched = page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("isCaptionTouched(%1,%2);").arg(x).arg(y));
    return touched.isValid() && touched.toBool();
}
