// Pointer input on the engine's video window falling through to the main window's drag
// handling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <memory>
#include <vector>

#include "engine_drag_fall_through.h"

namespace {

// Records the pointer events it handles, as (type, position).
class RecordingWidget : public QWidget {
public:
    explicit RecordingWidget(QWidget* parent = nullptr) : QWidget(parent) {
        setMouseTracking(true);
    }
    std::vector<std::pair<QEvent::Type, QPoint>> seen;

protected:
    void mousePressEvent(QMouseEvent* e) override { seen.emplace_back(e->type(), e->pos()); }
    void mouseMoveEvent(QMouseEvent* e) override { seen.emplace_back(e->type(), e->pos()); }
    void mouseReleaseEvent(QMouseEvent* e) override { seen.emplace_back(e->type(), e->pos()); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { seen.emplace_back(e->type(), e->pos()); }
};

class EngineDragFallThroughTest : public ::testing::Test {
protected:
    void SetUp() override {
        main_.setGeometry(100, 100, 400, 300);
        host_ = new RecordingWidget(&main_);
        host_->setGeometry(20, 30, 300, 200);
        video_ = new RecordingWidget(host_);
        video_->setGeometry(5, 5, 200, 150);
        main_.show();
        new EngineDragFallThrough(video_,
                                  [this]() -> QWidget* { return inDragArea_ ? &main_ : nullptr; });
    }

    void Send(QEvent::Type type, QPoint pos, Qt::MouseButtons held, Qt::MouseButton button = {}) {
        QMouseEvent event(type, pos, video_->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(video_, &event);
    }
    void Press(QPoint pos) { Send(QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton); }
    void Move(QPoint pos, Qt::MouseButtons held) { Send(QEvent::MouseMove, pos, held); }
    void Release(QPoint pos) { Send(QEvent::MouseButtonRelease, pos, {}, Qt::LeftButton); }

    RecordingWidget main_;
    RecordingWidget* host_ = nullptr;
    RecordingWidget* video_ = nullptr;
    bool inDragArea_ = false;
};

TEST_F(EngineDragFallThroughTest, TheDragAreaDecidesWhoGetsThePointer) {
    inDragArea_ = true;
    Press({2, 3});
    Move({12, 3}, Qt::LeftButton);
    Release({40, 8});
    Send(QEvent::MouseButtonDblClick, {2, 3}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(video_->seen.empty());
    EXPECT_TRUE(host_->seen.empty());
    // At the same place on the screen, in the main window's own coordinates.
    const QPoint offset(25, 35);
    using Seen = std::vector<std::pair<QEvent::Type, QPoint>>;
    EXPECT_EQ(main_.seen, (Seen{{QEvent::MouseButtonPress, QPoint(2, 3) + offset},
                                {QEvent::MouseMove, QPoint(12, 3) + offset},
                                {QEvent::MouseButtonRelease, QPoint(40, 8) + offset},
                                {QEvent::MouseButtonDblClick, QPoint(2, 3) + offset}}));

    inDragArea_ = false;
    Press({50, 60});
    Release({51, 60});
    Move({70, 70}, {});
    EXPECT_EQ(main_.seen.size(), 4u);
    EXPECT_EQ(video_->seen, (Seen{{QEvent::MouseButtonPress, {50, 60}},
                                  {QEvent::MouseButtonRelease, {51, 60}},
                                  {QEvent::MouseMove, {70, 70}}}));
}

TEST_F(EngineDragFallThroughTest, AHeldButtonKeepsEveryEventWhereItsPressWent) {
    // A drag of the main window goes on when the pointer leaves the drag area ...
    inDragArea_ = true;
    Press({2, 2});
    inDragArea_ = false;
    Move({90, 90}, Qt::LeftButton);
    Release({90, 90});
    EXPECT_EQ(main_.seen.size(), 3u);
    EXPECT_TRUE(video_->seen.empty());
    // ... and a press on the picture stays with the picture when it crosses into the area.
    Press({60, 60});
    inDragArea_ = true;
    Move({2, 2}, Qt::LeftButton);
    Release({2, 2});
    EXPECT_EQ(video_->seen.size(), 3u);
    // Once the button is up, the area decides again.
    Move({2, 2}, {});
    EXPECT_EQ(main_.seen.size(), 4u);
}

TEST_F(EngineDragFallThroughTest, ATargetGoneMidDragLeavesTheRestToTheVideoWindow) {
    auto other = std::make_unique<RecordingWidget>();
    new EngineDragFallThrough(video_, [&other]() -> QWidget* { return other.get(); });
    Press({2, 2});
    ASSERT_EQ(other->seen.size(), 1u);
    other.reset();
    Move({3, 3}, Qt::LeftButton);
    Release({3, 3});
    EXPECT_EQ(video_->seen.size(), 2u);
}

}  // namespace
