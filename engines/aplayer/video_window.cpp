#include "video_window.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "input_messages.h"

namespace aplayer {

VideoWindow::VideoWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    // The window id must stay the same when the host re-parents the window: mpv keeps it.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setMouseTracking(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    resize(320, 240);
}

void VideoWindow::Send(int message, int wParam, std::int32_t lParam) {
    if (sink_) sink_(message, wParam, lParam);
}

void VideoWindow::SendMouse(int message, QMouseEvent* event) {
    // Accepted here: the host learns of the input through the messages, not by propagation.
    event->accept();
    Send(message, MouseKeyFlags(event->buttons(), event->modifiers()),
         PackPoint(event->pos().x(), event->pos().y()));
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) { SendMouse(kWmMouseMove, event); }

void VideoWindow::mousePressEvent(QMouseEvent* event) { event->accept(); }

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        SendMouse(kWmLButtonUp, event);
    else
        event->accept();
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        SendMouse(kWmLButtonDblClk, event);
    else
        event->accept();
}

void VideoWindow::keyPressEvent(QKeyEvent* event) {
    const int vk = VirtualKeyFromQt(event->key());
    if (vk == 0) return QWidget::keyPressEvent(event);
    Send(kWmKeyDown, vk, KeyMessageParam(false, event->isAutoRepeat()));
}

void VideoWindow::keyReleaseEvent(QKeyEvent* event) {
    const int vk = VirtualKeyFromQt(event->key());
    if (vk == 0) return QWidget::keyReleaseEvent(event);
    // A held key repeats as further key-downs; it is released once.
    if (event->isAutoRepeat()) return;
    Send(kWmKeyUp, vk, KeyMessageParam(true, true));
}

}  // namespace aplayer
