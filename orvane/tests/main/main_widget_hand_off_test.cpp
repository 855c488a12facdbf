// Files handed to the running player over UDP: played when the path exists and the sender is
// this user, otherwise not; a player that cannot have the port goes on without hand-offs.
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <atomic>
#include <thread>

#include "main_widget_fixture.h"
#include "testsupport/hostile_files.h"
#include "udp_hand_off.h"

namespace {

using namespace main_widget_testing;

TEST(UdpTableTest, OwnersOfTheSendingSocketAreReadFromBothTables) {
    const std::string udp =
        "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode ref pointer drops\n"
        "  1: 0100007F:D431 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000 0 11 2 "
        "0 0\n"
        "  2: 00000000:1F90 00000000:0000 07 00000000:00000340 00:00000000 00000000    33 0 12 2 "
        "0 0\n"
        "  3: 0100007F:1F90 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000 0 13 2 "
        "0 0\n"
        "  4: garbage\n";
    const std::string udp6 =
        "  sl  local_address                         remote_address                        st "
        "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer drops\n"
        "  5: 0000000000000000FFFF00000100007F:2710 00000000000000000000000000000000:0000 07 "
        "00000000:00000000 00:00000000 00000000  1001 0 14 2 0 0\n";
    auto entries = platform::ParseSocketTable(udp);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].receiveQueue, 0x340u);
    const auto entries6 = platform::ParseSocketTable(udp6);
    entries.insert(entries.end(), entries6.begin(), entries6.end());
    const std::uint32_t loopback = 0x7F000001;
    EXPECT_EQ(SenderOwners(entries, loopback, 0xD431), std::vector<uid_t>{1000});
    // The wildcard socket of another user on the same port makes the sender uncertain.
    EXPECT_EQ(SenderOwners(entries, loopback, 0x1F90), (std::vector<uid_t>{33, 1000}));
    EXPECT_EQ(SenderOwners(entries, loopback, 10000), std::vector<uid_t>{1001});
    EXPECT_TRUE(SenderOwners(entries, 0x7F000002, 0xD431).empty());
}

class HandOffTest : public MainWidgetTest {
protected:
    bool Send(const std::string& path) { return SendHandOff(path); }
};

TEST_F(HandOffTest, ExistingPathOfThisUserPlaysAndAMissingOneDoesNot) {
    MakeControl();
    const std::string missing = temp.file("missing.mkv");
    ASSERT_TRUE(Send(missing));
    EXPECT_EQ(AppValue("videoPath").toString(), QString::fromStdString(missing));
    EXPECT_TRUE(main->LastVideoInfo().isEmpty());

    const std::string file = temp.file("片 1.mkv");
    testsupport::WriteFile(file, "x");
    ASSERT_TRUE(Send(file));
    ASSERT_TRUE(WaitFor([&] { return !main->LastVideoInfo().isEmpty(); }));
    EXPECT_EQ(main->LastVideoInfo().value("url"), QString::fromStdString(file));
    EXPECT_EQ(main->LastVideoInfo().value("type").toInt(), 6);
}

TEST_F(HandOffTest, ADeviceAFifoOrALinkToADeviceIsRefusedWithItsReasonAndNeverOpened) {
    static QStringList refusals;
    refusals.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (text.contains("refused")) refusals << text;
        });
    MakeControl();
    const auto hostile = testsupport::MakeHostileFiles(temp.path());
    for (const auto& file : hostile) {
        SCOPED_TRACE(file.what);
        QElapsedTimer sent;
        sent.start();
        ASSERT_TRUE(Send(file.path));
        // Taken and answered by the window's thread, which a FIFO's open would have stopped.
        ASSERT_TRUE(WaitFor([&] { return refusals.size() == 1; }));
        std::printf("refused after %lld ms\n", static_cast<long long>(sent.elapsed()));
        EXPECT_TRUE(refusals.first().contains("not a regular file"))
            << refusals.first().toStdString();
        EXPECT_TRUE(main->LastVideoInfo().isEmpty());
        refusals.clear();
    }
    qInstallMessageHandler(previous);
}

TEST_F(HandOffTest, DatagramFromAnotherUsersSocketIsIgnored) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to send as another user";
    MakeControl();
    const std::string file = temp.file("other.mkv");
    testsupport::WriteFile(file, "x");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        const bool sent = setgid(65534) == 0 && setuid(65534) == 0 &&
                          HandOffToRunningPlayer(file, error, handOffPort);
        _exit(sent ? 0 : 1);
    }
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }));
    // Taken by the player (the sender saw its queue emptied), and dropped.
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(main->LastVideoInfo().isEmpty());
    EXPECT_FALSE(HasAppValue("videoPath") && AppValue("videoPath").toString() == file.c_str());
}

TEST_F(HandOffTest, PlayerWithoutThePortGoesOnAndSaysSoOnce) {
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, handOffPort));
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (text.contains("not bound")) messages << text;
        });
    MakeControl();
    qInstallMessageHandler(previous);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_NE(Child<QWidget>("stackedWidget"), nullptr);
}

}  // namespace
