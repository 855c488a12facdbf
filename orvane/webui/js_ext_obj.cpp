#include "js_ext_obj.h"

#include <QDebug>
#include <QWebFrame>
#include <QWidget>

#include "host_queries.h"
#include "main_widget_calls.h"
#include "window_ops.h"

namespace {

QWidget* MainWidget() { return qobject_cast<QWidget*>(MainWidgetObject()); }

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

void JsExtObj::OpenWindow(QVariant url) {
    qDebug() << "OpenWindow" << url;
    OpenUrlInBrowser(url.toString());
}

void JsExtObj::AdvFinished() { Post("ContinuePlay"); }

JsExtObj* JsExtObjInstance() {
    static JsExtObj instance;
    return &instance;
}

void AddJsExtObj(QWebFrame* frame) {
    if (frame) frame->addToJavaScriptWindowObject(QStringLiteral("JsExtObj"), JsExtObjInstance());
}
