#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "window_drag.h"

namespace {

// Sends a mouse event at the global point `at` to `target`, as the window system would.
void Mouse(QWidget* target, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
           Qt::MouseButtons held) {
    const QPointF local = target->mapFromGlobal(at);
    QMouseEvent event(type, local, local, at, button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A frameless window whose whole face is a plain child, as the dialogs are built.
struct DraggableWindow {
    DraggableWindow() {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setGeometry(100, 100, 300, 200);
        background->setGeometry(0, 0, 300, 200);
        window.show();
    }
    QWidget window;
    QWidget* background = new QWidget(&window);
    WindowDrag* drag = new WindowDrag(&window);
};

TEST(WindowDragTest, LeftDragOnTheBackgroundMovesTheWindowAndReleaseEndsIt) {
    DraggableWindow w;
    const QPoint start = w.window.mapToGlobal(QPoint(20, 10));
    Mouse(w.background, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(w.drag->Offset(), QPoint(20, 10));

    Mouse(w.background, QEvent::MouseMove, start + QPoint(30, 40), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(w.window.pos(), QPoint(130, 140));

    Mouse(w.background, QEvent::MouseButtonRelease, start + QPoint(30, 40), Qt::LeftButton,
          Qt::NoButton);
    EXPECT_EQ(w.drag->Offset(), QPoint(-1, -1));
    Mouse(w.background, QEvent::MouseMove, start + QPoint(90, 90), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(w.window.pos(), QPoint(130, 140));
}

TEST(WindowDragTest, OtherButtonsAndMovesWithoutTheButtonDoNotMove) {
    DraggableWindow w;
    const QPoint start = w.window.mapToGlobal(QPoint(50, 50));
    Mouse(w.background, QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
    Mouse(w.background, QEvent::MouseMove, start + QPoint(10, 10), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(w.drag->Offset(), QPoint(-1, -1));
    EXPECT_EQ(w.window.pos(), QPoint(100, 100));

    Mouse(w.background, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Mouse(w.background, QEvent::MouseMove, start + QPoint(10, 10), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(w.window.pos(), QPoint(100, 100));
}

}  // namespace
