#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "platform/process.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"
#include "window/destroy_watcher.h"
#include "window/handle.h"
#include "window/x11_window.h"
#include "x11_query.h"

namespace win = platform::window;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

bool PumpUntil(const std::function<bool()>& condition, int limitMs = 30000) {
    return testsupport::WaitUntil(
        [&] {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            return condition();
        },
        std::chrono::milliseconds(limitMs), std::chrono::milliseconds(2));
}

// An id in the client range of no connection: never a window.
constexpr win::WindowHandle kNoWindow = 0x1FFFFFF0;

TEST(WindowHandle, TravelsAsSignedDecimal) {
    EXPECT_EQ(win::FormatHandle(12582919), "12582919");
    EXPECT_EQ(win::FormatHandle(0xFFFFFFFFul), "-1");
    EXPECT_EQ(win::ParseHandle("12582919"), 12582919ul);
    EXPECT_EQ(win::ParseHandle("+7"), 7ul);
    for (const char* bad : {"", "-", "0", "-5", "12a", " 12", "2147483648", "0x10"})
        EXPECT_FALSE(win::ParseHandle(bad)) << bad;
}

TEST(X11Window, AnswersQuestionsAboutWindowsAndTrapsBadHandles) {
    App();
    ASSERT_TRUE(win::HasDisplay());
    QWidget widget;
    widget.resize(230, 170);
    widget.show();
    const win::WindowHandle handle = widget.winId();
    ASSERT_TRUE(PumpUntil([&] { return win::IsWindowVisible(handle); }));
    EXPECT_TRUE(win::IsWindow(handle));
    const auto geometry = win::WindowGeometry(handle);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->width, 230);
    EXPECT_EQ(geometry->height, 170);

    EXPECT_FALSE(win::IsWindow(kNoWindow));
    EXPECT_FALSE(win::WindowGeometry(kNoWindow));
    EXPECT_FALSE(win::IsWindowVisible(kNoWindow));
    EXPECT_EQ(win::WindowTitle(kNoWindow), "");
    EXPECT_FALSE(win::IsWindow(0));
}

TEST(X11Window, KeepsAWindowAboveThroughItsStateWithoutChangingTheWindow) {
    App();
    using States = std::vector<std::string>;
    const std::string above = "_NET_WM_STATE_ABOVE";
    const std::string tall = "_NET_WM_STATE_MAXIMIZED_VERT";
    QWidget widget;
    widget.resize(200, 100);
    // Made but not shown yet: the state is the window's own to write, and other states stay.
    const win::WindowHandle handle = widget.winId();
    windowtest::SetStates(handle, {tall});
    const struct {
        bool above;
        States expected;
    } steps[] = {
        {true, {tall, above}}, {true, {tall, above}}, {false, {tall}}, {true, {tall, above}}};
    for (const auto& step : steps) {
        EXPECT_TRUE(win::KeepWindowAbove(handle, step.above));
        EXPECT_EQ(windowtest::StatesOf(handle), step.expected) << step.above;
    }
    // Qt shows the same window and keeps the state it finds; mapped, the state belongs to
    // the window manager (none runs here), which is asked.
    widget.show();
    ASSERT_TRUE(PumpUntil([&] { return win::IsWindowVisible(handle); }));
    EXPECT_EQ(widget.winId(), handle);
    EXPECT_EQ(windowtest::StatesOf(handle), (States{tall, above}));
    EXPECT_TRUE(win::KeepWindowAbove(handle, false));
    EXPECT_EQ(windowtest::StatesOf(handle), (States{tall, above}));

    EXPECT_FALSE(win::KeepWindowAbove(kNoWindow, true));
    EXPECT_FALSE(win::KeepWindowAbove(0, true));
}

TEST(X11Window, FindsAVisibleWindowByItsExactNonAsciiTitle) {
    App();
    const QString title = QStringLiteral("Плеер — 播放器 ✓");
    QWidget widget;
    widget.setWindowTitle(title);
    widget.resize(200, 100);
    widget.show();
    const std::string utf8 = title.toStdString();
    ASSERT_TRUE(PumpUntil([&] { return win::FindVisibleWindowByTitle(utf8) != 0; }));
    EXPECT_EQ(win::FindVisibleWindowByTitle(utf8), widget.winId());
    EXPECT_EQ(win::WindowTitle(widget.winId()), utf8);
    EXPECT_EQ(win::FindVisibleWindowByTitle(utf8.substr(0, utf8.size() - 1)), 0u);
    EXPECT_EQ(win::FindVisibleWindowByTitle("Плеер"), 0u);

    widget.hide();
    EXPECT_TRUE(PumpUntil([&] { return win::FindVisibleWindowByTitle(utf8) == 0; }));
}

TEST(X11Window, WindowOfAnotherProcessIsEmbeddedSizedAndLearnsOfItsParentsEnd) {
    App();
    testsupport::TempDir dir;
    auto parent = std::make_unique<QWidget>();
    parent->resize(400, 300);
    parent->show();
    const win::WindowHandle parentHandle = parent->winId();
    ASSERT_TRUE(PumpUntil([&] { return win::IsWindowVisible(parentHandle); }));

    const std::string report = dir.file("report");
    auto child =
        platform::StartProcess(WINDOW_TEST_CHILD, {win::FormatHandle(parentHandle), report});
    ASSERT_TRUE(child);
    std::optional<win::WindowHandle> embedded;
    ASSERT_TRUE(PumpUntil([&] {
        embedded = win::ParseHandle(testsupport::ReadFile(report));
        return embedded.has_value();
    }));
    EXPECT_EQ(windowtest::ParentOf(*embedded), parentHandle);
    ASSERT_TRUE(PumpUntil([&] {
        const auto g = win::WindowGeometry(*embedded);
        return g && g->x == 0 && g->y == 0 && g->width == 400 && g->height == 300;
    }));
    EXPECT_TRUE(PumpUntil([&] { return win::IsWindowVisible(*embedded); }));

    parent.reset();
    ASSERT_TRUE(PumpUntil([&] { return child->Wait(0); }, 60000));
    EXPECT_EQ(child->ExitCode(), 0);
    EXPECT_EQ(testsupport::ReadFile(report), win::FormatHandle(*embedded) + " gone");
    EXPECT_FALSE(win::IsWindow(*embedded));
}

TEST(DestroyWatcher, ReportsOnceAndAlsoForWindowsAlreadyGone) {
    App();
    QWidget widget;
    widget.show();
    const win::WindowHandle handle = widget.winId();
    win::DestroyWatcher watcher(handle);
    int reports = 0;
    QObject::connect(&watcher, &win::DestroyWatcher::windowDestroyed, [&] { ++reports; });
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(reports, 0);
    windowtest::DestroyWindow(handle);
    ASSERT_TRUE(PumpUntil([&] { return reports == 1; }));
    EXPECT_TRUE(watcher.isDestroyed());

    win::DestroyWatcher late(kNoWindow);
    int lateReports = 0;
    QObject::connect(&late, &win::DestroyWatcher::windowDestroyed, [&] { ++lateReports; });
    ASSERT_TRUE(PumpUntil([&] { return lateReports == 1; }));
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(lateReports, 1);
}

}  // namespace
