// The host program as the BT server starts it, under X: a stand-in player control, a stub BT
// server on the real pipe, and a window of this process as the browser control's window.
#include <gtest/gtest.h>

#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>

#include "platform/process.h"
#include "support/private_folders.h"
#include "support/qt_pump.h"
#include "support/stub_pipe_server.h"
#include "support/x11_tree.h"
#include "testsupport/temp_dir.h"
#include "window/handle.h"
#include "window/x11_window.h"

namespace win = platform::window;
using webroadtest::ChildrenOf;
using webroadtest::PumpUntil;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(text.substr(from, end - from));
    return lines;
}

class HostProgramX11 : public ::testing::Test {
protected:
    void SetUp() override {
        webroadtest::App("orvane_proxy_x11_tests");
        target = std::make_unique<QWidget>();
        target->resize(400, 300);
        target->show();
        handle = target->winId();
        ASSERT_TRUE(PumpUntil([&] { return win::IsWindowVisible(handle); }));
    }
    void TearDown() override {
        if (proxy && !proxy->Wait(0)) proxy->Kill();
    }

    void Start(const std::string& program, std::vector<std::string> arguments) {
        started = std::chrono::steady_clock::now();
        proxy = platform::StartProcess(program, arguments);
        ASSERT_TRUE(proxy);
    }
    std::string WinArgument() const { return "-win=" + win::FormatHandle(handle); }
    std::vector<std::string> Log() const { return Lines(testsupport::ReadFile(log)); }
    long LogCount(const std::string& line) const {
        const auto lines = Log();
        return std::count(lines.begin(), lines.end(), line);
    }
    bool Ended(int limitMs = 15000) {
        return PumpUntil([&] { return proxy->Wait(0); }, limitMs);
    }
    // Destroys the target and answers how long the host program took to end.
    std::chrono::milliseconds DestroyTargetAndTimeTheEnd() {
        target.reset();
        EXPECT_TRUE(PumpUntil([&] { return !win::IsWindow(handle); }));
        const auto gone = std::chrono::steady_clock::now();
        EXPECT_TRUE(Ended());
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - gone);
    }

    webroadtest::PrivateFolders folders;
    std::string log = folders.file("player.log");
    std::string stateFile = folders.file("player.state");
    testsupport::ScopedEnv logEnv{"ORVANE_FAKE_PLAYER_LOG", log};
    testsupport::ScopedEnv stateEnv{"ORVANE_FAKE_PLAYER_STATE", stateFile};
    std::unique_ptr<QWidget> target;
    win::WindowHandle handle = 0;
    std::unique_ptr<platform::Process> proxy;
    std::chrono::steady_clock::time_point started;
};

TEST_F(HostProgramX11, FollowsThePagesUrlAndReportsStateChangesInsideTheTargetUntilItGoes) {
    ASSERT_TRUE(webroadtest::RegisterForUser(FAKE_PLAYER_CONTROL));
    std::mutex lock;
    std::map<std::string, std::string> urls;
    webroadtest::StubPipeServer server(webroadtest::WebRoadAnswer(
        [&](const std::string& w) {
            std::lock_guard<std::mutex> guard(lock);
            return urls[w];
        },
        [](const std::string&) { return std::string(); }));
    ASSERT_TRUE(server.Listening());
    const std::string w = win::FormatHandle(handle);
    auto setUrl = [&](const std::string& url) {
        std::lock_guard<std::mutex> guard(lock);
        urls[w] = url;
    };
    auto polls = [&] { return server.TextsStartingWith("geturl::win:" + w).size(); };
    auto setStates = [&] { return server.TextsStartingWith("setstate::"); };

    // The URL arrives whole, blanks and a switch-like tail included.
    const std::string url = "http://127.0.0.1:1/a b.torrent -win=9 视频";
    ASSERT_NO_FATAL_FAILURE(Start(ORVANE_PROXY, {WinArgument(), "-url=" + url}));
    ASSERT_TRUE(PumpUntil([&] { return setStates().size() == 1; }));
    // Nothing was stored for the window yet: the first answer is empty and is handed on too.
    EXPECT_EQ(Log(), (std::vector<std::string>{"created", "setOvUrl " + url, "setOvUrl "}));
    EXPECT_EQ(setStates()[0], "setstate::win:" + w + ",state:0");

    const auto children = ChildrenOf(handle);
    ASSERT_EQ(children.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] {
        const auto g = win::WindowGeometry(children[0]);
        return g && g->x == 0 && g->y == 0 && g->width == 400 && g->height == 300;
    }));

    for (const std::string next : {"http://next/one", "http://next/two"}) {
        setUrl(next);
        ASSERT_TRUE(PumpUntil([&] { return LogCount("setOvUrl " + next) == 1; }));
        const std::size_t seen = polls();
        ASSERT_TRUE(PumpUntil([&] { return polls() >= seen + 2; }));
        EXPECT_EQ(LogCount("setOvUrl " + next), 1) << next;
    }

    testsupport::WriteFile(stateFile, "3");
    ASSERT_TRUE(PumpUntil([&] { return setStates().size() == 2; }));
    const std::size_t seen = polls();
    ASSERT_TRUE(PumpUntil([&] { return polls() >= seen + 2; }));
    EXPECT_EQ(setStates(), (std::vector<std::string>{"setstate::win:" + w + ",state:0",
                                                     "setstate::win:" + w + ",state:3"}));

    // Polls follow the host's own 1000 ms timer, not the player's 5 ms one.
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    EXPECT_LE(polls(), static_cast<std::size_t>(elapsed.count()) + 2);

    const auto took = DestroyTargetAndTimeTheEnd();
    EXPECT_EQ(proxy->ExitCode(), 0);
    EXPECT_EQ(Log().back(), "destroyed");
    std::cout << "host program ended " << took.count() << " ms after its target window\n";
    RecordProperty("end_after_target_ms", static_cast<int>(took.count()));
}

TEST_F(HostProgramX11, EndsAtOnceWithNothingCreatedWhenTheTargetIsNoWindow) {
    ASSERT_TRUE(webroadtest::RegisterForUser(FAKE_PLAYER_CONTROL));
    const std::vector<std::vector<std::string>> cases = {
        {}, {"-win=0"}, {"-win=-5"}, {"-win=abc"}, {"-url=http://x/"}, {"-win=536870896"}};
    for (const auto& arguments : cases) {
        ASSERT_NO_FATAL_FAILURE(Start(ORVANE_PROXY, arguments));
        ASSERT_TRUE(Ended()) << (arguments.empty() ? "<none>" : arguments[0]);
        EXPECT_EQ(proxy->ExitCode(), 0);
    }
    EXPECT_EQ(testsupport::ReadFile(log), "");
}

TEST_F(HostProgramX11, TakesTheControlLibraryBesideItWhenTheClassIsNotRegistered) {
    // Copies of the program, one with a control library beside it and one without.
    const std::string withLibrary = folders.file("with/orvane_proxy");
    const std::string alone = folders.file("alone/orvane_proxy");
    for (const std::string& program : {withLibrary, alone}) {
        std::filesystem::create_directories(std::filesystem::path(program).parent_path());
        std::filesystem::copy_file(ORVANE_PROXY, program);
    }
    std::filesystem::copy_file(FAKE_PLAYER_CONTROL, folders.file("with/liborvane_ax.so"));

    ASSERT_NO_FATAL_FAILURE(Start(alone, {WinArgument(), "-url=x"}));
    ASSERT_TRUE(Ended());
    EXPECT_EQ(proxy->ExitCode(), 1);  // no control anywhere: it says why and ends

    ASSERT_NO_FATAL_FAILURE(Start(withLibrary, {WinArgument(), "-url=beside"}));
    ASSERT_TRUE(PumpUntil([&] { return LogCount("setOvUrl beside") == 1; }));
    EXPECT_EQ(ChildrenOf(handle).size(), 1u);
    DestroyTargetAndTimeTheEnd();
    EXPECT_EQ(proxy->ExitCode(), 0);
}

}  // namespace
