// Input on the video window reaches the engine's receiver as window messages.
#include "video_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QtTest/QTest>

#include "engine_fixture.h"
#include "input_messages.h"

namespace aplayer::test {
namespace {

using Kind = RecordedEvent::Kind;

class VideoWindowTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        window_ = engine_->Window();
        window_->show();
    }
    std::vector<RecordedEvent> Messages() const {
        std::vector<RecordedEvent> out;
        for (const auto& e : recorder_.events)
            if (e.kind == Kind::kMessage) out.push_back(e);
        return out;
    }
    std::vector<int> MessageIds() const {
        std::vector<int> ids;
        for (const auto& e : Messages()) ids.push_back(e.a);
        return ids;
    }
    VideoWindow* window_ = nullptr;
};

TEST_F(VideoWindowTest, LeftClickReportsButtonUpAtItsPoint) {
    QTest::mouseClick(window_, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].a, kWmLButtonUp);
    EXPECT_EQ(messages[0].c, (40 << 16) | 30);

    // Other buttons are not reported.
    QTest::mouseClick(window_, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(VideoWindowTest, DoubleClickReportsDoubleClickBetweenButtonUps) {
    // The order a window system delivers a double click in; presses are not reported.
    for (QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
          QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, QPointF(10, 20), Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window_, &event);
    }
    EXPECT_EQ(MessageIds(), (std::vector<int>{kWmLButtonUp, kWmLButtonDblClk, kWmLButtonUp}));
    EXPECT_EQ(Messages()[1].b, 0x0001);
}

TEST_F(VideoWindowTest, MouseMoveCarriesButtonsModifiersAndSignedPoint) {
    // A drag that left the window: negative coordinates keep their 16-bit two's complement.
    QMouseEvent move(QEvent::MouseMove, QPointF(-3, 7), Qt::NoButton, Qt::LeftButton,
                     Qt::ShiftModifier);
    QApplication::sendEvent(window_, &move);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].a, kWmMouseMove);
    EXPECT_EQ(messages[0].b, 0x0001 | 0x0004);
    EXPECT_EQ(static_cast<std::uint32_t>(messages[0].c), (7u << 16) | 0xFFFDu);
}

TEST_F(VideoWindowTest, HeldKeyRepeatsKeyDownAndReleasesOnce) {
    auto send = [&](QEvent::Type type, int key, bool autoRepeat) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(window_, &event);
    };
    send(QEvent::KeyPress, Qt::Key_Space, false);
    send(QEvent::KeyRelease, Qt::Key_Space, true);
    send(QEvent::KeyPress, Qt::Key_Space, true);
    send(QEvent::KeyRelease, Qt::Key_Space, false);
    send(QEvent::KeyPress, Qt::Key_MediaPlay, false);  // no key code: nothing reported

    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].a, kWmKeyDown);
    EXPECT_EQ(messages[0].c, 1);
    EXPECT_EQ(messages[1].a, kWmKeyDown);
    EXPECT_EQ(messages[1].c, 1 | (1 << 30));
    EXPECT_EQ(messages[2].a, kWmKeyUp);
    EXPECT_EQ(static_cast<std::uint32_t>(messages[2].c), 1u | (3u << 30));
    for (const auto& m : messages) EXPECT_EQ(m.b, 0x20);
}

}  // namespace
}  // namespace aplayer::test
