// The native window of an ATL-style control: it tells its control when it has been created
// (first shown, with a native handle), on each timer tick, when it paints and when it is
// destroyed.
#pragma once

#include <QWidget>
#include <map>

class QPainter;

namespace atl {

class WindowEvents {
public:
    virtual void OnWindowCreated() = 0;
    virtual void OnWindowTimer(int id) = 0;
    virtual void OnWindowPaint(QPainter& painter, const QRect& rect) = 0;
    virtual void OnWindowDestroyed() = 0;

protected:
    ~WindowEvents() = default;
};

class ControlWindow : public QWidget {
public:
    explicit ControlWindow(WindowEvents* events, QWidget* parent = nullptr);
    ~ControlWindow() override;

    // Stops every further call to the events (the control is going first).
    void Detach() { events_ = nullptr; }
    // The native handle once the window has been created; 0 before.
    unsigned long Handle() const { return created_ ? static_cast<unsigned long>(winId()) : 0; }
    bool IsCreated() const { return created_; }

    // Control timer ids are the control's own; starting an id again restarts it.
    bool SetTimer(int id, int milliseconds);
    bool KillTimer(int id);

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    WindowEvents* events_;
    bool created_ = false;
    std::map<int, int> timers_;  // control id -> Qt timer id
};

}  // namespace atl
