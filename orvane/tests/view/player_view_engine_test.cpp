// The player view's engine side with the real engine library: creation, the events as the view
// receives them, the messages it passes on, the teardown, and a view without an engine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "app_paths.h"
#include "ax_player_widget.h"
#include "engine_library.h"
#include "main_widget_calls.h"
#include "player_view_event_pump.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"
#include "widget_player_view.h"

namespace {

struct Event {
    std::string name;
    std::vector<int> args;
    QThread* thread;
};

class MainStandIn : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void ShowMain() { calls << QStringLiteral("ShowMain"); }
    QStringList calls;
};

// Records what reaches the view's callbacks, then lets the view handle it.
class RecordingView : public WidgetPlayerView {
public:
    std::vector<Event> events;

    bool Saw(const std::string& name, const std::vector<int>& args) const {
        for (const Event& e : events)
            if (e.name == name && e.args == args) return true;
        return false;
    }
    bool ReachedState(int state) const {
        for (const Event& e : events)
            if (e.name == "OnStateChanged" && e.args[1] == state) return true;
        return false;
    }
    com::HRESULT Message(int message, int wParam, int lParam) {
        return WidgetPlayerView::OnMessage(message, wParam, lParam);
    }

protected:
    com::HRESULT OnMessage(int message, int wParam, int lParam) override {
        Add("OnMessage", {message, wParam, lParam});
        return WidgetPlayerView::OnMessage(message, wParam, lParam);
    }
    com::HRESULT OnStateChanged(int oldState, int newState) override {
        Add("OnStateChanged", {oldState, newState});
        return WidgetPlayerView::OnStateChanged(oldState, newState);
    }
    com::HRESULT OnOpenSucceeded() override {
        Add("OnOpenSucceeded", {});
        return WidgetPlayerView::OnOpenSucceeded();
    }
    com::HRESULT OnVideoSizeChanged() override {
        Add("OnVideoSizeChanged", {});
        return WidgetPlayerView::OnVideoSizeChanged();
    }

private:
    void Add(std::string name, std::vector<int> args) {
        events.push_back({std::move(name), std::move(args), QThread::currentThread()});
    }
};

// The pointer and key events a widget receives, as (type, position or key).
class EventLog : public QObject {
public:
    explicit EventLog(QObject* watched) { watched->installEventFilter(this); }
    std::vector<std::pair<QEvent::Type, QVariant>> entries;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseMove || type == QEvent::MouseButtonDblClick)
            entries.emplace_back(type, static_cast<QMouseEvent*>(event)->pos());
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease)
            entries.emplace_back(type, static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

QWidget* VideoWindow(WidgetPlayerView& view) {
    bool ok = false;
    const WId id = view.Engine().GetConfig(20).toULongLong(&ok);
    return ok ? QWidget::find(id) : nullptr;
}

class PlayerViewEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new testsupport::TempDir;
        ASSERT_TRUE(testsupport::MakeTestVideo(media_->file("short.mp4"), 1.0, 160, 120));
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }
    void SetUp() override { SetEngineFolder(QStringLiteral(ORVANE_ENGINE_DIR)); }
    void TearDown() override { SetEngineFolder(QString()); }
    static QString Clip() { return QString::fromStdString(media_->file("short.mp4")); }

    static testsupport::TempDir* media_;
    testsupport::ScopedEnv options_{"ORVANE_APLAYER_MPV_OPTIONS", "vo=null ao=null"};
};

testsupport::TempDir* PlayerViewEngineTest::media_ = nullptr;

TEST_F(PlayerViewEngineTest, EngineIsHostedInTheViewAndAClickOnItComesBack) {
    RecordingView view;
    ASSERT_TRUE(view.Engine());
    auto* host = view.findChild<AxPlayerWidget*>();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(view.layout()->indexOf(host), 0);
    QWidget* video = VideoWindow(view);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->parentWidget(), host);
    EXPECT_EQ(view.Engine().GetState(), 0);
    EXPECT_EQ(view.Engine().GetConfig(2), AppFilePath(QStringLiteral("codecs")));
    EXPECT_EQ(view.Engine().GetConfig(201), "2");
    EXPECT_EQ(view.Engine().GetConfig(602), "1");

    view.resize(320, 240);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // No main window with a drag area exists, so the click stays with the picture.
    QTest::mouseClick(video, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    ASSERT_TRUE(PumpUntil([&] { return view.Saw("OnMessage", {0x0202, 0, (40 << 16) | 30}); }));
}

TEST_F(PlayerViewEngineTest, PlayEventsReachTheViewOnTheCreatingThread) {
    RecordingView view;
    view.Engine().Open(Clip());
    ASSERT_TRUE(PumpUntil([&] { return view.Saw("OnStateChanged", {5, 0}); }));
    EXPECT_EQ(view.Engine().GetConfig(7), "0");
    ASSERT_EQ(view.events.front().name, "OnStateChanged");
    EXPECT_EQ(view.events.front().args[0], 0);
    EXPECT_NE(view.events.front().args[1], 0);
    int opened = 0;
    for (const Event& e : view.events) {
        EXPECT_EQ(e.thread, view.thread()) << e.name;
        opened += e.name == "OnOpenSucceeded";
    }
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(view.Saw("OnVideoSizeChanged", {}));
}

TEST_F(PlayerViewEngineTest, EngineMessagesArePassedOnToTheHostWidget) {
    RecordingView view;
    QPointer<AxPlayerWidget> host = view.findChild<AxPlayerWidget*>();
    ASSERT_FALSE(host.isNull());
    EventLog hostLog(host);
    EventLog viewLog(&view);
    using Log = std::vector<std::pair<QEvent::Type, QVariant>>;

    EXPECT_EQ(view.Message(kWmMouseMove, 0x0001, (-5 & 0xFFFF) | (20 << 16)), com::S_OK);
    EXPECT_EQ(view.Message(kWmLButtonDblClk, 0x0001, (7 << 16) | 9), com::S_OK);
    EXPECT_EQ(view.Message(kWmKeyUp, 0x20, static_cast<int>(0xC0000001u)), com::S_OK);
    EXPECT_EQ(view.Message(0x0204, 0x0002, 0), com::S_OK);  // right button down: ignored
    QCoreApplication::processEvents();
    EXPECT_EQ(hostLog.entries, (Log{{QEvent::MouseMove, QPoint(-5, 20)},
                                    {QEvent::MouseButtonDblClick, QPoint(9, 7)},
                                    {QEvent::KeyRelease, int(Qt::Key_Space)}}));
    EXPECT_NE(std::find(viewLog.entries.begin(), viewLog.entries.end(),
                        std::make_pair(QEvent::KeyRelease, QVariant(int(Qt::Key_Space)))),
              viewLog.entries.end());

    // The host widget may be closed (it deletes itself); later messages find it gone.
    host->close();
    ASSERT_TRUE(PumpUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return host.isNull();
    }));
    EXPECT_EQ(view.Message(kWmMouseMove, 0, 0), com::S_OK);
    EXPECT_EQ(view.Message(kWmKeyDown, 0x25, 1), com::S_OK);
    QCoreApplication::processEvents();
}

TEST_F(PlayerViewEngineTest, TeardownLetsTheEngineAndItsWindowGo) {
    QPointer<QWidget> video;
    {
        RecordingView view;
        video = VideoWindow(view);
        ASSERT_FALSE(video.isNull());
        view.show();
        view.Engine().Open(Clip());
        ASSERT_TRUE(PumpUntil([&] { return view.ReachedState(5); }));
    }
    // The engine went with its last reference and took its window along, once.
    EXPECT_TRUE(PumpUntil([&] { return video.isNull(); }));
}

// A FIFO named for a local play, or a link to one, never reaches the engine, which would wait
// on it for a writer: the play fails as a failed open does and ends on the main page.
TEST_F(PlayerViewEngineTest, AFifoNamedForALocalPlayFailsThePlayOnTheMainPage) {
    MainStandIn main;
    SetMainWidgetStandInForTesting(&main);
    testsupport::TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(fifo.c_str(), dir.file("clip.mp4").c_str()), 0);
    // True once someone has the FIFO open for reading (opening it for writing would wait).
    const auto read = [&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
        return fd >= 0;
    };
    for (const std::string& name : {fifo, dir.file("clip.mp4")}) {
        SCOPED_TRACE(name);
        main.calls.clear();
        RecordingView view;
        view.Play({{"type", 6}, {"url", QString::fromStdString(name)}});
        EXPECT_TRUE(PumpUntil([&] { return !main.calls.isEmpty() || read(); }));
        EXPECT_FALSE(read());
        EXPECT_EQ(main.calls, QStringList{"ShowMain"});
        EXPECT_EQ(view.GetPlayState(), 0);
    }
    SetMainWidgetStandInForTesting(nullptr);
}

TEST_F(PlayerViewEngineTest, AViewWithoutAnEngineIsHarmless) {
    testsupport::TempDir folder;
    SetEngineFolder(QString::fromStdString(folder.path()));
    for (const std::string& content : {std::string(), std::string("not a library")}) {
        if (!content.empty()) testsupport::WriteFile(folder.file("libAPlayer.so"), content);
        RecordingView view;
        EXPECT_FALSE(view.Engine());
        EXPECT_EQ(view.findChild<AxPlayerWidget*>(), nullptr);
        EngineCalls& engine = view.Engine();
        engine.Open(QStringLiteral("/nowhere.mp4"));
        engine.Play();
        engine.Pause();
        engine.Close();
        EXPECT_EQ(engine.GetState(), 0);
        EXPECT_EQ(engine.GetDuration(), 0);
        EXPECT_EQ(engine.GetPosition(), 0);
        EXPECT_EQ(engine.GetBufferState(), -1);
        EXPECT_FALSE(engine.SetPosition(1000));
        EXPECT_FALSE(engine.SetVolume(50));
        EXPECT_EQ(engine.GetConfig(20), QString());
        EXPECT_FALSE(engine.SetConfig(612, QStringLiteral("text")));
        view.show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(view.events.empty());
    }
}

}  // namespace

#include "player_view_engine_test.moc"
