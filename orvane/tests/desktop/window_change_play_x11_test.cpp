// A video playing while the window around it changes: stay-on-top stored before the start and
// turned off and on during the play, full screen and back. The engine draws into a native
// window inside the player's window, known to it by its id; whatever the change, that window
// stays, the picture goes on moving and nothing crashes. The player is made as the products
// make it (the desktop program's window; the control placed into a page's window by the host
// program's code), with the real engine and the options it ships with.
#include <QApplication>

#include "activex/host_window.h"
#include "ax_wrap_widget.h"
#include "desktop_window.h"
#include "engine_library.h"
#include "key_value_store.h"
#include "main_widget_fixture.h"
#include "picture_sample.h"
#include "player_control.h"
#include "testsupport/media.h"
#include "widget_player_view.h"
#include "window/x11_window.h"
#include "window_manager_view.h"

namespace {

using namespace main_widget_testing;

class WindowChangePlayTest : public MainWidgetTest {
protected:
    void SetUp() override {
        MainWidgetTest::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        ASSERT_TRUE(testsupport::MakeTestVideo(temp.file("clip.mp4"), 60));
        SetEngineFolder(QStringLiteral(ORVANE_ENGINE_DIR));
    }
    void TearDown() override {
        SetEngineFolder(QString());
        MainWidgetTest::TearDown();
    }

    void Play() {
        QMetaObject::invokeMethod(
            main, "PlayVideo", Qt::QueuedConnection,
            Q_ARG(QVariantMap, (QVariantMap{{"type", 6}, {"url", temp.file("clip.mp4").c_str()}})));
    }
    void PlayAndChangeStayOnTop(bool embedded, bool stored);
    unsigned long VideoWindowId() {
        auto* view = main->findChild<WidgetPlayerView*>();
        return view ? view->Engine().GetConfig(20).toULong() : 0;
    }
    // True once the engine's window is still a window of the display and the picture in it
    // has changed a few times.
    bool PictureMoves() {
        if (!platform::window::IsWindow(VideoWindowId())) return false;
        quint64 last = 0;
        int changes = 0;
        return WaitFor(
            [&] {
                const QWidget* video = QWidget::find(VideoWindowId());
                if (!video || !video->isVisible() || video->width() < 16) return false;
                const PictureSample sample = SamplePicture(GrabFromScreen(*video));
                if (sample.picture && sample.digest != last) {
                    last = sample.digest;
                    ++changes;
                }
                return changes > 3;
            },
            60000);
    }
};

// Plays in the desktop window or inside a page's window, with stay-on-top stored (as the
// settings dialog stores it) or not, then turns it on and off as the settings dialog does.
void WindowChangePlayTest::PlayAndChangeStayOnTop(bool embedded, bool stored) {
    DbSetValue("settings_stayontop", stored);
    std::unique_ptr<DesktopWindow> desktop;
    QWidget page;
    ax::HostWindow host;
    QWidget* top = nullptr;  // the window kept on top; none inside someone else's window
    if (embedded) {
        page.resize(640, 480);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        std::string error;
        ASSERT_TRUE(CreatePlayerControl(host, error)) << error;
        ASSERT_TRUE(host.embedInto(page.winId()));
        main = qobject_cast<AXWrapWidget*>(host.controlWidget())->mainWidget();
    } else {
        desktop = std::make_unique<DesktopWindow>();
        desktop->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(desktop.get()));
        main = desktop->MainWidget();
        top = desktop.get();
    }
    ASSERT_TRUE(WaitFor([&] { return main->isVisible(); }));
    wm_testing::StateRequests requests;
    Play();
    ASSERT_TRUE(PictureMoves());
    if (top) {
        EXPECT_EQ(wm_testing::CarriesStateAbove(top->winId()), stored);
    }
    for (const bool onTop : {!stored, stored, !stored}) {
        SCOPED_TRACE(onTop ? "turned on" : "turned off");
        ASSERT_TRUE(QMetaObject::invokeMethod(main, "StayOnTop", Q_ARG(bool, onTop)));
        if (top) {
            EXPECT_EQ(top->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
            EXPECT_EQ(requests.LastAboveRequest(top->winId()), onTop ? 1 : 0);
        }
        ASSERT_TRUE(PictureMoves());
    }
    if (embedded) {
        // Inside someone else's window the window operations do nothing.
        EXPECT_FALSE(wm_testing::CarriesStateAbove(page.winId()));
        EXPECT_EQ(requests.LastAboveRequest(page.winId()), -1);
        EXPECT_EQ(requests.LastAboveRequest(host.winId()), -1);
    }
    host.releaseControl();
}

TEST_F(WindowChangePlayTest, StayOnTopStoredOrChangedDuringAPlayKeepsThePictureMoving) {
    // The host program makes the control through the registration.
    ASSERT_TRUE(RegisterControlLibrary(ORVANE_AX_LIBRARY));

    const struct {
        const char* name;
        bool embedded;
        bool stored;
    } cases[] = {
        {"the desktop window, turned on during the play", false, false},
        {"the desktop window, stored before the start", false, true},
        {"inside a page's window, stored before the start", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlayAndChangeStayOnTop(c.embedded, c.stored);
    }
}

TEST_F(WindowChangePlayTest, FullScreenAndBackDuringAPlayKeepsThePictureMoving) {
    DesktopWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    main = window.MainWidget();
    Play();
    ASSERT_TRUE(PictureMoves());
    for (int round = 0; round < 2; ++round) {
        QMetaObject::invokeMethod(main, "ShowFullScreen");
        ASSERT_TRUE(WaitFor([&] { return main->isFullScreen(); }));
        ASSERT_TRUE(PictureMoves()) << "full screen, round " << round;
        QMetaObject::invokeMethod(main, "ShowNormal");
        ASSERT_TRUE(WaitFor([&] { return !main->isWindow() && main->isVisible(); }));
        ASSERT_TRUE(PictureMoves()) << "normal, round " << round;
    }
}

}  // namespace
