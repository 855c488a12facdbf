#include "atl/control_window.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

namespace atl {

ControlWindow::ControlWindow(WindowEvents* events, QWidget* parent)
    : QWidget(parent), events_(events) {
    // The control paints every pixel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ControlWindow::~ControlWindow() {
    for (const auto& entry : timers_) killTimer(entry.second);
    if (events_ && created_) events_->OnWindowDestroyed();
}

bool ControlWindow::SetTimer(int id, int milliseconds) {
    if (milliseconds < 0) return false;
    KillTimer(id);
    const int qtId = startTimer(milliseconds);
    if (qtId == 0) return false;
    timers_[id] = qtId;
    return true;
}

bool ControlWindow::KillTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    killTimer(it->second);
    timers_.erase(it);
    return true;
}

void ControlWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (created_) return;
    // Others address this window by its handle (it is handed to other processes), so it must
    // be a native window of its own.
    setAttribute(Qt::WA_NativeWindow);
    winId();
    created_ = true;
    if (events_) events_->OnWindowCreated();
}

void ControlWindow::timerEvent(QTimerEvent* event) {
    for (const auto& entry : timers_) {
        if (entry.second == event->timerId()) {
            if (events_) events_->OnWindowTimer(entry.first);
            return;
        }
    }
    QWidget::timerEvent(event);
}

void ControlWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (events_) events_->OnWindowPaint(painter, event->rect());
}

}  // namespace atl
