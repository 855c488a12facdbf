#include "window_drag.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

WindowDrag::WindowDrag(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            offset_ = mouse->globalPos() - window_->frameGeometry().topLeft();
            mouse->accept();
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton) || offset_ == QPoint(-1, -1)) return false;
            window_->move(mouse->globalPos() - offset_);
            return true;
        }
        case QEvent::MouseButtonRelease:
            offset_ = QPoint(-1, -1);
            return false;
        default:
            return false;
    }
}
