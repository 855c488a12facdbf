// The page host showing a page with browser controls, under X, with a stub BT server on the
// real pipe and the browser control registered for the user by the registration tool.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/process.h"
#include "support/private_folders.h"
#include "support/stub_pipe_server.h"
#include "support/x11_tree.h"
#include "testsupport/loopback.h"
#include "window/handle.h"
#include "window/x11_window.h"

namespace win = platform::window;

namespace {

const char kFirstUrl[] = "http://127.0.0.1:1/видео 1.torrent";
const char kSecondUrl[] = "magnet:?xt=urn:btih:2";

// Two controls, one by ProgID and one by class id, and an object of a class nobody knows.
// The script reads and writes the first control's members and shows what it saw as the title.
std::string Page() {
    return std::string(R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>loading</title></head>
<body style="margin:0">
<object id="first" type="application/x-qt-plugin" classid="Hallek.OrvaneAX" width="320" height="240">
  <param name="url" value=")") +
           kFirstUrl + R"(">
</object>
<object id="second" type="application/x-qt-plugin"
        classid="{62BA1F80-E8F4-40e1-AB8A-F33E51B70881}" width="200" height="100">
  <param name="url" value=")" +
           kSecondUrl + R"(">
</object>
<object id="stranger" type="application/x-qt-plugin" classid="Nobody.Here" width="10" height="10">
</object>
<script>
window.onload = function () {
  var a = document.getElementById('first');
  var before = a.url;
  a.PlayState = 7.5;
  a.GetVer = 'changed';
  a.setOvUrl('from script');
  document.title = [a.GetVer, a.PlayState, typeof a.PlayState, before, a.url].join('|');
};
</script>
</body></html>
)";
}

int RunToEnd(const std::string& program, const std::vector<std::string>& arguments) {
    auto process = platform::StartProcess(program, arguments);
    if (!process || !process->Wait(60000)) return -1;
    return process->ExitCode().value_or(-1);
}

// The handle in a "play::win:<handle>,url:<url>" request for `url`; 0 when there is none.
win::WindowHandle PlayedIn(const std::vector<std::string>& plays, const std::string& url) {
    for (const std::string& play : plays) {
        const std::string tail = ",url:" + url;
        if (play.size() > tail.size() &&
            play.compare(play.size() - tail.size(), tail.size(), tail) == 0)
            return win::ParseHandle(play.substr(10, play.size() - tail.size() - 10)).value_or(0);
    }
    return 0;
}

TEST(PageHost, CreatesThePagesControlsAndGivesTheirMembersToTheScript) {
    webroadtest::PrivateFolders folders;
    ASSERT_EQ(RunToEnd(REGSVR, {"-n", "-i:user", AXORVANE_LIBRARY}), 0);
    webroadtest::StubPipeServer server(
        webroadtest::WebRoadAnswer([](const std::string&) { return std::string(); },
                                   [](const std::string&) { return std::string(" 12"); }));
    ASSERT_TRUE(server.Listening());
    const std::string page = folders.file("page.html");
    testsupport::WriteFile(page, Page());

    auto host = platform::StartProcess(PAGEHOST, {page});
    ASSERT_TRUE(host);
    // The page closes with the test, however it ends.
    const std::unique_ptr<platform::Process, void (*)(platform::Process*)> closer(
        host.get(), [](platform::Process* p) { p->Kill(); });
    const std::string title = std::string("1.0.0.37|12|number|") + kFirstUrl + "|from script";
    win::WindowHandle window = 0;
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        window = win::FindVisibleWindowByTitle(title);
        return window != 0;
    }));
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return server.TextsStartingWith("play::").size() == 2; }));

    // Each control asked for the server, sent its parameter's URL before it had a window, and
    // then its own "play" with its own window, which lies inside the page's window.
    EXPECT_EQ(server.TextsStartingWith("bturl::").size(), 2u);
    EXPECT_EQ(server.TextsStartingWith("seturl::win:0,url:"),
              (std::vector<std::string>{std::string("seturl::win:0,url:") + kFirstUrl,
                                        std::string("seturl::win:0,url:") + kSecondUrl}));
    const auto plays = server.TextsStartingWith("play::");
    const win::WindowHandle first = PlayedIn(plays, kFirstUrl);
    const win::WindowHandle second = PlayedIn(plays, kSecondUrl);
    ASSERT_NE(first, 0u) << plays[0];
    ASSERT_NE(second, 0u) << plays[1];
    EXPECT_NE(first, second);
    EXPECT_TRUE(webroadtest::IsDescendantOf(first, window));
    EXPECT_TRUE(webroadtest::IsDescendantOf(second, window));
    const auto states = server.TextsStartingWith("getstate::");
    EXPECT_FALSE(states.empty());
    const auto texts = server.Texts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) {
                                return t.rfind("seturl::", 0) == 0 && t.size() > 17 &&
                                       t.substr(t.size() - 16) == ",url:from script";
                            }),
              1);
}

}  // namespace
