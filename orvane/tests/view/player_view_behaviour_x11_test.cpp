// The player view with the real engine under a real display, driven by real key strokes and
// clicks: Space pauses and resumes, the arrows seek by their steps, quick hotkeys and quick
// slider releases act once, the end of a video returns to the main page, and a play resumes
// from its recorded position only as the setting and the time left allow.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QtTest/QTest>
#include <cstdlib>
#include <memory>

#include "app_values.h"
#include "buffer_slider.h"
#include "engine_library.h"
#include "main_widget_calls.h"
#include "player_view_event_pump.h"
#include "player_window_stand_in.h"
#include "scoped_app_directory.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"
#include "widget_player_view.h"

// Last: Xlib's macros clash with Qt's headers.
#include "x11_fake_input.h"

namespace {

class PlayerViewBehaviourTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new testsupport::TempDir;
        ASSERT_TRUE(testsupport::MakeTestVideo(media_->file("long.mp4"), 40.0, 160, 120));
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        testsupport::WriteFile(dir_.file("cache/.keep"), "");
        testsupport::WriteFile(dir_.file("bin/ini/path.ini"),
                               "[AppSetting]\nsavePath=" + dir_.file("cache") + "/\n");
        SetEngineFolder(QStringLiteral(ORVANE_ENGINE_DIR));
        window_ = std::make_unique<PlayerWindowStandIn>();
        SetEngineFolder(QString());
        ASSERT_TRUE(window_->view->Engine());
        SetMainWidgetStandInForTesting(window_.get());
        window_->setGeometry(40, 40, 480, 360);
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        ASSERT_TRUE(input_.Usable());
    }
    void TearDown() override {
        window_.reset();
        SetMainWidgetStandInForTesting(nullptr);
        RemoveAppValue("settings_start_lastpos");
    }

    EngineCalls& Engine() { return window_->view->Engine(); }
    int Seeks() const { return window_->view->seeks; }
    static QVariantMap Video(const QVariant& pos = QVariant()) {
        QVariantMap request = {{"type", 6},
                               {"url", QString::fromStdString(media_->file("long.mp4"))}};
        if (pos.isValid()) request.insert("pos", pos);
        return request;
    }
    // Plays until the engine plays and the position has passed `ms`.
    bool PlayPast(const QVariantMap& request, int ms) {
        window_->view->Play(request);
        return PumpUntil([&] { return Engine().GetState() == 5 && Engine().GetPosition() > ms; });
    }
    bool ReachState(int state) {
        return PumpUntil([&] { return Engine().GetState() == state; });
    }
    // Taps `key`, waits for the seek it makes, and answers the position then.
    int SeekWith(KeySym key) {
        const int before = Seeks();
        input_.Tap(key);
        EXPECT_TRUE(PumpUntil([&] { return Seeks() > before; }));
        return Engine().GetPosition();
    }

    static testsupport::TempDir* media_;
    testsupport::TempDir dir_;
    ScopedAppDirectory app_{dir_.file("bin")};
    testsupport::ScopedEnv options_{"ORVANE_APLAYER_MPV_OPTIONS", "vo=null ao=null"};
    FakeInput input_;
    std::unique_ptr<PlayerWindowStandIn> window_;
};

testsupport::TempDir* PlayerViewBehaviourTest::media_ = nullptr;

TEST_F(PlayerViewBehaviourTest, SpaceAndTheArrowsActOnThePlayAndItsEndReturnsToTheMainPage) {
    ASSERT_TRUE(PlayPast(Video(), 500));
    input_.Tap(XK_space);
    ASSERT_TRUE(ReachState(3));
    input_.Tap(XK_space);
    ASSERT_TRUE(ReachState(5));
    input_.Tap(XK_space);
    ASSERT_TRUE(ReachState(3));

    const int paused = Engine().GetPosition();
    ASSERT_GT(paused, 0);
    EXPECT_NEAR(SeekWith(XK_Right), paused + 10000, 100);
    EXPECT_NEAR(SeekWith(XK_Left), paused, 100);
    // Two keys within 100 ms: the first acts, the second is dropped.
    input_.Tap(XK_Right, false);
    EXPECT_NEAR(SeekWith(XK_Left), paused + 10000, 100);
    // The dropped key never acts later either.
    const int seeks = Seeks();
    EXPECT_NEAR(SeekWith(XK_Left), paused, 100);
    EXPECT_EQ(Seeks(), seeks + 1);
    // Less than a step from the start: to the start.
    EXPECT_EQ(SeekWith(XK_Left), 0);

    // Playing on to the end goes back to the main page.
    EXPECT_TRUE(window_->calls.isEmpty());
    input_.Tap(XK_space);
    ASSERT_TRUE(ReachState(5));
    ASSERT_TRUE(Engine().SetPosition(Engine().GetDuration() - 1000));
    ASSERT_TRUE(PumpUntil([&] { return window_->calls.contains("ShowMain"); }));
    EXPECT_EQ(Engine().GetState(), 0);
    EXPECT_EQ(Engine().GetConfig(7), "0");
    EXPECT_EQ(window_->view->GetPlayState(), 4);
}

TEST_F(PlayerViewBehaviourTest, APlayResumesFromItsPositionOnlyWhenAllowed) {
    const struct {
        bool setting;
        QVariant pos;
        bool resumes;
    } rows[] = {
        {true, 15000, true},
        {false, 15000, false},
        // Less than 20 s would be left: from the start.
        {true, 25000, false},
        {true, QStringLiteral("later"), false},
        {true, QVariant(), false},
    };
    for (const auto& row : rows) {
        SetAppValue("settings_start_lastpos", row.setting);
        const int seeks = Seeks();
        if (row.resumes) {
            ASSERT_TRUE(PlayPast(Video(row.pos), row.pos.toInt()));
            EXPECT_LT(Engine().GetPosition(), row.pos.toInt() + 5000);
            EXPECT_EQ(Seeks(), seeks + 1);
        } else {
            ASSERT_TRUE(PlayPast(Video(row.pos), 1000));
            EXPECT_LT(Engine().GetPosition(), 5000) << row.pos.toString().toStdString();
            EXPECT_EQ(Seeks(), seeks) << row.pos.toString().toStdString();
        }
    }
}

TEST_F(PlayerViewBehaviourTest, QuickSliderReleasesMakeOneSeekToTheLast) {
    ASSERT_TRUE(PlayPast(Video(), 500));
    input_.Tap(XK_space);
    ASSERT_TRUE(ReachState(3));
    auto* slider = window_->bar->findChild<BufferSlider*>("progressSlider");
    ASSERT_NE(slider, nullptr);
    ASSERT_TRUE(slider->isEnabled());
    ASSERT_GT(slider->maximum(), 30000);

    const int seeks = Seeks();
    const int y = slider->height() / 2;
    int target = 0;
    for (const double at : {0.2, 0.5, 0.8}) {
        const int x = static_cast<int>(slider->width() * at);
        target = QStyle::sliderValueFromPosition(slider->minimum(), slider->maximum(), x,
                                                 slider->width());
        input_.Click(slider->mapToGlobal(QPoint(x, y)), at == 0.8);
    }
    ASSERT_TRUE(PumpUntil([&] { return Seeks() > seeks; }));
    EXPECT_EQ(Seeks(), seeks + 1);
    EXPECT_NEAR(Engine().GetPosition(), target, 200);
}

}  // namespace
