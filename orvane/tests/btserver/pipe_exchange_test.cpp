// The pipe's client and server ends talking over the real pipe, with the server thread in
// this process and the stand-in streaming library loaded.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app_values.h"
#include "bt_server_queries.h"
#include "bt_server_test_support.h"
#include "msg_thread.h"
#include "pipe_client.h"
#include "pipe_server_handle.h"
#include "platform/named_pipe.h"
#include "scoped_app_directory.h"
#include "testsupport/loopback.h"

namespace {

class PipeExchangeTest : public PipeTestEnvironment {
protected:
    void SetUp() override {
        ASSERT_TRUE(fake.Loaded());
        thread = std::make_unique<QMsgThread>();
        thread->start();
        ASSERT_EQ(WaitForBtServer(), "http://127.0.0.1:17790/");
    }
    void TearDown() override {
        if (thread) {
            EXPECT_TRUE(thread->Stop(10000));
        }
        thread.reset();
    }
    int LivePieceMaps() const { return fake.LivePieceMaps(); }

    FakeStreamingLibraryInProcess fake{"http://127.0.0.1:17790/"};
    ScopedAppDirectory app{MakeInstallFolder("bin", "")};
    std::unique_ptr<QMsgThread> thread;
};

TEST_F(PipeExchangeTest, ThePlayersQueriesReachTheServiceAndComeBack) {
    SetAppValue("bturl", "stale");
    QueryBtUrl();
    EXPECT_EQ(AppValue("bturl").toString(), "http://127.0.0.1:17790/");

    SendSpeedLimit(102400, 0);
    EXPECT_TRUE(FakeCalls().contains("speedlimit-end 102400 0"));

    // A magnet link outside Latin-1 arrives as the UTF-8 bytes the streaming service keys
    // its task by.
    const QString magnet = QString::fromUtf8("magnet:?xt=urn:btih:known&dn=视频 één&pieces=20");
    QByteArray info = "unchanged";
    QueryTaskInfo(magnet, info);
    EXPECT_TRUE(FakeCalls().contains(QString("gettaskinfo ") + magnet))
        << FakeCalls().join('|').toStdString();
    ASSERT_EQ(info.size(), 448 + 20);
    EXPECT_EQ(ReadLe32(info, 0), 448u);
    EXPECT_EQ(static_cast<unsigned char>(info[8]), 3);
    EXPECT_EQ(static_cast<unsigned char>(info[9]), 10);
    EXPECT_NE(ReadLe32(info, 440), 0u);
    EXPECT_EQ(info.mid(448), QByteArray("10101010101010101010"));

    // On the wire: 600 Base64 characters, then "," and the map only when there is one.
    const std::string wire = PipeRequest("gettaskinfo::url:http://x/known.torrent");
    EXPECT_EQ(wire.find(','), 600u);
    EXPECT_EQ(wire.substr(600), ",10101010");
    EXPECT_EQ(PipeRequest("gettaskinfo::url:http://x/other.torrent").size(), 600u);

    // Unknown stream: the zero record, no piece map.
    QueryTaskInfo("http://127.0.0.1:9001/btroot/none", info);
    ASSERT_EQ(info.size(), 448);
    EXPECT_EQ(ReadLe32(info, 0), 448u);
    EXPECT_EQ(info.mid(4), QByteArray(444, '\0'));

    // The service refused: an empty reply, which empties the record.
    QueryTaskInfo("http://x/fail", info);
    EXPECT_EQ(info, QByteArray());
    EXPECT_EQ(LivePieceMaps(), 0);
}

TEST_F(PipeExchangeTest, AReplyTooLongForOneMessageIsNotSentAndTheRecordStays) {
    // 600 + "," + 64933 pieces is 65534 bytes: the largest reply that fits.
    QByteArray info = "unchanged";
    QueryTaskInfo("known?pieces=64933", info);
    EXPECT_EQ(info.size(), 448 + 64933);
    info = "unchanged";
    QueryTaskInfo("known?pieces=64934", info);
    EXPECT_EQ(info, QByteArray("unchanged"));
    EXPECT_EQ(LivePieceMaps(), 0);
    EXPECT_EQ(PipeRequest("getstate::win:1"), "");  // the server goes on
}

// Debug output of this process, from any thread.
class DebugOutput {
public:
    DebugOutput() {
        Lines().clear();
        previous_ =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
                std::lock_guard<std::mutex> guard(Lock());
                Lines() << text;
            });
    }
    ~DebugOutput() { qInstallMessageHandler(previous_); }
    // The lines that contain `part`.
    QStringList With(const QString& part) const {
        std::lock_guard<std::mutex> guard(Lock());
        return Lines().filter(part);
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static QStringList& Lines() {
        static QStringList lines;
        return lines;
    }
    QtMessageHandler previous_;
};

TEST_F(PipeExchangeTest, PlayStartsTheHostProgramWithTheWindowAndTheWholeUrl) {
    const DebugOutput output;
    EXPECT_EQ(PipeRequest("play::win:123,url:http://h/a b.mp4?x= -win=9"), "0");
    EXPECT_EQ(PipeRequest("play::url:http://h/no-window"), "0");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return HostProgramStarts().size() == 2; }));
    auto starts = HostProgramStarts();
    std::sort(starts.begin(), starts.end());
    EXPECT_EQ(starts[0], (QStringList{"-win=", "-url=http://h/no-window"}));
    EXPECT_EQ(starts[1], (QStringList{"-win=123", "-url=http://h/a b.mp4?x= -win=9"}));
    EXPECT_EQ(PipeRequest("geturl::win:123"), "");
    // Nobody waits for a host program, but how each one ended is told.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return output.With(" ended with ").size() == 2; }));
    const QRegularExpression ended(QStringLiteral("^orvane_proxy \\d+ ended with exit code 0$"));
    for (const QString& line : output.With(" ended with "))
        EXPECT_TRUE(ended.match(line).hasMatch()) << line.toStdString();
}

TEST_F(PipeExchangeTest, WindowsKeepTheirUrlAndStateAcrossExchanges) {
    const std::string url = QString::fromUtf8("http://例え.jp/视频").toStdString();
    EXPECT_EQ(PipeRequest("seturl::win:4198,url:" + url), "0");
    EXPECT_EQ(PipeRequest("setstate::win:4198,state:5"), "0");
    EXPECT_EQ(PipeRequest("setstate::win:-3,state:2"), "0");
    EXPECT_EQ(PipeRequest("geturl::win:4198"), url);
    EXPECT_EQ(PipeRequest("getstate::win:4198"), "5");
    EXPECT_EQ(PipeRequest("getstate::win:-3"), "2");
    EXPECT_EQ(PipeRequest("getstate::win:99"), "");
}

TEST_F(PipeExchangeTest, TwoClientsAtOnceAreServedOneAfterTheOther) {
    const auto client = [](int base, int* answered) {
        for (int i = 0; i < 5; ++i) {
            char* raw = nullptr;
            const std::string request = "speedlimit::download:" + std::to_string(base + i) +
                                        ",upload:" + std::to_string(base + i);
            if (PipeCall(kBtServerPipeName, request.c_str(), &raw, 0)) ++*answered;
            PipeFreeReply(raw);
        }
    };
    int answeredA = 0;
    int answeredB = 0;
    std::thread a(client, 100, &answeredA);
    std::thread b(client, 200, &answeredB);
    a.join();
    b.join();
    EXPECT_EQ(answeredA, 5);
    EXPECT_EQ(answeredB, 5);

    // Every call of the service ends before the next one begins.
    const QStringList calls = FakeCalls().filter("speedlimit");
    ASSERT_EQ(calls.size(), 20);
    QStringList values;
    for (int i = 0; i < calls.size(); i += 2) {
        ASSERT_TRUE(calls[i].startsWith("speedlimit-begin ")) << calls[i].toStdString();
        EXPECT_EQ(calls[i + 1], QString(calls[i]).replace("begin", "end"));
        values << calls[i].section(' ', 1, 1);
    }
    values.sort();
    EXPECT_EQ(values,
              (QStringList{"100", "101", "102", "103", "104", "200", "201", "202", "203", "204"}));
}

// A connection to the pipe of our own, bypassing the client code.
int ConnectRaw() {
    const std::string path = platform::PipeSocketPath(kBtServerPipeName);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// A client that connects and leaves without a request, or sends one and leaves without its
// reply, costs only its own turn.
TEST_F(PipeExchangeTest, AClientThatLeavesEarlyDoesNotStopTheServer) {
    close(ConnectRaw());
    const int fd = ConnectRaw();
    const char request[] = "setstate::win:8,state:4";
    EXPECT_GT(send(fd, request, sizeof request, 0), 0);
    close(fd);
    EXPECT_EQ(PipeRequest("getstate::win:8"), "4");
}

// A client that connects and says nothing is let go after the read time-out; a client that
// waits without limit behind it is then served.
TEST_F(PipeExchangeTest, ASilentClientDoesNotBlockTheNextOne) {
    // The server takes its clients in the order they came: the silent one first.
    const int silent = ConnectRaw();
    std::atomic<bool> answered{false};
    std::string reply;
    std::thread waiting([&] {
        char* raw = nullptr;
        if (PipeCall(kBtServerPipeName, "bturl::", &raw, 0)) reply = raw;
        PipeFreeReply(raw);
        answered = true;
    });
    const bool served =
        testsupport::WaitUntil([&] { return answered.load(); },
                               std::chrono::milliseconds(PipeServerHandle::kClientReadTimeoutMs) +
                                   std::chrono::seconds(30));
    // The silent client was let go: its end sees the server hang up.
    pollfd entry{silent, POLLIN, 0};
    EXPECT_EQ(poll(&entry, 1, 0), 1);
    char byte;
    EXPECT_EQ(recv(silent, &byte, 1, MSG_DONTWAIT), 0);
    close(silent);  // also frees a waiting client should the server not have let go
    waiting.join();
    EXPECT_TRUE(served);
    EXPECT_EQ(reply, "http://127.0.0.1:17790/");
}

TEST_F(PipeExchangeTest, ARequestTooLongForOneMessageIsRefusedByTheClient) {
    const std::string prefix = "seturl::win:5,url:";
    const std::string fits = prefix + std::string(65534 - prefix.size(), 'a');
    const std::string tooLong = prefix + std::string(65535 - prefix.size(), 'b');
    char* raw = reinterpret_cast<char*>(1);
    EXPECT_FALSE(PipeCall(kBtServerPipeName, tooLong.c_str(), &raw, 0));
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(PipeRequest("geturl::win:5"), "");
    EXPECT_EQ(PipeRequest(fits), "0");
    EXPECT_EQ(PipeRequest("geturl::win:5"), std::string(65534 - prefix.size(), 'a'));
}

TEST_F(PipeExchangeTest, QuitEndsTheLoopAndTheNextClientFindsNoServer) {
    EXPECT_EQ(PipeRequest("quit::"), "");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return thread->isFinished(); }));
    char* raw = nullptr;
    EXPECT_FALSE(PipeCall(kBtServerPipeName, "bturl::", &raw, 0));
    EXPECT_EQ(raw, nullptr);
}

using NoBtServerTest = PipeTestEnvironment;

TEST_F(NoBtServerTest, QueriesFailAtOnceAndChangeNothing) {
    SetAppValue("bturl", "http://127.0.0.1:17766/");
    QueryBtUrl();
    EXPECT_EQ(AppValue("bturl").toString(), "http://127.0.0.1:17766/");
    RemoveAppValue("bturl");
    QByteArray info = "unchanged";
    QueryTaskInfo("http://x/known", info);
    EXPECT_EQ(info, QByteArray("unchanged"));
    SendSpeedLimit(1, 2);
    char* raw = reinterpret_cast<char*>(1);
    EXPECT_FALSE(PipeCall(kBtServerPipeName, "bturl::", &raw, 0));
    EXPECT_EQ(raw, nullptr);
}

}  // namespace
