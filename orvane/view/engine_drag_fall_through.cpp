#include "engine_drag_fall_through.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

EngineDragFallThrough::EngineDragFallThrough(QWidget* video, Target target)
    : QObject(video), target_(std::move(target)) {
    video->installEventFilter(this);
}

bool EngineDragFallThrough::eventFilter(QObject* watched, QEvent* event) {
    if (watched != parent()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            break;
        default:
            return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    QWidget* target = nullptr;
    if (pressed_) {
        target = pressTarget_;
    } else {
        target = target_ ? target_() : nullptr;
        if (event->type() == QEvent::MouseButtonPress) {
            pressed_ = true;
            pressTarget_ = target;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton) {
        pressed_ = false;
        pressTarget_ = nullptr;
    }
    if (!target) return false;
    Forward(target, mouse);
    return true;
}

void EngineDragFallThrough::Forward(QWidget* target, QMouseEvent* event) {
    const QPointF screen = event->screenPos();
    const QPointF local = target->mapFromGlobal(screen.toPoint());
    const QPointF inWindow = target->window()->mapFromGlobal(screen.toPoint());
    QMouseEvent forwarded(event->type(), local, inWindow, screen, event->button(), event->buttons(),
                          event->modifiers(), event->source());
    // Unhandled there, the event goes on up that widget's parents as pointer events do.
    QCoreApplication::sendEvent(target, &forwarded);
}
