#include "js_ext_obj.h"

#include <QDebug>
#include <QNetworkRequest>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSecurityOrigin>
#include <QWebView>
#include <QWidget>

#include "browser_starts.h"
#include "main_widget_calls.h"
#include "window_ops.h"

namespace {

QWidget* MainWidget() { return qobject_cast<QWidget*>(MainWidgetObject()); }

// The own page's origin is kept on the view's page, so that it goes with the page.
const char kOwnOriginProperty[] = "_orvane_own_origin";

// "scheme://host:port" as the engine reports a document's origin: the port 0 for the
// scheme's default port.
QString OriginText(const QString& scheme, const QString& host, int port) {
    return scheme.toLower() + "://" + host.toLower() + ":" + QString::number(port);
}

QString OriginOf(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    const int defaultPort = scheme == "https" ? 443 : scheme == "http" ? 80 : -1;
    const int port = url.port(defaultPort);
    // The engine names a host in its ASCII (punycode) form.
    return OriginText(scheme, url.host(QUrl::FullyEncoded), port == defaultPort ? 0 : port);
}

bool HasOwnOrigin(QWebFrame* frame) {
    const QString own = frame->page()->property(kOwnOriginProperty).toString();
    const QWebSecurityOrigin origin = frame->securityOrigin();
    return !own.isEmpty() && OriginText(origin.scheme(), origin.host(), origin.port()) == own;
}

void Post(const char* method, QGenericArgument argument = QGenericArgument()) {
    QObject* main = MainWidgetObject();
    if (!main) return;
    if (!QMetaObject::invokeMethod(main, method, Qt::QueuedConnection, argument))
        qDebug() << "JsExtObj: the main widget has no" << method;
}

}  // namespace

void JsExtObj::Max() {
    if (QObject* main = MainWidgetObject())
        QMetaObject::invokeMethod(main, "Max", Qt::DirectConnection);
}

void JsExtObj::Min() { MinimizeOwnWindow(MainWidget()); }

void JsExtObj::Close() {
    if (QWidget* main = MainWidget()) main->close();
}

QVariant JsExtObj::IsMax() { return IsOwnWindowMaximized(MainWidget()); }

void JsExtObj::PlayVideo(QVariantMap videoInfo) {
    Post("PlayVideo", Q_ARG(QVariantMap, videoInfo));
}

void JsExtObj::OpenWindow(QVariant url) { OpenWindowFor(this, url); }

void JsExtObj::OpenWindowFor(QObject* page, const QVariant& url) {
    qDebug() << "OpenWindow" << url;
    OpenInBrowserFor(page, url.toString());
}

void JsExtObj::AdvFinished() { Post("ContinuePlay"); }

JsExtObj* JsExtObjInstance() {
    static JsExtObj instance;
    return &instance;
}

void LoadOwnPage(QWebView* view, const QUrl& url) { LoadOwnPage(view, QNetworkRequest(url)); }

void LoadOwnPage(QWebView* view, const QNetworkRequest& request) {
    // Only web pages are the player's own: a view given anything else has no bridge.
    const QUrl url = request.url();
    const QString scheme = url.scheme().toLower();
    const bool web = (scheme == "http" || scheme == "https") && !url.host().isEmpty();
    view->page()->setProperty(kOwnOriginProperty, web ? OriginOf(url) : QString());
    view->load(request);
}

void AddJsExtObj(QWebFrame* frame) {
    if (!frame) return;
    if (!HasOwnOrigin(frame)) {
        qDebug() << "no JsExtObj for" << frame->url().toString() << "(not the view's own origin)";
        return;
    }
    frame->addToJavaScriptWindowObject(QStringLiteral("JsExtObj"), JsExtObjInstance());
}
