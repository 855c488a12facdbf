// Tells when a window of another process is destroyed (its X DestroyNotify), on its own
// display connection serviced by the Qt event loop.
#pragma once

#include <QObject>

#include "window/handle.h"

class QSocketNotifier;
struct _XDisplay;

namespace platform::window {

class DestroyWatcher : public QObject {
    Q_OBJECT
public:
    // A window that is already gone (or no display) is reported at once, from the event loop.
    explicit DestroyWatcher(WindowHandle window, QObject* parent = nullptr);
    ~DestroyWatcher() override;

    WindowHandle window() const { return window_; }
    bool isDestroyed() const { return destroyed_; }

signals:
    // Emitted once.
    void windowDestroyed();

private:
    void drain();
    void report();

    WindowHandle window_;
    _XDisplay* display_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;  // child of this object
    bool destroyed_ = false;
};

}  // namespace platform::window
