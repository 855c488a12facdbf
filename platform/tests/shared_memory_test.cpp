#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
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

// Another program's segment under the key that a fresh key file at `path` gets: a file made
// there and removed again leaves its inode free, and the file system hands that inode to the
// next file made in the folder. A segment some other program holds under that key already is
// just as foreign (and is left alone). Answers the segment's id, or -1 when that cannot be
// staged.
struct ForeignSegment {
    int id = -1;
    bool ours = false;  // made here, so removed here
    ino_t inode = 0;
};

ForeignSegment ForeignSegmentAt(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    testsupport::WriteFile(name.toStdString(), "");
    ForeignSegment segment;
    struct stat info {};
    const key_t key = ::ftok(name.constData(), 'Q');
    if (::stat(name.constData(), &info) == 0 && key != -1) {
        segment.inode = info.st_ino;
        segment.id = ::shmget(key, 64, IPC_CREAT | IPC_EXCL | 0600);
        segment.ours = segment.id != -1;
        if (segment.id == -1 && errno == EEXIST) segment.id = ::shmget(key, 0, 0);
    }
    ::unlink(name.constData());
    return segment;
}

TEST(SharedMemory, AFreshKeyFileWhoseKeyAnotherSegmentHoldsStillGetsASegmentOfItsOwn) {
    testsupport::TempDir dir;
    QSharedMemory memory;
    memory.setNativeKey(QString::fromStdString(dir.file("key")));
    const ForeignSegment foreign = ForeignSegmentAt(memory.nativeKey());
    ASSERT_NE(foreign.id, -1);

    const bool created = platform::CreateSegment(memory, 1);
    struct stat info {};
    const bool keyFileThere = ::stat(QFile::encodeName(memory.nativeKey()).constData(), &info) == 0;
    if (foreign.ours) ::shmctl(foreign.id, IPC_RMID, nullptr);
    EXPECT_TRUE(created) << memory.errorString().toStdString();
    EXPECT_TRUE(memory.isAttached());
    EXPECT_EQ(memory.size(), 1);  // its own segment, not the other one
    EXPECT_TRUE(keyFileThere);
    EXPECT_NE(info.st_ino, foreign.inode);
    // Nothing put aside is left beside the key file.
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files).size(), 1);
}

}  // namespace
