#include "player_loading.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QWindow>

#include "progress_indicator.h"
#include "testsupport/loopback.h"

namespace {

QProgressIndicator* Spinner(PlayerLoading& overlay) {
    return overlay.findChild<QProgressIndicator*>("widgetLoading");
}

TEST(PlayerLoadingTest, PercentShowsInTheTextAndTheBar) {
    PlayerLoading overlay;
    auto* bar = overlay.findChild<QProgressBar*>("progressBarLoading");
    const struct {
        int percent;
        const char* text;
        int bar;
    } cases[] = {{57, "57%", 57}, {-1, "", 0}, {0, "0%", 0}, {100, "100%", 100}};
    for (const auto& c : cases) {
        overlay.SetPercent(c.percent);
        EXPECT_EQ(Spinner(overlay)->info(), c.text) << c.percent;
        EXPECT_EQ(bar->value(), c.bar) << c.percent;
    }
}

TEST(PlayerLoadingTest, ShrinkKeepsThePlaceAndHidesEveryPart) {
    PlayerLoading overlay;
    overlay.move(40, 30);
    overlay.show();
    overlay.ShrinkToIndicator();
    EXPECT_EQ(overlay.geometry(), QRect(40, 30, 150, 150));
    for (const char* part : {"widgetLoading", "labelTitle", "progressBarLoading", "labelInfo"})
        EXPECT_TRUE(overlay.findChild<QWidget*>(part)->isHidden()) << part;
    // Nothing of it would show but an empty square, black without a compositor.
    EXPECT_FALSE(overlay.isVisible());
    overlay.show();
    EXPECT_FALSE(overlay.isVisible());
    overlay.findChild<QWidget*>("labelTitle")->show();
    overlay.show();
    EXPECT_TRUE(overlay.isVisible());
}

TEST(PlayerLoadingTest, HidingStopsTheSpinner) {
    PlayerLoading overlay;
    overlay.show();
    Spinner(overlay)->startAnimation();
    overlay.hide();
    EXPECT_FALSE(Spinner(overlay)->isAnimated());
}

TEST(PlayerLoadingTest, AWindowManagerCloseLeavesTheOverlayAliveButItsOwnCloseEndsIt) {
    QWidget view;
    QPointer<PlayerLoading> overlay = new PlayerLoading(&view);
    overlay->show();
    ASSERT_NE(overlay->windowHandle(), nullptr);

    // What Alt+F4 delivers: a close request to the overlay's window.
    QCloseEvent request;
    QApplication::sendEvent(overlay->windowHandle(), &request);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(overlay.isNull());
    EXPECT_TRUE(overlay->isVisible());

    overlay->close();
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return overlay.isNull();
    }));
}

TEST(ProgressIndicatorTest, SpokeSizesFollowTheSide) {
    const struct {
        int side;
        SpokeGeometry g;
    } cases[] = {{20, {9, 4, 5, 1, 0}}, {150, {74, 37, 37, 8, 4}}, {33, {16, 8, 8, 1, 0}}};
    for (const auto& c : cases) {
        const SpokeGeometry g = SpokeGeometryFor(c.side);
        EXPECT_EQ(g.outerRadius, c.g.outerRadius) << c.side;
        EXPECT_EQ(g.innerRadius, c.g.innerRadius) << c.side;
        EXPECT_EQ(g.length, c.g.length) << c.side;
        EXPECT_EQ(g.width, c.g.width) << c.side;
        EXPECT_EQ(g.cornerRadius, c.g.cornerRadius) << c.side;
    }
}

TEST(ProgressIndicatorTest, DelayChangesKeepTheRunningState) {
    QProgressIndicator spinner;
    spinner.setAnimationDelay(10);
    EXPECT_FALSE(spinner.isAnimated());

    spinner.startAnimation();
    spinner.setAnimationDelay(5);
    EXPECT_TRUE(spinner.isAnimated());
    EXPECT_EQ(spinner.animationDelay(), 5);
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        QApplication::processEvents();
        return spinner.angle() != 0;
    }));
    EXPECT_EQ(spinner.angle() % 30, 0);

    spinner.stopAnimation();
    EXPECT_FALSE(spinner.isAnimated());
}

bool Blank(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) return false;
    return true;
}

TEST(ProgressIndicatorTest, AStoppedIndicatorPaintsNothingUnlessAskedTo) {
    QProgressIndicator spinner;
    spinner.resize(60, 60);
    spinner.setInfo("42%");
    auto render = [&] {
        QImage image(60, 60, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        spinner.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    EXPECT_TRUE(Blank(render()));
    spinner.setDisplayedWhenStopped(true);
    EXPECT_FALSE(Blank(render()));
}

}  // namespace
