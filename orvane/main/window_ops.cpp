#include "window_ops.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "window/x11_window.h"

QWidget* OwnTopWindow(QWidget* widget) {
    if (!widget) return nullptr;
    QWidget* top = widget->window();
    // A foreign parent window is what embedding makes (QWindow::fromWinId as the parent of
    // our native window).
    const QWindow* handle = top->windowHandle();
    if (handle && handle->parent()) return nullptr;
    return top;
}

bool IsOwnWindowMaximized(QWidget* widget) {
    QWidget* top = OwnTopWindow(widget);
    return top && top->isMaximized();
}

void ToggleOwnWindowMaximized(QWidget* widget) {
    QWidget* top = OwnTopWindow(widget);
    if (!top) return;
    if (top->isMaximized())
        top->showNormal();
    else
        top->showMaximized();
}

void MinimizeOwnWindow(QWidget* widget) {
    if (QWidget* top = OwnTopWindow(widget)) top->showMinimized();
}

void SetOwnWindowOnTop(QWidget* widget, bool onTop) {
    QWidget* top = OwnTopWindow(widget);
    if (!top || top->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
    // Not through the native window's flags: once the hint changes there, Qt's X11 backend
    // destroys the window and makes it anew the next time it is shown, and every native
    // window inside goes with it - the playback engine's video window too, into which the
    // engine goes on drawing by its id. The hint stays in the widget's flags, from where a
    // native window made later takes it; one that exists keeps its flags and the window
    // manager is told instead.
    top->overrideWindowFlags(top->windowFlags() ^ Qt::WindowStaysOnTopHint);
    if (top->testAttribute(Qt::WA_WState_Created) &&
        QGuiApplication::platformName() == QLatin1String("xcb"))
        platform::window::KeepWindowAbove(top->winId(), onTop);
}
