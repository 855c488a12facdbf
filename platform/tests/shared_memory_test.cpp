#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

#include "platform/process.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

namespace {

// A key no other test run shares.
QString UniqueKey() {
    static std::atomic<int> counter{0};
    return QString("orvane-test-%1-%2").arg(getpid()).arg(counter++);
}

bool Probe(const QString& key) {
    QSharedMemory memory(key);
    return platform::ProbeAndCreateSegment(memory, 1);
}

// Starts a child that creates the segment and holds it until it is killed.
std::unique_ptr<platform::Process> StartHolder(const QString& key,
                                               const testsupport::TempDir& dir) {
    const std::string ready = dir.file("ready");
    auto child =
        platform::StartProcess(PLATFORM_TEST_CHILD, {"hold-segment", key.toStdString(), ready});
    if (child && !testsupport::WaitUntil([&] { return testsupport::ReadFile(ready) == "ready\n"; }))
        child->Kill();
    return child;
}

TEST(SharedMemory, ProbeFailsWhileALiveHolderHasTheSegment) {
    testsupport::TempDir dir;
    const QString key = UniqueKey();
    auto holder = StartHolder(key, dir);
    ASSERT_TRUE(holder);
    ASSERT_FALSE(holder->ExitCode());

    // Probing must not take the segment away from its living holder: it fails every time.
    EXPECT_FALSE(Probe(key));
    EXPECT_FALSE(Probe(key));
    EXPECT_FALSE(holder->Wait(0));

    holder->Kill();
    ASSERT_TRUE(holder->Wait(60000));
    EXPECT_TRUE(Probe(key));  // and clears what the killed holder left
}

TEST(SharedMemory, SegmentOfAKilledHolderDoesNotBlockTheNextOne) {
    testsupport::TempDir dir;
    const QString key = UniqueKey();
    auto holder = StartHolder(key, dir);
    ASSERT_TRUE(holder);
    holder->Kill();  // SIGKILL: the holder never detaches
    ASSERT_TRUE(holder->Wait(60000));
    EXPECT_EQ(holder->ExitCode(), 128 + 9);

    QSharedMemory memory(key);
    ASSERT_TRUE(platform::ProbeAndCreateSegment(memory, 1));
    EXPECT_TRUE(memory.isAttached());
    EXPECT_GE(memory.size(), 1);
    // While this object holds it, another probe of the same key fails.
    EXPECT_FALSE(Probe(key));
}

TEST(SharedMemory, ProbeSucceedsAgainRightAfterAProbeThatReleased) {
    const QString key = UniqueKey();
    EXPECT_TRUE(Probe(key));  // the object goes, and the segment with it
    EXPECT_TRUE(Probe(key));
    EXPECT_TRUE(Probe(key));
}

}  // namespace
