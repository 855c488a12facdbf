#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <filesystem>

#include "app_values.h"
#include "bt_server_test_support.h"
#include "host_programs.h"
#include "msg_thread.h"
#include "scoped_app_directory.h"
#include "streaming_library.h"
#include "testsupport/loopback.h"
#include "window_values.h"

namespace {

// The engine block the stand-in library gives a known task.
QByteArray KnownBlock() {
    QByteArray block(432, '\0');
    for (int i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + 3);
    return block;
}

QByteArray PieceMap(int pieces) {
    QByteArray map;
    for (int i = 0; i < pieces; ++i) map += i % 2 == 0 ? '1' : '0';
    return map;
}

// A task-information reply: 600 Base64 characters of the 448-byte little-endian record
// (size 448, engine block at 8, a non-zero slot at 440 exactly when a piece map follows),
// then "," and the piece map only when there is one.
void ExpectTaskInfoReply(const QByteArray& reply, const QByteArray& block,
                         const QByteArray& pieceMap) {
    const int comma = reply.indexOf(',');
    EXPECT_EQ(comma >= 0, !pieceMap.isEmpty()) << reply.constData();
    const QByteArray text = comma < 0 ? reply : reply.left(comma);
    ASSERT_EQ(text.size(), 600);
    const QByteArray record = QByteArray::fromBase64(text);
    ASSERT_EQ(record.size(), 448);
    EXPECT_EQ(record.toBase64(), text);  // standard alphabet with padding
    EXPECT_EQ(ReadLe32(record, 0), 448u);
    EXPECT_EQ(ReadLe32(record, 4), 0u);
    EXPECT_EQ(record.mid(8, 432), block);
    EXPECT_EQ(ReadLe32(record, 440) != 0, !pieceMap.isEmpty());
    EXPECT_EQ(ReadLe32(record, 444), 0u);
    EXPECT_EQ(comma < 0 ? QByteArray() : reply.mid(comma + 1), pieceMap);
}

class HandleCommandTest : public PipeTestEnvironment {
protected:
    void SetUp() override { ASSERT_TRUE(fake.Loaded()); }
    // Calls logged since the previous look (the library's own loading aside).
    QStringList NewCalls() {
        QStringList all = FakeCalls();
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [](const QString& line) { return line.startsWith("load "); }),
                  all.end());
        const QStringList fresh = all.mid(seen);
        seen = all.size();
        return fresh;
    }

    FakeStreamingLibraryInProcess fake{"http://127.0.0.1:17799/"};
    int seen = 0;
    // No host program in this folder: "play" cannot start one.
    ScopedAppDirectory app{temp.file("empty-bin")};
};

enum class TaskInfo { None, Unknown, Known };

struct Step {
    QByteArray request;
    QByteArray reply;  // for TaskInfo::None
    bool goesOn;
    QStringList calls;  // what the streaming service was asked, in order
    TaskInfo taskInfo = TaskInfo::None;
    int pieces = 0;
};

TEST_F(HandleCommandTest, EveryCommandAnswersAsTheTableSays) {
    const QByteArray utf8Url = QString::fromUtf8("http://例え.jp/视频?a=1").toUtf8();
    const std::vector<Step> steps = {
        {"bturl::", "http://127.0.0.1:17799/", true, {}},
        {"speedlimit::download:1024,upload:2048",
         "",
         true,
         {"speedlimit-begin 1024 2048", "speedlimit-end 1024 2048"}},
        // Missing or non-numeric values count as 0.
        {"speedlimit::download:fast", "", true, {"speedlimit-begin 0 0", "speedlimit-end 0 0"}},
        {"speedlimit::upload:-1", "", true, {"speedlimit-begin 0 -1", "speedlimit-end 0 -1"}},
        {"gettaskinfo::url:http://x/never-opened.torrent",
         "",
         true,
         {"gettaskinfo http://x/never-opened.torrent", "free"},
         TaskInfo::Unknown},
        {"gettaskinfo::url:http://x/known.torrent?pieces=5",
         "",
         true,
         {"gettaskinfo http://x/known.torrent?pieces=5", "free"},
         TaskInfo::Known,
         5},
        // A known task without pieces yet: no "," either.
        {"gettaskinfo::url:known?pieces=0",
         "",
         true,
         {"gettaskinfo known?pieces=0", "free"},
         TaskInfo::Known,
         0},
        {"gettaskinfo::url:http://x/fail", "", true, {"gettaskinfo http://x/fail"}},
        {"freetaskinfo::", "", true, {}},
        // "play" answers "0" even when the host program cannot start, and stores nothing.
        {"play::win:77,url:http://x/a", "0", true, {}},
        {"geturl::win:77", "", true, {}},
        {"getstate::win:77", "", true, {}},
        // A value ends at the first ",".
        {"seturl::win:77,url:http://x/a,b", "0", true, {}},
        {"geturl::win:77", "http://x/a", true, {}},
        {"geturl::win:-78", "", true, {}},
        {"seturl::win:77,url:" + utf8Url, "0", true, {}},
        {"geturl::win:77", utf8Url, true, {}},
        // A URL set before the browser control had a window lands under "0".
        {"seturl::win:0,url:early", "0", true, {}},
        {"geturl::win:0", "early", true, {}},
        {"setstate::win:77,state:3", "0", true, {}},
        {"getstate::win:77", "3", true, {}},
        {"setstate::win:77,state:12", "0", true, {}},
        {"getstate::win:77", "12", true, {}},
        // The window text is the key as sent: "077" is another window.
        {"getstate::win:077", "", true, {}},
        {"getstate::win:-5", "", true, {}},
        {"nosuchcommand::win:1", "", true, {}},
        {"getstate", "", true, {}},  // without "::" the command word is empty
        {"quit", "", true, {}},
        {"", "", true, {}},
        {"QUIT::", "", true, {}},  // commands compare exactly
        {"quit::", "", false, {}},
    };

    QMsgThread thread;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.request.constData());
        QByteArray reply = "left over";
        EXPECT_EQ(thread.HandleCommand(step.request, reply), step.goesOn);
        switch (step.taskInfo) {
            case TaskInfo::None:
                EXPECT_EQ(reply, step.reply);
                break;
            case TaskInfo::Unknown:
                ExpectTaskInfoReply(reply, QByteArray(432, '\0'), QByteArray());
                break;
            case TaskInfo::Known:
                ExpectTaskInfoReply(reply, KnownBlock(), PieceMap(step.pieces));
                break;
        }
        EXPECT_EQ(NewCalls(), step.calls);
    }
    EXPECT_EQ(fake.LivePieceMaps(), 0);
}

TEST_F(HandleCommandTest, WithoutTheServiceOrItsExportsTaskInfoAndLimitsAnswerEmpty) {
    SetStreamingLibraryHandle(nullptr);
    QMsgThread thread;
    QByteArray reply = "left over";
    EXPECT_TRUE(thread.HandleCommand("gettaskinfo::url:http://x/known", reply));
    EXPECT_EQ(reply, QByteArray());
    EXPECT_TRUE(thread.HandleCommand("speedlimit::download:1,upload:2", reply));
    EXPECT_EQ(reply, QByteArray());

    // A library without the streaming exports.
    void* other = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(other, nullptr);
    SetStreamingLibraryHandle(other);
    EXPECT_TRUE(thread.HandleCommand("gettaskinfo::url:http://x/known", reply));
    EXPECT_EQ(reply, QByteArray());
    EXPECT_TRUE(thread.HandleCommand("speedlimit::download:1,upload:2", reply));
    SetStreamingLibraryHandle(nullptr);
    dlclose(other);

    EXPECT_EQ(NewCalls(), QStringList());
}

// Heap bytes in use by this process.
size_t HeapInUse() { return mallinfo2().uordblks; }

// Pages that come and go must not grow the BT server: 2,000 distinct windows with a 60 KB URL
// each would hold some 240 MB, where only the newest windows are kept.
TEST_F(HandleCommandTest, AFloodOfDistinctWindowsKeepsMemoryBoundedAndTheLiveWindows) {
    struct Case {
        const char *set, *get, *key;
    };
    for (const Case& c : {Case{"seturl", "geturl", "url"}, Case{"setstate", "getstate", "state"}}) {
        SCOPED_TRACE(c.set);
        QMsgThread thread;
        QByteArray reply;
        const auto set = [&](const QByteArray& window, const QByteArray& value) {
            thread.HandleCommand(QByteArray(c.set) + "::win:" + window + "," + c.key + ":" + value,
                                 reply);
            EXPECT_EQ(reply, "0");
        };
        const auto get = [&](const QByteArray& window) {
            thread.HandleCommand(QByteArray(c.get) + "::win:" + window, reply);
            return reply;
        };
        set("live", "first");
        set("live", "kept");  // a window's new value replaces the old one
        set("gone", "old");
        const size_t before = HeapInUse();
        const QByteArray filler(60 * 1024, 'x');
        for (int i = 0; i < 2000; ++i) {
            set(QByteArray::number(i), QByteArray::number(i) + filler);
            if (i % 10 == 0) {
                EXPECT_EQ(get("live"), "kept");  // its host program keeps asking
            }
        }
        const size_t after = HeapInUse();
        EXPECT_LT(after > before ? after - before : 0, 32u * 1024 * 1024);

        EXPECT_EQ(get("live"), "kept");
        EXPECT_EQ(get("gone"), "");
        EXPECT_EQ(get("0"), "");
        EXPECT_EQ(get("1999"), "1999" + filler);
        EXPECT_EQ(get("1999"), "1999" + filler);
        const int oldestKept = 2000 - (WindowValues::kMaxWindows - 1);
        EXPECT_EQ(get(QByteArray::number(oldestKept)), QByteArray::number(oldestKept) + filler);
        EXPECT_EQ(get(QByteArray::number(oldestKept - 1)), "");
        // Asking about windows nobody set stores nothing and pushes nobody out.
        for (int i = 0; i < 500; ++i) get("never" + QByteArray::number(i));
        EXPECT_EQ(get(QByteArray::number(oldestKept)), QByteArray::number(oldestKept) + filler);
    }
}

// Host programs that run on as real ones do: a page that creates controls in a row must not
// get one player process per "play".
class HostProgramLimitTest : public PipeTestEnvironment {
protected:
    void SetUp() override { ASSERT_TRUE(fake.Loaded()); }
    void Play(int win, const std::string& url) {
        QByteArray reply;
        thread.HandleCommand(
            QByteArray::fromStdString("play::win:" + std::to_string(win) + ",url:" + url), reply);
        EXPECT_EQ(reply, "0");
    }
    std::string GetUrl(int win) {
        QByteArray reply;
        thread.HandleCommand("geturl::win:" + QByteArray::number(win), reply);
        return reply.toStdString();
    }
    // The windows of the host programs started so far, in sorted order, one a line.
    std::string StartedWindows() const {
        QStringList windows;
        for (const QStringList& start : HostProgramStarts()) windows << start.value(0);
        windows.sort();
        return windows.join('\n').toStdString();
    }
    // Ends the host program started for `win` (it notices within 100 ms).
    void Release(int win) {
        for (const auto& entry : std::filesystem::directory_iterator(temp.file("hosts"))) {
            if (entry.path().extension() != ".txt") continue;
            if (testsupport::ReadFile(entry.path().string())
                    .rfind("-win=" + std::to_string(win) + "\n", 0) != 0)
                continue;
            testsupport::WriteFile(temp.file("hosts/" + entry.path().stem().string() + ".release"),
                                   "");
        }
    }

    FakeStreamingLibraryInProcess fake{"http://127.0.0.1:17799/"};
    ScopedAppDirectory app{MakeInstallFolder("bin", "")};
    testsupport::ScopedEnv hold{"ORVANE_PROXY_HOLD_SECONDS", "120"};
    QMsgThread thread;
};

TEST_F(HostProgramLimitTest, OnePerWindowAndAtMostEightAtOnce) {
    for (int win = 1; win <= 3; ++win) Play(win, "http://x/" + std::to_string(win));
    // A window whose host program runs: nothing starts, and that program finds the new URL
    // at its next "geturl".
    Play(2, "http://x/again");
    EXPECT_EQ(GetUrl(2), "http://x/again");
    EXPECT_FALSE(testsupport::WaitUntil([&] { return HostProgramStarts().size() > 3; },
                                        std::chrono::milliseconds(1000)));
    EXPECT_EQ(StartedWindows(), "-win=1\n-win=2\n-win=3");

    for (int win = 4; win <= 30; ++win) Play(win, "http://x/" + std::to_string(win));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return HostProgramStarts().size() >= 8; }));
    EXPECT_EQ(StartedWindows(), "-win=1\n-win=2\n-win=3\n-win=4\n-win=5\n-win=6\n-win=7\n-win=8");
    // The refused windows are not remembered as running, nor given the URL.
    EXPECT_EQ(GetUrl(9), "");

    // Once one has ended, the next window gets one; the ended window's slot is taken again.
    Release(1);
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        Play(9, "http://x/9");
        return HostProgramStarts().size() == 9;
    }));
    Play(1, "http://x/1");
    Play(10, "http://x/10");
    EXPECT_FALSE(testsupport::WaitUntil([&] { return HostProgramStarts().size() > 9; },
                                        std::chrono::milliseconds(1000)));
    EXPECT_EQ(StartedWindows(),
              "-win=1\n-win=2\n-win=3\n-win=4\n-win=5\n-win=6\n-win=7\n-win=8\n-win=9");
    for (int win = 1; win <= 9; ++win) Release(win);
}

}  // namespace
