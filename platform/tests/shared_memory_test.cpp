#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <memory>

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
    platform::UserSegment memory(key);
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

    platform::UserSegment memory(key);
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

TEST(SharedMemory, ASegmentOfTheSameNameInAnotherRuntimeFolderIsNoneOfOurs) {
    // Two users' runtime folders; each user's segments are found through the user's own.
    testsupport::TempDir dir;
    const QString key = UniqueKey();
    std::unique_ptr<platform::Process> holder;
    {
        testsupport::ScopedEnv first("XDG_RUNTIME_DIR", dir.path());
        holder = StartHolder(key, dir);
        ASSERT_TRUE(holder);
        ASSERT_FALSE(Probe(key));
    }
    testsupport::TempDir other;
    testsupport::ScopedEnv second("XDG_RUNTIME_DIR", other.path());
    EXPECT_TRUE(Probe(key));
    platform::UserSegment segment(key);
    EXPECT_TRUE(segment.nativeKey().startsWith(QString::fromStdString(other.path() + "/orvane/")));
    holder->Kill();
    holder->Wait(60000);
}

TEST(SharedMemory, AnotherUsersSegmentUnderOurKeyIsLeftAloneAndWeGetOneOfOurOwn) {
    // A segment under the very key of our key file, given to another user: nothing of ours
    // may attach it (the super-user could, and its probe would remove it), write it or wait
    // for it. (A key file whose key some other program's segment holds already cannot stage
    // it: then another name is tried.)
    std::unique_ptr<platform::UserSegment> staged;
    int foreign = -1;
    for (int attempt = 0; attempt < 16 && foreign == -1; ++attempt) {
        staged = std::make_unique<platform::UserSegment>(UniqueKey());
        const QByteArray file = QFile::encodeName(staged->nativeKey());
        testsupport::WriteFile(file.toStdString(), "");
        foreign = ::shmget(::ftok(file.constData(), 'Q'), 64, IPC_CREAT | IPC_EXCL | 0600);
    }
    ASSERT_NE(foreign, -1);
    platform::UserSegment& memory = *staged;
    shmid_ds owner{};
    ASSERT_EQ(::shmctl(foreign, IPC_STAT, &owner), 0);
    owner.shm_perm.uid = ::geteuid() + 1;
    ASSERT_EQ(::shmctl(foreign, IPC_SET, &owner), 0);

    EXPECT_FALSE(platform::AttachSegment(memory, QSharedMemory::ReadOnly));
    const bool created = platform::ProbeAndCreateSegment(memory, 1);
    shmid_ds after{};
    const bool foreignStays = ::shmctl(foreign, IPC_STAT, &after) == 0;
    ::shmctl(foreign, IPC_RMID, nullptr);
    EXPECT_TRUE(foreignStays);
    EXPECT_TRUE(created) << memory.errorString().toStdString();
    EXPECT_EQ(memory.size(), 1);  // its own segment, not the other user's
}

}  // namespace
