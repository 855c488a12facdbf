#include "bt_server_main.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTcpServer>
#include <QTimer>
#include <memory>
#include <vector>

#include "app_values.h"
#include "bt_server_probe.h"
#include "bt_server_queries.h"
#include "bt_server_test_support.h"
#include "platform/shared_memory.h"
#include "scoped_app_directory.h"
#include "shared_memory_segments.h"
#include "streaming_library.h"
#include "testsupport/loopback.h"

namespace {

// Two neighbouring loopback ports that were both free a moment ago.
int FreePortPair() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int port = testsupport::FreeLoopbackPort();
        if (port <= 0 || port >= 65535) continue;
        QTcpServer next;
        if (next.listen(QHostAddress::LocalHost, static_cast<quint16>(port + 1))) return port;
    }
    return 0;
}

TEST(ProbeStreamPortTest, TakesTheFirstFreePortAndTheLastWhenNoneIsFree) {
    const int first = FreePortPair();
    ASSERT_NE(first, 0);
    EXPECT_EQ(ProbeStreamPort(first, first + 1), first);
    QTcpServer busyFirst;
    ASSERT_TRUE(busyFirst.listen(QHostAddress::LocalHost, static_cast<quint16>(first)));
    EXPECT_EQ(ProbeStreamPort(first, first + 1), first + 1);
    QTcpServer busySecond;
    ASSERT_TRUE(busySecond.listen(QHostAddress::LocalHost, static_cast<quint16>(first + 1)));
    EXPECT_EQ(ProbeStreamPort(first, first + 1), first + 1);
    // The probe does not keep the port it found.
    busyFirst.close();
    EXPECT_EQ(ProbeStreamPort(first, first + 1), first);
    EXPECT_EQ(ProbeStreamPort(first, first + 1), first);
}

// The routine in this process, with the stand-in streaming library as the loaded library.
class BtServerRoutineTest : public PipeTestEnvironment {
protected:
    void TearDown() override {
        SetStreamingLibraryHandle(nullptr);
        RemoveAppValue("bturl");
        SharedMemoryRelease("bturl");
    }
    ScopedAppDirectory app{MakeInstallFolder("bin", ORVANE_FAKE_FERRULE)};
};

TEST_F(BtServerRoutineTest, ServesThePipeUntilTheEventLoopEndsThenStopsItsThread) {
    std::string served;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        served = PipeRequest("bturl::");
        if (served != "<no reply>") QCoreApplication::quit();
    });
    poll.start(20);
    QTimer limit;  // a routine that never serves must not hold the test
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::quit(); });
    limit.start(30000);

    BtServerMain();
    poll.stop();

    // Loaded from the install folder, started on the port it named.
    EXPECT_NE(StreamingLibraryHandle(), nullptr);
    const QStringList init = FakeCalls().filter("init ");
    ASSERT_EQ(init.size(), 1) << FakeCalls().join('|').toStdString();
    const int port = init[0].section(' ', 1, 1).toInt();
    EXPECT_GE(port, kFirstStreamPort);
    EXPECT_LE(port, kLastStreamPort);
    EXPECT_TRUE(init[0].startsWith(QString("init %1 0 0 [] 0 0 [] 0 0 ").arg(port)));
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    EXPECT_EQ(served, url);
    EXPECT_EQ(AppValue("bturl").toString().toStdString(), url);
    QByteArray published;
    SharedMemoryRead("bturl", published);
    EXPECT_EQ(published.toStdString(), url);

    // After the routine: no pipe thread left serving, and the marker is free again.
    EXPECT_EQ(PipeRequest("bturl::"), "<no reply>");
    EXPECT_FALSE(IsBtServerRunning());
}

TEST_F(BtServerRoutineTest, APortTakenBetweenTheProbeAndTheServiceStartIsPassedOver) {
    // Stands for a program that binds the probed port first (another user's BT server
    // starting at the same moment): the service's first start fails.
    testsupport::ScopedEnv refuse("ORVANE_FAKE_FERRULE_REFUSE_INITS", "1");
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    BtServerMain();

    const QStringList init = FakeCalls().filter("init ");
    ASSERT_EQ(init.size(), 2) << FakeCalls().join('|').toStdString();
    const int refused = init[0].section(' ', 1, 1).toInt();
    const int port = init[1].section(' ', 1, 1).toInt();
    EXPECT_GT(port, refused);
    EXPECT_LE(port, kLastStreamPort);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    EXPECT_EQ(AppValue("bturl").toString().toStdString(), url);
    QByteArray published;
    SharedMemoryRead("bturl", published);
    EXPECT_EQ(published.toStdString(), url);
}

TEST_F(BtServerRoutineTest, ReturnsAtOnceWhileAnotherBtServerHoldsTheMarker) {
    platform::UserSegment other(QStringLiteral("btserver"));
    ASSERT_TRUE(platform::ProbeAndCreateSegment(other, 1));
    BtServerMain();
    EXPECT_EQ(StreamingLibraryHandle(), nullptr);
    EXPECT_EQ(FakeCalls(), QStringList());
    EXPECT_EQ(PipeRequest("bturl::"), "<no reply>");
}

// "orvane -startbt" processes started from an install folder of the test's own.
class BtServerProgramTest : public PipeTestEnvironment {
protected:
    std::string bin = MakeInstallFolder("bin", ORVANE_FAKE_FERRULE);
    QStringList LinesOf(qint64 pid) {
        return FakeCalls().filter(QRegularExpression(QString("(^load | pid )%1$").arg(pid)));
    }
};

TEST_F(BtServerProgramTest, ASecondBtServerEndsAtOnceWithoutLoadingAnything) {
    BtServerProcess first(bin);
    const std::string url = WaitForBtServer();
    EXPECT_TRUE(
        QString::fromStdString(url).contains(QRegularExpression("^http://127\\.0\\.0\\.1:\\d+/$")))
        << url;
    EXPECT_EQ(LinesOf(first.Pid()).size(), 2);  // loaded, then started once

    BtServerProcess second(bin);
    EXPECT_TRUE(second.WaitForEnd());
    EXPECT_EQ(LinesOf(second.Pid()), QStringList());
    EXPECT_EQ(PipeRequest("bturl::"), url);
}

TEST_F(BtServerProgramTest, AKilledBtServerLeavesNothingThatStopsTheNextOne) {
    {
        BtServerProcess killed(bin);
        ASSERT_NE(WaitForBtServer(), "<no reply>");
        ASSERT_EQ(kill(static_cast<pid_t>(killed.Pid()), SIGKILL), 0);
        EXPECT_TRUE(killed.WaitForEnd());
    }
    EXPECT_FALSE(IsBtServerRunning());
    BtServerProcess next(bin);
    EXPECT_NE(WaitForBtServer(), "<no reply>");
    EXPECT_EQ(LinesOf(next.Pid()).size(), 2);
    EXPECT_TRUE(IsBtServerRunning());
}

TEST_F(BtServerProgramTest, QuitEndsTheProcessAndFreesTheMarker) {
    BtServerProcess server(bin);
    ASSERT_NE(WaitForBtServer(), "<no reply>");
    EXPECT_EQ(PipeRequest("quit::"), "");
    EXPECT_TRUE(server.WaitForEnd());
    EXPECT_EQ(server.ExitCode(), 0);
    EXPECT_FALSE(IsBtServerRunning());
    EXPECT_EQ(PipeRequest("bturl::"), "<no reply>");
}

TEST_F(BtServerProgramTest, WithoutTheStreamingLibraryNoPipeIsServed) {
    const std::string bare = MakeInstallFolder("bare", "");
    BtServerProcess server(bare);
    EXPECT_TRUE(server.WaitForEnd());
    EXPECT_EQ(PipeRequest("bturl::"), "<no reply>");
    EXPECT_FALSE(IsBtServerRunning());
}

TEST_F(BtServerProgramTest, TheStreamServerTakesTheNextPortWhenTheFirstIsBusy) {
    QTcpServer busy;
    if (!busy.listen(QHostAddress::LocalHost, kFirstStreamPort))
        GTEST_SKIP() << "port " << kFirstStreamPort << " is held by another process";
    BtServerProcess server(bin);
    ASSERT_NE(WaitForBtServer(), "<no reply>");
    const QStringList init = FakeCalls().filter("init ");
    ASSERT_EQ(init.size(), 1);
    const int port = init[0].section(' ', 1, 1).toInt();
    EXPECT_EQ(init[0].section(' ', 0, 9), QString("init %1 0 0 [] 0 0 [] 0 0").arg(port));
    QueryBtUrl();
    EXPECT_EQ(AppValue("bturl").toString(), QString("http://127.0.0.1:%1/").arg(port));
    RemoveAppValue("bturl");
    // Normally the next port; a BT server of another test run may hold that one, and then
    // every port it skipped is still held.
    EXPECT_GT(port, kFirstStreamPort);
    EXPECT_LE(port, kLastStreamPort);
    for (int skipped = kFirstStreamPort + 1; skipped < port; ++skipped) {
        QTcpServer probe;
        EXPECT_FALSE(probe.listen(QHostAddress::LocalHost, static_cast<quint16>(skipped)))
            << skipped;
    }
}

}  // namespace
