// The web-page road end to end under X, nothing stood in for: the page host shows a page whose
// browser control carries the address of a torrent on the web service, seeded by a peer on
// loopback. The control starts the BT server, the BT server starts the host program for the
// control's "play", and the player control inside it resolves the address through the web
// service, streams the torrent through the BT server and shows the video inside the control's
// window while the page's script reads the play state. Closing the page ends the host program
// and leaves the BT server running.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <regex>

#include "loopback_seeder.h"
#include "pipe_client.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "support/private_folders.h"
#include "support/processes.h"
#include "support/x11_tree.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "webservice_process.h"
#include "window/x11_window.h"

namespace fs = std::filesystem;
namespace win = platform::window;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// The page's title while the player reports that it plays.
const std::string kPlaying = "PlayState 3";

// The page: the browser control with the address as its "url" parameter, and a script that
// shows the control's play state as the window's title four times a second.
std::string Page(const std::string& url) {
    return R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>loading</title></head>
<body style="margin:0;background:#fff">
<object id="player" type="application/x-qt-plugin" classid="Hallek.OrvaneAX" width="480" height="360">
  <param name="url" value=")" +
           url + R"(">
</object>
<script>
var player = document.getElementById('player');
setInterval(function () { document.title = 'PlayState ' + player.PlayState; }, 250);
</script>
</body></html>
)";
}

int Channel(std::uint32_t colour, int shift) { return static_cast<int>(colour >> shift & 0xFF); }

// Whether `samples` show the test picture: its yellow, cyan and magenta bars each cover a
// good part of them (nothing of the player's own look has those colours).
bool ShowsTestPicture(const std::vector<std::uint32_t>& samples) {
    int bars[3] = {};  // yellow (no blue), magenta (no green), cyan (no red)
    for (const std::uint32_t c : samples)
        for (int low = 0; low < 3; ++low) {
            bool match = true;
            for (int channel = 0; channel < 3; ++channel) {
                const int value = Channel(c, 8 * channel);
                match = match && (channel == low ? value < 96 : value > 160);
            }
            bars[low] += match;
        }
    const auto enough = [&](int count) { return count * 40 > static_cast<int>(samples.size()); };
    return !samples.empty() && std::all_of(std::begin(bars), std::end(bars), enough);
}

// How many of the samples differ clearly between two looks at the same area.
int Changed(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int changed = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        bool differs = false;
        for (int shift : {0, 8, 16})
            differs = differs || std::abs(Channel(a[i], shift) - Channel(b[i], shift)) > 40;
        changed += differs;
    }
    return changed;
}

class PageRoadE2ETest : public ::testing::Test {
protected:
    PageRoadE2ETest() {
        // The BT server outlives the page host that started it; this process takes it over
        // then, so that it is reaped here.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
    }

    void TearDown() override {
        if (page_) {
            page_->Kill();
            page_->Wait(10000);
        }
        for (const pid_t pid : webroadtest::ProcessesRunning(Bin("orvane_proxy")))
            kill(pid, SIGKILL);
        EndBtServers();
        ReleaseSegments();
        if (HasFailure()) std::cerr << "--- output of the programs\n" << Log() << "---\n";
    }

    std::string Folder(const std::string& name) const {
        fs::create_directories(folders_.file(name));
        return folders_.file(name);
    }
    std::string Bin(const std::string& name) const { return folders_.file("install/bin/" + name); }
    std::string Log() const { return testsupport::ReadFile(folders_.file("programs.log")); }

    // A video made for the test, its torrent in the web service's folder, and a peer on
    // loopback that seeds it. The video is named after the test's folder: peers that other
    // tests run find each other on the machine, and a torrent of the same name and content
    // would be the same torrent to them.
    std::string SeededTorrent(kvbt_testing::LoopbackSeeder& seeder) {
        const std::string name = fs::path(folders_.temp().path()).filename().string();
        const std::string video = Folder("seed") + "/" + name + ".mp4";
        EXPECT_TRUE(testsupport::MakeTestVideo(video, 40.0, 320, 240));
        const std::string torrent = Folder("site/media") + "/movie.torrent";
        EXPECT_TRUE(kvbt_testing::MakeTorrent(video, 32768, torrent));
        EXPECT_TRUE(seeder.Seed(torrent, Folder("seed")));
        return torrent;
    }

    // The build's programs as an install folder of the test's own, with its configuration
    // beside it (the web service as base URL), and the user's stream cache in the test's
    // folder. The programs are hard links to the build's: nothing is written through them.
    void MakeInstallFolder(const std::string& baseUrl) {
        std::error_code error;
        fs::copy(ORVANE_DIST_BIN, Folder("install/bin"),
                 fs::copy_options::recursive | fs::copy_options::create_hard_links, error);
        if (error) fs::copy(ORVANE_DIST_BIN, Folder("install/bin"), fs::copy_options::recursive);
        testsupport::WriteFile(folders_.file("install/cfg/config.ini"),
                               "[param]\nbaseurl=" + baseUrl + "\n");
        testsupport::WriteFile(folders_.file("config/orvane/path.ini"),
                               "[AppSetting]\nsavePath=" + Folder("streams") + "/\n");
        Folder("install/data");
    }

    // Registers both controls for the user, the way the run script does.
    void RegisterControls() {
        for (const char* control : {"liborvane_ax.so", "libaxorvane.so"}) {
            auto regsvr = platform::StartProcess(Bin("regsvr"), {"-n", "-i:user", Bin(control)});
            ASSERT_TRUE(regsvr && regsvr->Wait(60000)) << control;
            EXPECT_EQ(regsvr->ExitCode(), 0) << control;
        }
    }

    // The page host, with its output and that of every program it starts in the log.
    void OpenPage(const std::string& page) {
        const int log = open(folders_.file("programs.log").c_str(),
                             O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        ASSERT_GE(log, 0);
        std::fflush(stdout);
        std::fflush(stderr);
        const int out = dup(STDOUT_FILENO), err = dup(STDERR_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        page_ = platform::StartProcess(Bin("pagehost"), {page});
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        close(out);
        close(err);
        close(log);
        ASSERT_TRUE(page_);
    }

    // The process of `program` in the install folder, once there is exactly one; 0 when not.
    pid_t WaitForOne(const std::string& program) {
        std::vector<pid_t> found;
        testsupport::WaitUntil(
            [&] {
                found = webroadtest::ProcessesRunning(Bin(program));
                return found.size() == 1;
            },
            60s);
        return found.size() == 1 ? found[0] : 0;
    }

    // Waits until the page's window shows moving frames of the test picture in `area`.
    void ExpectFrames(win::WindowHandle pageWindow, const webroadtest::Area& area) {
        std::vector<std::uint32_t> first, later;
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] {
                first = webroadtest::SampleColours(pageWindow, area, 4);
                return ShowsTestPicture(first);
            },
            120s, 100ms))
            << "the control's window never showed the video";
        EXPECT_TRUE(testsupport::WaitUntil(
            [&] {
                later = webroadtest::SampleColours(pageWindow, area, 4);
                return ShowsTestPicture(later) &&
                       Changed(first, later) * 100 > static_cast<int>(first.size());
            },
            60s, 100ms))
            << "the picture stands still";
    }

    // Closes the page; answers how long the host program took to end, with its exit code as
    // the BT server tells it.
    std::chrono::milliseconds ClosePage(win::WindowHandle pageWindow, pid_t proxy, int* exitCode) {
        const auto closing = Clock::now();
        EXPECT_TRUE(webroadtest::RequestClose(pageWindow));
        EXPECT_TRUE(page_->Wait(60000)) << "the page did not close";
        EXPECT_EQ(page_->ExitCode(), 0);
        const std::regex ended("orvane_proxy " + std::to_string(proxy) +
                               " ended with exit code (\\d+)");
        std::smatch match;
        std::string log;
        EXPECT_TRUE(testsupport::WaitUntil(
            [&] { return std::regex_search(log = Log(), match, ended); }, 30s, 5ms))
            << "the host program did not end";
        *exitCode = match.empty() ? -1 : std::stoi(match[1]);
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closing);
    }

    // Asks each BT server of the install folder to quit, and ends it when it does not.
    void EndBtServers() {
        for (const pid_t pid : webroadtest::ProcessesRunning(Bin("orvane"))) {
            char* reply = nullptr;
            PipeCall(kBtServerPipeName, "quit::", &reply, 10000);
            PipeFreeReply(reply);
            if (!testsupport::WaitUntil([&] { return !webroadtest::IsRunning(pid); }, 10s))
                kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }

    // Segments of a killed BT server, released while their key files in the runtime folder
    // still exist.
    static void ReleaseSegments() {
        for (const char* key : {"btserver", "bturl"}) {
            platform::UserSegment segment(QString::fromLatin1(key));
            for (int i = 0; i < 2; ++i)
                if (platform::AttachSegment(segment, QSharedMemory::ReadOnly)) segment.detach();
        }
    }

    webroadtest::PrivateFolders folders_;  // runtime (the pipe) and configuration (registry)
    testsupport::ScopedEnv tmp_{"TMPDIR", Folder("tmp")};
    testsupport::ScopedEnv cache_{"XDG_CACHE_HOME", Folder("cache")};
    testsupport::ScopedEnv data_{"XDG_DATA_HOME", Folder("data")};
    std::unique_ptr<platform::Process> page_;
};

TEST_F(PageRoadE2ETest, APageShowsItsTorrentPlayingAndClosingItEndsOnlyTheHostProgram) {
    kvbt_testing::LoopbackSeeder seeder(0, 0, kvbt_testing::SeederTransport::TcpAndUtp);
    SeededTorrent(seeder);
    // The web service resolves the page's address to the torrent, with the seeder as its
    // source, after a short advertisement. The two advertisement lists answer only after the
    // test: shown, their windows would lie over the page (no window manager places them).
    webservice_testing::WebServiceProcess service(
        {"--root", Folder("site"), "--set", "url=${base}media/movie.torrent", "--set",
         "servers=127.0.0.1:" + std::to_string(seeder.Port()), "--set", "ad=${base}ad.html?ms=300",
         "--set", "title=movie", "--set", "siyou=false", "--set", "httpurl=", "--delay",
         "get_adlist.html?type=login=600000", "--delay", "get_adlist.html?type=focus=600000"});
    ASSERT_TRUE(service.Started());
    const std::string address = service.Url("media/movie.torrent");
    MakeInstallFolder(service.BaseUrl());
    ASSERT_NO_FATAL_FAILURE(RegisterControls());
    const std::string page = folders_.file("page.html");
    testsupport::WriteFile(page, Page(address));
    ASSERT_NO_FATAL_FAILURE(OpenPage(page));

    // The control started the BT server from its folder, and the BT server the host program
    // for the control's window with the page's address.
    const pid_t btServer = WaitForOne("orvane");
    ASSERT_NE(btServer, 0);
    EXPECT_EQ(webroadtest::ParentOf(btServer), page_->Pid());
    EXPECT_EQ(webroadtest::ArgumentsOf(btServer), std::vector<std::string>{"-startbt"});
    const pid_t proxy = WaitForOne("orvane_proxy");
    ASSERT_NE(proxy, 0);
    EXPECT_EQ(webroadtest::ParentOf(proxy), btServer);
    const std::vector<std::string> arguments = webroadtest::ArgumentsOf(proxy);
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_EQ(arguments[1], "-url=" + address);
    const win::WindowHandle control =
        win::ParseHandle(arguments[0].substr(arguments[0].find('=') + 1)).value_or(0);
    ASSERT_NE(control, 0u) << arguments[0];

    // The page's script reads the player's state as playing; the player is a window of the
    // host program inside the control's window.
    win::WindowHandle pageWindow = 0;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return (pageWindow = win::FindVisibleWindowByTitle(kPlaying)) != 0; }, 120s, 100ms));
    EXPECT_TRUE(webroadtest::IsDescendantOf(control, pageWindow));
    const auto children = webroadtest::ChildrenOf(control);
    EXPECT_TRUE(std::any_of(children.begin(), children.end(), [&](win::WindowHandle child) {
        return webroadtest::ProcessOfWindow(child) == proxy;
    }));

    // The page's window shows the video's frames where the control is (the control bar at its
    // foot left out), and the script still reads the state as playing.
    std::optional<webroadtest::Area> area = webroadtest::AreaIn(control, pageWindow);
    ASSERT_TRUE(area);
    area->height = area->height * 7 / 10;
    ASSERT_NO_FATAL_FAILURE(ExpectFrames(pageWindow, *area));
    EXPECT_EQ(win::WindowTitle(pageWindow), kPlaying);

    // The address was resolved once, the torrent came from the web service and the stream
    // from the seeder; the player found the BT server running and started none of its own.
    EXPECT_EQ(service.CountRequests("GET /Orvane/getvideo.js?seed=" + address), 1);
    EXPECT_EQ(service.CountRequests("GET /Orvane/ad.html?ms=300"), 1);
    EXPECT_GE(service.CountRequests("GET /Orvane/media/movie.torrent"), 1);
    EXPECT_GT(seeder.BytesUploaded(), 0);
    EXPECT_EQ(webroadtest::ProcessesRunning(Bin("orvane")), std::vector<pid_t>{btServer});
    EXPECT_EQ(Log().find("BT server not started"), std::string::npos);

    // Closing the page ends the host program with exit code 0 and leaves the BT server serving.
    int exitCode = -1;
    const std::chrono::milliseconds took = ClosePage(pageWindow, proxy, &exitCode);
    EXPECT_EQ(exitCode, 0);
    std::cout << "orvane_proxy ended " << took.count() << " ms after the page was asked to close\n";
    RecordProperty("proxy_end_ms", static_cast<int>(took.count()));
    EXPECT_TRUE(webroadtest::IsRunning(btServer));
    char* reply = nullptr;
    EXPECT_TRUE(PipeCall(kBtServerPipeName, "bturl::", &reply, 30000));
    const PipeReply owned(reply);
    EXPECT_TRUE(reply && std::regex_match(reply, std::regex("http://127\\.0\\.0\\.1:\\d+/")))
        << (reply ? reply : "no reply");
}

// A page that creates controls in a row, each with a window of its own, and keeps them. Each
// "play" would start a host program holding a whole player; the BT server runs at most eight,
// one per window. The host program here is a stand-in that lives as a real one does, as long
// as its control's window (a real one per control would cost the machine gigabytes).
TEST_F(PageRoadE2ETest, ControlsCreatedInARowStartAtMostEightHostProgramsOnePerWindow) {
    webservice_testing::WebServiceProcess service({"--delay", "get_adlist.html?type=login=600000",
                                                   "--delay", "get_adlist.html?type=focus=600000"});
    ASSERT_TRUE(service.Started());
    MakeInstallFolder(service.BaseUrl());
    fs::remove(Bin("orvane_proxy"));  // a link into the build's folder: replaced, not written
    fs::copy_file(ORVANE_TEST_HELPER, Bin("orvane_proxy"));
    const std::string records = Folder("hosts");
    const testsupport::ScopedEnv recordEnv("ORVANE_PROXY_RECORD_DIR", records);
    const testsupport::ScopedEnv holdEnv("ORVANE_PROXY_HOLD_SECONDS", "120");
    ASSERT_NO_FATAL_FAILURE(RegisterControls());
    const std::string page = folders_.file("controls.html");
    testsupport::WriteFile(page, R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>controls</title></head><body>
<div id="box"></div>
<script>
function make(count) {
  for (var i = 0; i < count; ++i)
    document.getElementById('box').insertAdjacentHTML('beforeend',
      '<object type="application/x-qt-plugin" classid="Hallek.OrvaneAX" width="40" height="30">' +
      '<param name="url" value="ov://' + i + '"></object>');
  document.body.offsetHeight;
  document.title = 'made ' + document.getElementsByTagName('object').length;
}
make(30);
</script></body></html>
)");
    ASSERT_NO_FATAL_FAILURE(OpenPage(page));
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return win::FindVisibleWindowByTitle("made 30") != 0; }, 60s, 50ms));

    // The window switch of every host program started so far.
    const auto starts = [&] {
        std::vector<std::string> windows;
        for (const auto& entry : fs::directory_iterator(records)) {
            if (entry.path().extension() != ".txt") continue;
            const std::string record = testsupport::ReadFile(entry.path().string());
            windows.push_back(record.substr(0, record.find('\n')));
        }
        return windows;
    };
    std::size_t mostRunning = 0;
    const auto running = [&] {
        const std::size_t now = webroadtest::ProcessesRunning(Bin("orvane_proxy")).size();
        mostRunning = std::max(mostRunning, now);
        return now;
    };
    ASSERT_TRUE(testsupport::WaitUntil([&] { return starts().size() >= 8; }, 60s));
    // The queued plays of the other 22 controls keep coming; none starts another.
    EXPECT_FALSE(testsupport::WaitUntil([&] { return running() > 8 || starts().size() > 8; }, 5s));
    std::vector<std::string> windows = starts();
    std::sort(windows.begin(), windows.end());
    EXPECT_EQ(std::unique(windows.begin(), windows.end()), windows.end());
    EXPECT_LE(mostRunning, 8u);
    EXPECT_EQ(running(), 8u);
    std::cout << "host programs at most " << mostRunning << " at once for 30 controls\n";
}

}  // namespace
