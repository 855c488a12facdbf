// Under a real X display: the video window, embedded in a host widget the way the player view
// embeds it, shows the picture, and a pointer click on the picture comes back as a message.
#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QScreen>
#include <QtTest/QTest>
#include <set>
#include <vector>

#include "engine_fixture.h"
#include "input_messages.h"
#include "video_window.h"

// Last: Xlib's macros clash with Qt's headers.
#include <X11/Xlib.h>
#include <dlfcn.h>

namespace aplayer::test {
namespace {

using Kind = RecordedEvent::Kind;
using namespace std::chrono_literals;

// Real pointer input through the X server's test extension (loaded at run time: only its
// library is installed, not its headers).
class FakePointer {
public:
    FakePointer() : display_(XOpenDisplay(nullptr)), library_(dlopen("libXtst.so.6", RTLD_NOW)) {
        if (library_ != nullptr) {
            motion_ = reinterpret_cast<MotionFn>(dlsym(library_, "XTestFakeMotionEvent"));
            button_ = reinterpret_cast<ButtonFn>(dlsym(library_, "XTestFakeButtonEvent"));
        }
    }
    ~FakePointer() {
        if (display_ != nullptr) XCloseDisplay(display_);
        if (library_ != nullptr) dlclose(library_);
    }
    bool Usable() const { return display_ != nullptr && motion_ != nullptr && button_ != nullptr; }
    void Click(QPoint global) {
        motion_(display_, -1, global.x(), global.y(), 0);
        button_(display_, 1, True, 0);
        button_(display_, 1, False, 0);
        XFlush(display_);
    }

private:
    using MotionFn = int (*)(Display*, int, int, int, unsigned long);
    using ButtonFn = int (*)(Display*, unsigned int, Bool, unsigned long);
    Display* display_;
    void* library_;
    MotionFn motion_ = nullptr;
    ButtonFn button_ = nullptr;
};

// What a grab of the screen shows: how many colours, and how many bright samples.
struct Picture {
    std::size_t colours = 0;
    int bright = 0;
};

Picture Grab(const QRect& area) {
    const QImage grab = QGuiApplication::primaryScreen()
                            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                            .toImage();
    std::set<QRgb> colours;
    Picture picture;
    for (int y = 0; y < grab.height(); y += 4)
        for (int x = 0; x < grab.width(); x += 4) {
            const QColor c = grab.pixelColor(x, y);
            colours.insert(c.rgb());
            if (c.red() + c.green() + c.blue() > 150) ++picture.bright;
        }
    picture.colours = colours.size();
    return picture;
}

// The X windows inside `window`, itself included.
std::size_t WindowsInside(Window window) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 0;
    std::size_t count = 0;
    std::vector<Window> pending{window};
    while (!pending.empty()) {
        const Window at = pending.back();
        pending.pop_back();
        ++count;
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned n = 0;
        if (XQueryTree(display, at, &root, &parent, &children, &n) == 0) continue;
        pending.insert(pending.end(), children, children + n);
        if (children != nullptr) XFree(children);
    }
    XCloseDisplay(display);
    return count;
}

class VideoWindowX11Test : public ::testing::TestWithParam<MpvOptionList> {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        Media();
        std::string error;
        MpvOptionList options = GetParam();
        options.emplace_back("ao", "null");
        engine_ = MpvEngine::Create(&recorder_, options, &error);
        ASSERT_TRUE(engine_) << error;
        recorder_.react = [this](const RecordedEvent& e) {
            if (e.kind == Kind::kOpenSucceeded) engine_->Play();
        };
    }

    EventRecorder recorder_;
    std::unique_ptr<MpvEngine> engine_;
};

TEST_P(VideoWindowX11Test, EmbeddedWindowShowsPictureAndReportsClicks) {
    // The host finds the window by the id the engine reports and makes it its child.
    const WId id = std::stoull(engine_->GetConfig(20));
    QWidget* video = QWidget::find(id);
    ASSERT_EQ(video, engine_->Window());
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(video);
    host.setGeometry(40, 40, 400, 300);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    // mpv draws into the window it was given: re-parenting must keep that window.
    EXPECT_EQ(video->winId(), id);

    engine_->Open(Media().mediumVideo);
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStatePlaying); }));
    ASSERT_TRUE(PumpUntil([&] { return engine_->PositionMs() > 1000; }));
    engine_->Pause();
    ASSERT_TRUE(PumpUntil([&] { return engine_->State() == kStatePaused; }));
    // The paused picture reaches the screen some time after the pause.
    const QPoint origin = video->mapToGlobal(QPoint(0, 0));
    Picture picture;
    EXPECT_TRUE(PumpUntil([&] {
        picture = Grab(QRect(origin, video->size()));
        return picture.colours > 8 && picture.bright > 50;
    }));
    EXPECT_GT(picture.colours, 8u) << "the picture is one colour";
    EXPECT_GT(picture.bright, 50) << "the picture is black";
    // mpv draws in a window of its own inside the one it was given, never in a top-level one
    // that would float beside the host.
    EXPECT_GT(WindowsInside(id), 1u);

    FakePointer pointer;
    ASSERT_TRUE(pointer.Usable());
    const QPoint local(120, 90);
    pointer.Click(origin + local);
    ASSERT_TRUE(PumpUntil([&] {
        for (const auto& e : recorder_.events)
            if (e.kind == Kind::kMessage && e.a == kWmLButtonUp) return true;
        return false;
    }));
    const RecordedEvent* up = nullptr;
    for (const auto& e : recorder_.events)
        if (e.kind == Kind::kMessage && e.a == kWmLButtonUp) up = &e;
    EXPECT_EQ(up->c, PackPoint(local.x(), local.y()));
    EXPECT_EQ(up->thread, QCoreApplication::instance()->thread());
    engine_->Close();
    // The host owns the window now; the engine must not delete it a second time.
    video->setParent(nullptr);
}

// The shipped outputs (none named: the engine's own choice; Xvfb has neither hardware GL nor
// XVideo), then software GL and plain X11 named.
INSTANTIATE_TEST_SUITE_P(VideoOutputs, VideoWindowX11Test,
                         ::testing::Values(MpvOptionList{},
                                           MpvOptionList{{"vo", "gpu"}, {"gpu-sw", "yes"}},
                                           MpvOptionList{{"vo", "x11"}}));

}  // namespace
}  // namespace aplayer::test
