// Lets pointer input on the engine's video window fall through to the window beneath it while
// the pointer is over the main window's drag area, so that the frameless main window can be
// dragged by a border or title strip that the picture covers.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QMouseEvent;
class QWidget;

class EngineDragFallThrough : public QObject {
public:
    // Asked at every pointer event that is not part of a press already under way: the widget
    // that takes the event instead of the video window, or null to leave it to the video window.
    using Target = std::function<QWidget*()>;

    // Watches `video` and lives as long as it does.
    EngineDragFallThrough(QWidget* video, Target target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Forward(QWidget* target, QMouseEvent* event);

    Target target_;
    // While a button is held, every event goes where the press went (as a pointer grab does).
    bool pressed_ = false;
    QPointer<QWidget> pressTarget_;
};
