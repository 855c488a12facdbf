#include "window/destroy_watcher.h"

#include <X11/Xlib.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>

#include "x11_connection.h"

namespace platform::window {

DestroyWatcher::DestroyWatcher(WindowHandle window, QObject* parent)
    : QObject(parent), window_(window) {
    const char* name = std::getenv("DISPLAY");
    display_ = name && *name ? XOpenDisplay(nullptr) : nullptr;
    bool gone = display_ == nullptr || window == 0;
    if (!gone) {
        detail::ErrorTrap trap(display_);
        XSelectInput(display_, window, StructureNotifyMask);
        gone = trap.Failed();  // BadWindow: it is gone already
    }
    if (gone) {
        QTimer::singleShot(0, this, &DestroyWatcher::report);
        return;
    }
    notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DestroyWatcher::drain);
    // Events read while the selection was being made wait in Xlib's queue, not in the socket.
    QTimer::singleShot(0, this, &DestroyWatcher::drain);
}

DestroyWatcher::~DestroyWatcher() {
    delete notifier_;  // before the connection it watches
    if (display_) XCloseDisplay(display_);
}

void DestroyWatcher::drain() {
    if (!display_ || destroyed_) return;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
            report();
            return;
        }
    }
}

void DestroyWatcher::report() {
    if (destroyed_) return;
    destroyed_ = true;
    if (notifier_) notifier_->setEnabled(false);
    emit windowDestroyed();
}

}  // namespace platform::window
