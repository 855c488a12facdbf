#include "main_widget_calls.h"

#include <QPointer>
#include <QWidget>

#include "named_objects.h"
#include "orvane_widget.h"

namespace {

QPointer<QObject>& StandIn() {
    static QPointer<QObject> receiver;
    return receiver;
}

QWidget* MainWindow() {
    auto* widget = qobject_cast<QWidget*>(MainWidgetObject());
    return widget ? widget->window() : nullptr;
}

}  // namespace

QObject* MainWidgetObject() {
    if (StandIn()) return StandIn();
    return GetMainWidget();
}

void SetMainWidgetStandInForTesting(QObject* receiver) { StandIn() = receiver; }

void CallMainWidget(const char* method, Qt::ConnectionType type, QGenericArgument argument) {
    if (QObject* main = MainWidgetObject()) QMetaObject::invokeMethod(main, method, type, argument);
}

bool MainWidgetIsFullScreen() {
    QWidget* window = MainWindow();
    return window && window->isFullScreen();
}

bool MainWidgetIsMinimized() {
    QWidget* window = MainWindow();
    return window && window->isMinimized();
}
