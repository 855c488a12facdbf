// The player view under a real X display: a pointer click on the playing picture comes back to
// the view through the engine's sink, and a real key stroke held down gives one hotkey.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QWindow>
#include <QtTest/QTest>
#include <vector>

#include "engine_key_hook.h"
#include "engine_library.h"
#include "player_view_event_pump.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"
#include "widget_player_view.h"

// Last: Xlib's macros clash with Qt's headers.
#include "x11_fake_input.h"

namespace {

struct Message {
    int message, wParam, lParam;
    QThread* thread;
};

// Records the messages of the video window that reach the view.
class PlayingView : public WidgetPlayerView {
public:
    std::vector<Message> messages;
    int state = 0;

protected:
    com::HRESULT OnMessage(int message, int wParam, int lParam) override {
        messages.push_back({message, wParam, lParam, QThread::currentThread()});
        return WidgetPlayerView::OnMessage(message, wParam, lParam);
    }
    com::HRESULT OnStateChanged(int oldState, int newState) override {
        state = newState;
        return WidgetPlayerView::OnStateChanged(oldState, newState);
    }
};

TEST(PlayerViewX11Test, AClickOnThePlayingPictureReachesTheSinkAsButtonUp) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    testsupport::TempDir media;
    ASSERT_TRUE(testsupport::MakeTestVideo(media.file("clip.mp4"), 4.0));
    testsupport::ScopedEnv options("ORVANE_APLAYER_MPV_OPTIONS", "vo=x11 ao=null");
    SetEngineFolder(QStringLiteral(ORVANE_ENGINE_DIR));

    PlayingView view;
    SetEngineFolder(QString());
    ASSERT_TRUE(view.Engine());
    QWidget* video = QWidget::find(view.Engine().GetConfig(20).toULongLong());
    ASSERT_NE(video, nullptr);
    view.setGeometry(60, 60, 400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    view.Play({{"type", 6}, {"url", QString::fromStdString(media.file("clip.mp4"))}});
    // Playing, the picture takes the whole view.
    ASSERT_TRUE(PumpUntil([&] { return view.state == 5 && video->size() == view.size(); }));

    const QPoint origin = video->mapToGlobal(QPoint(0, 0));
    FakeInput input;
    ASSERT_TRUE(input.Usable());
    const QPoint local(150, 110);
    input.Click(origin + local);
    const auto buttonUp = [&]() -> const Message* {
        for (const Message& m : view.messages)
            if (m.message == kWmLButtonUp) return &m;
        return nullptr;
    };
    ASSERT_TRUE(PumpUntil([&] { return buttonUp() != nullptr; }));
    EXPECT_EQ(buttonUp()->lParam, (local.y() << 16) | local.x());
    EXPECT_EQ(buttonUp()->thread, view.thread());
}

// Counts the presses of one key as the window system hands them to a window (a held key gives
// one and then its repeats). Xlib's headers define KeyPress as a macro of their own.
#pragma push_macro("KeyPress")
#undef KeyPress
class PressCounter : public QObject {
public:
    explicit PressCounter(int key) : key_(key) { qApp->installEventFilter(this); }
    ~PressCounter() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* key = dynamic_cast<QKeyEvent*>(event);
        if (key && qobject_cast<QWindow*>(watched) && key->key() == key_ &&
            event->type() == QEvent::KeyPress)
            ++count;
        return false;
    }

private:
    int key_;
};
#pragma pop_macro("KeyPress")

TEST(PlayerViewX11Test, ARealKeyStrokeHeldDownGivesOneHotkey) {
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    std::vector<int> hotkeys;
    EngineKeyHook hook([&](int key) { hotkeys.push_back(key); });
    PressCounter presses(Qt::Key_Left);

    FakeInput input;
    ASSERT_TRUE(input.Usable());
    input.Key(XK_Left, true);
    // Held until the server's auto-repeat has sent presses of its own.
    ASSERT_TRUE(PumpUntil([&] { return presses.count >= 3; }));
    EXPECT_TRUE(hotkeys.empty());
    input.Key(XK_Left, false);
    // Another key marks the end: whatever the held one still gave would come before it.
    input.Key(XK_Right, true);
    input.Key(XK_Right, false);
    ASSERT_TRUE(PumpUntil([&] { return !hotkeys.empty() && hotkeys.back() == 0x27; }));
    EXPECT_EQ(hotkeys, (std::vector<int>{0x25, 0x27}));
}

}  // namespace
