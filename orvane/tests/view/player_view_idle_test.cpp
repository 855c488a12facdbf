// The player view in a window, against the recording engine stand-in: a click on the picture
// plays or pauses and takes the keyboard for the window, and in full screen the idle time
// hides the cursor and the bar, but not while the pointer rests on the bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QtTest/QTest>
#include <memory>

#include "ax_player_widget.h"
#include "engine_library.h"
#include "fake_engine/fake_engine_control.h"
#include "main_widget_calls.h"
#include "player_view_event_pump.h"
#include "player_window_stand_in.h"

namespace {

constexpr int kWmMouseMoveMessage = 0x0200;
constexpr int kWmLButtonUpMessage = 0x0202;

class PlayerViewIdleTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetEngineFolder(QStringLiteral(ORVANE_FAKE_ENGINE_DIR));
        window_ = std::make_unique<PlayerWindowStandIn>();
        SetEngineFolder(QString());
        SetMainWidgetStandInForTesting(window_.get());
        window_->view->Engine().get()->QueryInterface(IFakeEngineControl::kIid, engine_.PutVoid());
        ASSERT_TRUE(engine_);
        // Away from the screen's corner, so that the window's and the bar's coordinates differ.
        window_->setGeometry(200, 150, 480, 360);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void TearDown() override {
        window_.reset();
        engine_.reset();
        SetMainWidgetStandInForTesting(nullptr);
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
    bool CursorHidden() const {
        return QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::BlankCursor;
    }

    std::unique_ptr<PlayerWindowStandIn> window_;
    com::Ptr<IFakeEngineControl> engine_;
};

TEST_F(PlayerViewIdleTest, AClickOnThePicturePlaysAndTakesTheKeyboardForItsWindow) {
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));

    // Nothing is open: play asks the main widget for the last video.
    engine_->Fire(1, {kWmLButtonUpMessage, 0, (20 << 16) | 30});
    ASSERT_TRUE(PumpUntil([&] { return window_->calls.contains("PlayRecent"); }));
    auto* host = window_->view->findChild<AxPlayerWidget*>();
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return QApplication::activeWindow() == window_.get(); }));
    EXPECT_TRUE(host->hasFocus());
}

TEST_F(PlayerViewIdleTest, InFullScreenIdleHidesCursorAndBarUnlessThePointerRestsOnTheBar) {
    window_->setWindowState(Qt::WindowFullScreen);
    ASSERT_TRUE(PumpUntil([&] { return window_->isFullScreen(); }));
    PlayerController* bar = window_->bar;
    ASSERT_TRUE(PumpUntil([&] { return bar->mapToGlobal(QPoint(0, 0)).y() > 100; }));

    // Nothing is hidden before the video plays. Then the pointer rests on the bar, and a move
    // over the picture starts the idle time afresh.
    QCursor::setPos(bar->mapToGlobal(bar->rect().center()));
    engine_->SetMedia(60000, 1000, -1);
    engine_->ChangeState(5);
    engine_->Fire(1, {kWmMouseMoveMessage, 0, (40 << 16) | 40});
    EXPECT_FALSE(PumpUntil([&] { return CursorHidden() || !bar->isVisible(); },
                           std::chrono::milliseconds(3600)));

    // Away from the bar, the next idle tick hides both.
    QCursor::setPos(window_->view->mapToGlobal(QPoint(40, 40)));
    EXPECT_TRUE(PumpUntil([&] { return CursorHidden() && !bar->isVisible(); }));
}

}  // namespace
