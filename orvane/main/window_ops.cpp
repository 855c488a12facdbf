#include "window_ops.h"

#include <QWidget>
#include <QWindow>

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
    const bool visible = top->isVisible();
    top->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing a window's flags hides it.
    if (visible) top->show();
}
