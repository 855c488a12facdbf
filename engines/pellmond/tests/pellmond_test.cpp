// The real libPellmond.so, copied into an install folder of its own for each test (the
// library watches "..\cfg\server.ini" beside its own folder) and loaded the way the player
// loads it.
#include "pellmond/pellmond.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/wait.h>
#include <testsupport/loopback.h>
#include <testsupport/temp_dir.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the callbacks saw; reset by each test's fixture. Never destroyed: a watcher thread may
// still wait in it while the process ends.
struct Calls {
    std::mutex mutex;
    std::vector<std::string> statuses;  // server.ini's STATUS at each call
    std::vector<int> codes;
    std::thread::id thread;
    std::string serverIni;
    bool release = true;
    std::condition_variable released;
};
Calls& calls = *new Calls;

bool Record(int code) {
    std::unique_lock<std::mutex> lock(calls.mutex);
    calls.codes.push_back(code);
    calls.statuses.push_back(platform::IniReadString(calls.serverIni, "update", "STATUS"));
    calls.thread = std::this_thread::get_id();
    calls.released.wait(lock, [] { return calls.release; });
    return false;
}

bool RecordElsewhere(int) {
    std::lock_guard<std::mutex> lock(calls.mutex);
    calls.codes.push_back(-100);
    return false;
}

class PellmondTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::MakeDirectories(dir_.file("bin"));
        platform::MakeDirectories(dir_.file("cfg"));
        std::filesystem::copy_file(PELLMOND_LIBRARY, dir_.file("bin/libPellmond.so"));
        std::lock_guard<std::mutex> lock(calls.mutex);
        calls.codes.clear();
        calls.statuses.clear();
        calls.serverIni = ServerIni();
        calls.release = true;
    }

    std::string ServerIni() const { return dir_.file("cfg/server.ini"); }

    // Each test loads its own copy: a new path is a new library with a watcher of its own.
    int StartWatcher(KvUpdateCallback callback) {
        if (!start_) {
            void* library = ::dlopen(dir_.file("bin/libPellmond.so").c_str(), RTLD_NOW);
            if (!library) return -99;
            start_ = reinterpret_cast<int (*)(KvUpdateCallback)>(
                ::dlsym(library, "KvUpdateStartWatcher"));
            if (!start_) return -98;
        }
        return start_(callback);
    }

    size_t CallCount() {
        std::lock_guard<std::mutex> lock(calls.mutex);
        return calls.codes.size();
    }
    bool WaitForCalls(size_t count) {
        return testsupport::WaitUntil([&] { return CallCount() >= count; }, 10s);
    }
    // A negative check: no further call comes within a while.
    bool StaysAt(size_t count) {
        return !testsupport::WaitUntil([&] { return CallCount() > count; }, 2s);
    }
    void Write(const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_TRUE(platform::IniWriteString(ServerIni(), section, key, value));
    }

    testsupport::TempDir dir_;
    int (*start_)(KvUpdateCallback) = nullptr;
};

// First, so that the forked child holds no watcher of an earlier test (whose thread does not
// exist in the child and would make the clean-up wait its bound for nothing).
TEST_F(PellmondTest, TheProcessEndsWhileTheCallbackStillWaits) {
    Write("update", "STATUS", "1");
    const pid_t child = ::fork();
    if (child == 0) {
        calls.release = false;  // never released: the user never answers
        if (StartWatcher(&Record) != 0 || !WaitForCalls(1)) ::_exit(3);
        std::exit(0);  // runs the library's clean-up at unload
    }
    int status = -1;
    const bool ended =
        testsupport::WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 20s);
    if (!ended) ::kill(child, SIGKILL), ::waitpid(child, &status, 0);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(PellmondTest, CallsBackWhenTheNoticeAppearsOrChangesOnly) {
    Write("param", "other", "1");
    ASSERT_EQ(StartWatcher(&Record), 0);
    EXPECT_TRUE(StaysAt(0));  // no notice yet

    Write("update", "INFO", "Version 2 is out");
    ASSERT_TRUE(WaitForCalls(1));
    Write("update", "unrelated", "x");
    Write("param", "other", "2");
    EXPECT_TRUE(StaysAt(1));

    Write("update", "STATUS", "1");
    ASSERT_TRUE(WaitForCalls(2));
    ASSERT_TRUE(platform::IniWriteString(ServerIni(), "update", "STATUS", "1"));  // same again
    ASSERT_TRUE(platform::IniDeleteKey(ServerIni(), "update", "INFO"));
    ASSERT_TRUE(platform::IniDeleteKey(ServerIni(), "update", "STATUS"));
    EXPECT_TRUE(StaysAt(2));  // a notice that goes away is no news

    Write("update", "STATUS", "1");  // ... and one that comes back is
    ASSERT_TRUE(WaitForCalls(3));
    EXPECT_TRUE(StaysAt(3));
    std::lock_guard<std::mutex> lock(calls.mutex);
    EXPECT_EQ(calls.codes, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(calls.statuses, (std::vector<std::string>{"", "1", "1"}));
}

TEST_F(PellmondTest, ANoticeThereAtStartIsToldOnceWithoutBlockingTheCaller) {
    Write("update", "STATUS", "0");
    {
        std::lock_guard<std::mutex> lock(calls.mutex);
        calls.release = false;  // the callback waits, as the player's question box does
    }
    ASSERT_EQ(StartWatcher(&Record), 0);
    ASSERT_TRUE(WaitForCalls(1));
    {
        std::lock_guard<std::mutex> lock(calls.mutex);
        EXPECT_NE(calls.thread, std::this_thread::get_id());
        calls.release = true;
    }
    calls.released.notify_all();
    EXPECT_TRUE(StaysAt(1));
}

TEST_F(PellmondTest, ALaterStartHandsOverTheCallbackAndANullOneIsRefused) {
    ASSERT_EQ(StartWatcher(&Record), 0);
    EXPECT_EQ(StartWatcher(nullptr), -1);
    ASSERT_EQ(StartWatcher(&RecordElsewhere), 0);
    Write("update", "INFO", "new");
    ASSERT_TRUE(WaitForCalls(1));
    EXPECT_TRUE(StaysAt(1));  // one watcher thread, not two
    std::lock_guard<std::mutex> lock(calls.mutex);
    EXPECT_EQ(calls.codes, std::vector<int>{-100});
}

}  // namespace
