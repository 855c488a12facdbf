#include "window/embed.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "window/x11_window.h"

namespace platform::window {

bool EmbedWidget(QWidget* widget, WindowHandle foreign) {
    if (!widget || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    const std::optional<Geometry> geometry = WindowGeometry(foreign);
    if (!geometry) return false;
    QWindow* container = QWindow::fromWinId(static_cast<WId>(foreign));
    if (!container) return false;
    widget->setAttribute(Qt::WA_NativeWindow);
    widget->winId();
    widget->windowHandle()->setParent(container);
    // The container object must outlive our window inside it: it goes after the widget.
    QObject::connect(widget, &QObject::destroyed, container, &QObject::deleteLater);
    widget->setGeometry(0, 0, geometry->width, geometry->height);
    widget->show();
    return true;
}

}  // namespace platform::window
