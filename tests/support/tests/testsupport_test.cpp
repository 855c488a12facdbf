// The shared helpers must themselves be right, or every module's tests lie.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "testsupport/children.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"

using namespace testsupport;

TEST(TestSupport, TempDirIsRemovedWithItsContent) {
    std::string path;
    {
        TempDir dir;
        path = dir.path();
        WriteFile(dir.file("a/b/c.txt"), "hello");
        EXPECT_EQ(ReadFile(dir.file("a/b/c.txt")), "hello");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TestSupport, FreePortIsInRangeAndWaitIsBounded) {
    const int port = FreeLoopbackPort();
    EXPECT_GT(port, 0);
    EXPECT_LT(port, 65536);
    // A condition that never holds is given up once the limit has passed (and not before);
    // one that comes true ends the wait then.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitUntil([] { return false; }, std::chrono::milliseconds(50)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    int calls = 0;
    EXPECT_TRUE(WaitUntil([&] { return ++calls == 3; }, std::chrono::hours(1),
                          std::chrono::milliseconds(1)));
    EXPECT_EQ(calls, 3);
}

TEST(TestSupport, MakesPlayableMediaAndRandomPayloads) {
    TempDir dir;
    ASSERT_TRUE(MakeTestVideo(dir.file("clip.mp4"), 1.0));
    struct stat st {};
    ASSERT_EQ(stat(dir.file("clip.mp4").c_str(), &st), 0);
    EXPECT_GT(st.st_size, 1000);
    // Two videos of the same length are still two different files (and torrents).
    ASSERT_TRUE(MakeTestVideo(dir.file("again.mp4"), 1.0));
    EXPECT_NE(ReadFile(dir.file("clip.mp4")), ReadFile(dir.file("again.mp4")));

    ASSERT_TRUE(MakeRandomFile(dir.file("a.bin"), 100000, 7));
    ASSERT_TRUE(MakeRandomFile(dir.file("b.bin"), 100000, 7));
    EXPECT_EQ(ReadFile(dir.file("a.bin")).size(), 100000u);
    EXPECT_EQ(ReadFile(dir.file("a.bin")), ReadFile(dir.file("b.bin")));
}

TEST(TestSupport, ChildrenReportFailuresAndNeverRunOnInTheTest) {
    EXPECT_TRUE(RunInChildren(3, [](int i) { return i >= 0; }));
    EXPECT_FALSE(RunInChildren(3, [](int i) { return i != 1; }));

    // A child whose work throws fails; it must not carry the exception back into this test.
    TempDir dir;
    const pid_t parent = getpid();
    bool result = true;
    try {
        result = RunInChildren(1, [](int) -> bool { throw std::runtime_error("broken"); });
    } catch (const std::runtime_error&) {
        if (getpid() != parent) {
            WriteFile(dir.file("escaped"), "child");
            _exit(0);
        }
        throw;
    }
    EXPECT_FALSE(result);
    EXPECT_FALSE(std::filesystem::exists(dir.file("escaped")));
}
