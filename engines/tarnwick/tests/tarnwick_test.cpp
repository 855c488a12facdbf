// The download engine against a loopback server: whole downloads, broken transfers, resume
// with a Range request, servers that cannot resume, files beyond a bound, and the handle's
// life.
#include <gtest/gtest.h>
#include <platform/paths.h>
#include <sys/stat.h>
#include <tarnwick/tarnwick.h>
#include <testsupport/loopback.h>
#include <testsupport/temp_dir.h>

#include <functional>
#include <random>
#include <string>

#include "test_http_server.h"

namespace {

using testhttp::TestHttpServer;
using testsupport::ReadFile;
using testsupport::TempDir;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

class TarnwickTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(TARNWICK_OK, Tarnwick_Startup()); }

    // Starts a fresh download of `path` into the temporary folder as "file.bin".
    TarnwickHandle Start(const std::string& path, int retries = 0, long long maxFileBytes = 0) {
        const std::string url = server.Url(path);
        TarnwickRequest request{url.c_str(), dir.path().c_str(), "file.bin", 1};
        TarnwickOptions options{resume.c_str(), "", 0, 0, retries, -1, maxFileBytes};
        TarnwickHandle handle = nullptr;
        EXPECT_EQ(TARNWICK_OK, Tarnwick_Downloader_Initialize(&request, &handle, &options));
        EXPECT_NE(nullptr, handle);
        return handle;
    }

    // Waits for the download's end, releases it and answers its last state.
    static int Finish(TarnwickHandle handle) {
        EXPECT_TRUE(Ends(handle));
        const int state = Tarnwick_Downloader_GetState(handle);
        Tarnwick_Downloader_Release(handle, 0);
        return state;
    }

    // Starts a download that the server holds after `bytes` and releases it there, keeping
    // its files; `whileHeld` looks at the running download first.
    void LeavePartial(long long bytes,
                      const std::function<void(TarnwickHandle)>& whileHeld = nullptr) {
        server.StallAfter("/file", bytes);
        TarnwickHandle handle = Start("/file", 1);
        EXPECT_TRUE(testsupport::WaitUntil([&] { return server.StalledCount() == 1; }));
        EXPECT_TRUE(testsupport::WaitUntil(
            [&] { return Tarnwick_Downloader_GetDownloadedSize(handle) == bytes; }));
        if (whileHeld) whileHeld(handle);
        Tarnwick_Downloader_Release(handle, 0);
        server.ReleaseStalls();
    }

    TarnwickHandle Load() {
        TarnwickHandle handle = nullptr;
        EXPECT_EQ(TARNWICK_OK, Tarnwick_Downloader_Load(&handle, resume.c_str()));
        return handle;
    }

    static bool Ends(TarnwickHandle handle) {
        return testsupport::WaitUntil(
            [&] { return Tarnwick_Downloader_GetState(handle) != TARNWICK_STATE_RUNNING; },
            std::chrono::seconds(30));
    }

    TempDir dir;
    TestHttpServer server;
    std::string target = dir.file("file.bin");
    std::string resume = dir.file("file.bin.resume");
    std::string payload = RandomBytes(300 * 1024 + 17, 7);
};

TEST_F(TarnwickTest, WholeDownloadCompletesWithSizesAndNoResumeFileLeft) {
    server.Serve("/file", payload);
    TarnwickHandle handle = Start("/file");
    ASSERT_TRUE(Ends(handle));
    EXPECT_EQ(TARNWICK_STATE_COMPLETE, Tarnwick_Downloader_GetState(handle));
    EXPECT_EQ(static_cast<long long>(payload.size()), Tarnwick_Downloader_GetFileSize(handle));
    EXPECT_EQ(static_cast<long long>(payload.size()),
              Tarnwick_Downloader_GetDownloadedSize(handle));
    EXPECT_EQ(0, Tarnwick_Downloader_GetLeftSize(handle));
    EXPECT_EQ(TARNWICK_OK, Tarnwick_Downloader_Release(handle, 0));
    EXPECT_EQ(payload, ReadFile(target));
    EXPECT_FALSE(Exists(resume));
    // A downloaded file is data, never a program, until its owner decides otherwise.
    struct stat info {};
    ASSERT_EQ(0, ::stat(target.c_str(), &info));
    EXPECT_EQ(0u, info.st_mode & 0111);
    // Releasing with deleteFiles keeps a complete file.
    TarnwickHandle again = Start("/file");
    ASSERT_TRUE(Ends(again));
    Tarnwick_Downloader_Release(again, 1);
    EXPECT_EQ(payload, ReadFile(target));
}

TEST_F(TarnwickTest, AFileBeyondTheBoundFailsWithNothingWrittenPastIt) {
    const long long bound = 100 * 1024;
    server.Serve("/announced", payload);
    server.ServeEndless("/endless", 64LL << 20);
    server.Serve("/exact", payload.substr(0, bound));
    const struct {
        const char* path;
        int state;
        long long written;
    } cases[] = {{"/announced", TARNWICK_STATE_FAILED, 0},
                 {"/endless", TARNWICK_STATE_FAILED, bound},
                 {"/exact", TARNWICK_STATE_COMPLETE, bound}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TarnwickHandle handle = Start(c.path, 3, bound);
        ASSERT_TRUE(Ends(handle));
        EXPECT_EQ(c.state, Tarnwick_Downloader_GetState(handle));
        EXPECT_EQ(c.written, Tarnwick_Downloader_GetDownloadedSize(handle));
        EXPECT_EQ(static_cast<size_t>(c.written), ReadFile(target).size());
        // Too large stays too large: no further attempt.
        EXPECT_EQ(1, server.RequestCount(c.path));
        Tarnwick_Downloader_Release(handle, 0);
    }
}

TEST_F(TarnwickTest, ErrorStatusFailsWithoutRetrying) {
    EXPECT_EQ(TARNWICK_STATE_FAILED, Finish(Start("/missing", 3)));
    EXPECT_EQ(1, server.RequestCount("/missing"));
}

TEST_F(TarnwickTest, BrokenTransferContinuesWithRangeWithinRetries) {
    server.Serve("/file", payload);
    server.DropAfter("/file", 100000, 2);
    EXPECT_EQ(TARNWICK_STATE_COMPLETE, Finish(Start("/file", 3)));
    EXPECT_EQ(payload, ReadFile(target));
    const auto requests = server.Requests("/file");
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("", requests[0].range);
    EXPECT_EQ("bytes=100000-", requests[1].range);
    EXPECT_EQ("bytes=200000-", requests[2].range);
}

TEST_F(TarnwickTest, BrokenTransferFailsOnceRetriesAreUsedUp) {
    server.Serve("/file", payload);
    server.DropAfter("/file", 1000, 5);
    EXPECT_EQ(TARNWICK_STATE_FAILED, Finish(Start("/file", 1)));
    EXPECT_EQ(2, server.RequestCount("/file"));
}

TEST_F(TarnwickTest, ReleasedDownloadResumesInAnotherHandleWithRange) {
    server.Serve("/file", payload);
    LeavePartial(65536, [&](TarnwickHandle running) {
        EXPECT_EQ(static_cast<long long>(payload.size()) - 65536,
                  Tarnwick_Downloader_GetLeftSize(running));
    });
    EXPECT_TRUE(Exists(resume));
    EXPECT_EQ(65536u, ReadFile(target).size());

    TarnwickHandle second = Load();
    EXPECT_EQ(static_cast<long long>(payload.size()), Tarnwick_Downloader_GetFileSize(second));
    EXPECT_EQ(TARNWICK_STATE_COMPLETE, Finish(second));
    EXPECT_EQ(payload, ReadFile(target));
    ASSERT_EQ(2, server.RequestCount("/file"));
    EXPECT_EQ("bytes=65536-", server.Requests("/file")[1].range);
    EXPECT_FALSE(Exists(resume));
}

TEST_F(TarnwickTest, ServerThatCannotContinueGivesTheWholeFileAgain) {
    // A fresh start replaces whatever was there.
    server.Serve("/file", payload);
    testsupport::WriteFile(target, payload.substr(0, 5000) + "garbage");
    EXPECT_EQ(TARNWICK_STATE_COMPLETE, Finish(Start("/file")));
    EXPECT_EQ(payload, ReadFile(target));

    // A server that ignores Range sends everything with 200.
    server.SetHonorRange("/file", false);
    LeavePartial(4096);
    EXPECT_EQ(TARNWICK_STATE_COMPLETE, Finish(Load()));
    EXPECT_EQ(payload, ReadFile(target));

    // The server's file changed meanwhile and is now shorter than our part (416).
    server.SetHonorRange("/file", true);
    LeavePartial(4096);
    const std::string shorter = payload.substr(0, 1000);
    server.Serve("/file", shorter);
    EXPECT_EQ(TARNWICK_STATE_COMPLETE, Finish(Load()));
    EXPECT_EQ(shorter, ReadFile(target));
}

TEST_F(TarnwickTest, ReleaseWithDeleteRemovesPartialAndResumeFiles) {
    server.Serve("/file", payload);
    server.StallAfter("/file", 8192);
    TarnwickHandle handle = Start("/file");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server.StalledCount() == 1; }));
    EXPECT_EQ(TARNWICK_STATE_RUNNING, Tarnwick_Downloader_GetState(handle));
    Tarnwick_Downloader_Release(handle, 1);
    server.ReleaseStalls();
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(resume));
}

TEST_F(TarnwickTest, BadArgumentsAndUnreadableResumeFilesGiveNoHandle) {
    TarnwickHandle handle = reinterpret_cast<TarnwickHandle>(&handle);
    EXPECT_NE(TARNWICK_OK, Tarnwick_Downloader_Load(&handle, dir.file("absent").c_str()));
    EXPECT_EQ(nullptr, handle);
    testsupport::WriteFile(resume, "[download]\nurl=\n");
    handle = reinterpret_cast<TarnwickHandle>(&handle);
    EXPECT_NE(TARNWICK_OK, Tarnwick_Downloader_Load(&handle, resume.c_str()));
    EXPECT_EQ(nullptr, handle);
    testsupport::WriteFile(resume, std::string("\0\1\2garbage", 10));
    EXPECT_NE(TARNWICK_OK, Tarnwick_Downloader_Load(&handle, resume.c_str()));
    EXPECT_EQ(nullptr, handle);

    const std::string url = server.Url("/file");
    TarnwickRequest escaping{url.c_str(), dir.path().c_str(), "../outside", 1};
    EXPECT_NE(TARNWICK_OK, Tarnwick_Downloader_Initialize(&escaping, &handle, nullptr));
    EXPECT_EQ(nullptr, handle);
    TarnwickRequest noUrl{"", dir.path().c_str(), "file.bin", 1};
    EXPECT_NE(TARNWICK_OK, Tarnwick_Downloader_Initialize(&noUrl, &handle, nullptr));

    EXPECT_EQ(TARNWICK_STATE_FAILED, Tarnwick_Downloader_GetState(nullptr));
    EXPECT_EQ(-1, Tarnwick_Downloader_GetLeftSize(nullptr));
    EXPECT_NE(TARNWICK_OK, Tarnwick_Downloader_Release(nullptr, 0));
}

TEST_F(TarnwickTest, ResumeFileNamingAFileOutsideItsFolderGivesNoHandle) {
    server.Serve("/file", payload);
    const std::string inner = dir.file("inner");
    ASSERT_TRUE(platform::MakeDirectories(inner));
    for (const char* name : {"../escaped.bin", "..", "."}) {
        SCOPED_TRACE(name);
        testsupport::WriteFile(resume, "[download]\nurl=" + server.Url("/file") +
                                           "\nfolder=" + inner + "\nfile=" + name + "\n");
        TarnwickHandle handle = reinterpret_cast<TarnwickHandle>(&handle);
        EXPECT_EQ(TARNWICK_ERROR_RESUME_FILE, Tarnwick_Downloader_Load(&handle, resume.c_str()));
        EXPECT_EQ(nullptr, handle);
    }
    EXPECT_FALSE(Exists(dir.file("escaped.bin")));
    EXPECT_EQ(0, server.RequestCount("/file"));
}

TEST_F(TarnwickTest, OnlyHttpAndHttpsAreFetched) {
    testsupport::WriteFile(dir.file("secret"), "secret");
    const std::string url = "file://" + dir.file("secret");
    TarnwickRequest request{url.c_str(), dir.path().c_str(), "file.bin", 1};
    TarnwickHandle handle = nullptr;
    ASSERT_EQ(TARNWICK_OK, Tarnwick_Downloader_Initialize(&request, &handle, nullptr));
    EXPECT_EQ(TARNWICK_STATE_FAILED, Finish(handle));
    EXPECT_NE("secret", ReadFile(target));
}

}  // namespace
