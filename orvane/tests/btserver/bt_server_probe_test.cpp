#include "bt_server_probe.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QSharedMemory>
#include <QStringList>
#include <cstring>
#include <filesystem>

#include "bt_server_test_support.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "scoped_app_directory.h"
#include "shared_memory_segments.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

namespace {

// Segments are named by keys that every process of this user shares; a runtime folder of our
// own keeps the tests apart from a real BT server and from other test runs.
class SegmentTest : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", temp.path()};
};

class BtServerTest : public SegmentTest {
protected:
    ScopedAppDirectory app{temp.file("bin")};
    std::string record = temp.file("record.txt");
    testsupport::ScopedEnv recordEnv{"ORVANE_TEST_RECORD", record};
    pid_t started = 0;

    void SetUp() override {
        std::filesystem::create_directories(temp.file("bin"));
        std::filesystem::copy_file(ORVANE_TEST_HELPER, temp.file("bin/orvane"));
    }
    void TearDown() override {
        if (started > 0) {
            kill(started, SIGKILL);
            testsupport::WaitUntil([&] { return kill(started, 0) != 0; });
        }
        ReleaseStaleSegments();
    }
    QStringList Record() {
        return QString::fromStdString(testsupport::ReadFile(record))
            .split('\n', Qt::SkipEmptyParts);
    }
};

TEST_F(BtServerTest, StartsTheDesktopProgramWhichThenCountsAsRunning) {
    EXPECT_FALSE(IsBtServerRunning());
    EXPECT_FALSE(IsBtServerRunning());  // the probe let the segment go again

    EXPECT_TRUE(StartBtServer());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Record().size() >= 3; }));
    const QStringList lines = Record();
    started = lines[0].toInt();
    EXPECT_EQ(lines.mid(1),
              (QStringList{QString::fromStdString(temp.file("bin/orvane")), "-startbt"}));
    ASSERT_TRUE(testsupport::WaitUntil([] { return IsBtServerRunning(); }));

    // With a server running, nothing is started (so nothing is waited for either).
    std::filesystem::remove(record);
    EXPECT_TRUE(StartBtServer());
    EXPECT_FALSE(std::filesystem::exists(record));

    // A killed holder leaves no marker behind.
    kill(started, SIGKILL);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return kill(started, 0) != 0; }));
    started = 0;
    EXPECT_FALSE(IsBtServerRunning());
}

TEST_F(BtServerTest, AnInstallFolderHoldingAQuoteStillStartsTheProgram) {
    const std::string odd = temp.file("say \"hi\" bin");
    std::filesystem::create_directories(odd);
    std::filesystem::copy_file(ORVANE_TEST_HELPER, odd + "/orvane");
    ScopedAppDirectory oddApp(odd);
    EXPECT_TRUE(StartBtServer());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Record().size() >= 3; }));
    const QStringList lines = Record();
    started = lines[0].toInt();
    EXPECT_EQ(lines.mid(1), (QStringList{QString::fromStdString(odd + "/orvane"), "-startbt"}));
}

TEST_F(BtServerTest, AMissingProgramIsReportedAfterTheWait) {
    std::filesystem::remove(temp.file("bin/orvane"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(StartBtServer());
    EXPECT_GE(timer.elapsed(), 1000);
    EXPECT_FALSE(IsBtServerRunning());
}

TEST_F(SegmentTest, WriteReadAndReleaseANamedSegment) {
    const QString key = QString("orvane_test_%1").arg(getpid());
    EXPECT_TRUE(SharedMemoryWrite(key, "http://127.0.0.1:17766/"));
    QByteArray read = "unchanged";
    SharedMemoryRead(key, read);
    EXPECT_EQ(read, QByteArray("http://127.0.0.1:17766/"));

    // Another process's view: the segment is there while this process keeps it.
    platform::UserSegment other(key);
    ASSERT_TRUE(other.attach(QSharedMemory::ReadOnly));
    EXPECT_EQ(QByteArray(static_cast<const char*>(other.constData()), other.size()),
              QByteArray("http://127.0.0.1:17766/"));
    other.detach();

    SharedMemoryRelease(key);
    read = "unchanged";
    SharedMemoryRead(key, read);
    EXPECT_EQ(read, QByteArray("unchanged"));
}

TEST_F(SegmentTest, WritingMoreThanTheSegmentHoldsCopiesNothing) {
    const QString key = QString("orvane_small_%1").arg(getpid());
    platform::UserSegment holder(key);
    ASSERT_TRUE(platform::CreateSegment(holder, 4));
    std::memcpy(holder.data(), "abcd", 4);

    EXPECT_FALSE(SharedMemoryWrite(key, "far too long for four bytes"));
    EXPECT_EQ(QByteArray(static_cast<const char*>(holder.constData()), 4), QByteArray("abcd"));
    EXPECT_TRUE(SharedMemoryWrite(key, "xy"));
    EXPECT_EQ(QByteArray(static_cast<const char*>(holder.constData()), 4), QByteArray("xycd"));
    SharedMemoryRelease(key);
}

}  // namespace
