#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QParallelAnimationGroup>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "player_caption.h"
#include "wait_dialog.h"

namespace {

// Runs the dialog modally; one still open after ten seconds ends with -1 instead of hanging.
int RunBounded(WaitDialog& dialog) {
    QTimer::singleShot(10000, &dialog, [&] { dialog.done(-1); });
    return dialog.exec();
}

TEST(WaitDialogTest, CloseLaterShowsTheTextAndAcceptsAfterTheDelay) {
    const struct {
        int ms;          // -1: the one-argument form (1000 ms)
        qint64 atLeast;  // Qt's coarse timers may fire up to 5% early
    } cases[] = {{50, 45}, {-1, 900}};
    for (const auto& c : cases) {
        WaitDialog dialog;
        QElapsedTimer clock;
        clock.start();
        if (c.ms < 0)
            dialog.CloseLater("done");
        else
            dialog.CloseLater("done", c.ms);
        EXPECT_EQ(RunBounded(dialog), 1) << c.ms;
        EXPECT_GE(clock.elapsed(), c.atLeast) << c.ms;
        EXPECT_EQ(dialog.findChild<QLabel*>("labelInfo")->text(), "done");
    }
}

TEST(WaitDialogTest, EscapeLeavesItOpen) {
    WaitDialog dialog;
    bool openAfterEscape = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        openAfterEscape = dialog.isVisible();
        dialog.done(7);
    });
    EXPECT_EQ(RunBounded(dialog), 7);
    EXPECT_TRUE(openAfterEscape);
}

TEST(WaitDialogTest, ShownOverAParentItIsCentredOtherwiseItStaysPut) {
    QWidget parent;
    parent.setGeometry(100, 100, 400, 300);
    parent.show();
    WaitDialog over(&parent);
    over.show();
    EXPECT_EQ(over.pos(),
              parent.mapToGlobal(QPoint((400 - over.width()) / 2, (300 - over.height()) / 2)));

    WaitDialog alone;  // a plain dialog would centre itself on the screen
    const QPoint before = alone.pos();
    alone.show();
    EXPECT_EQ(alone.pos(), before);
}

TEST(PlayerCaptionTest, AWindowFadesThroughItsOpacityAndEndsHiddenAndOpaque) {
    auto* caption = new PlayerCaption;  // a window of its own, deleted at the end
    QSignalSpy closed(caption, &PlayerCaption::closeClicked);
    caption->show();
    caption->FadeOut();
    auto* group = caption->findChild<QParallelAnimationGroup*>();
    ASSERT_NE(group, nullptr);
    group->setCurrentTime(150);
    EXPECT_NEAR(caption->windowOpacity(), 0.5, 0.05);
    EXPECT_EQ(caption->graphicsEffect(), nullptr);  // a window needs no effect
    group->setCurrentTime(group->duration());
    EXPECT_FALSE(caption->isVisible());
    EXPECT_EQ(caption->windowOpacity(), 1.0);

    caption->CloseClicked();
    EXPECT_EQ(closed.count(), 1);
    delete caption;
}

}  // namespace
