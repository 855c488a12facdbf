// The HTTP assist client against a loopback HTTP server that honours Range: resumed
// downloads into its buffer, redirections, its byte limit, data past its buffer, a stop from
// another thread, and when a stream leans on it.
#include "async_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "assist_rules.h"
#include "server_test_http.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"

using namespace std::chrono_literals;

namespace {

class AsyncHttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::MakeRandomFile(dir_.file("movie.bin"), kSize, 9));
        movie_ = testsupport::ReadFile(dir_.file("movie.bin"));
        server_ = std::make_unique<stream_testing::TestFileServer>(dir_.path());
    }
    // Waits for the download to end.
    bool Ended(const CAsyncHttpClient& client) {
        return testsupport::WaitUntil([&] { return !client.IsRunning(); }, 20s);
    }
    std::string Buffered(const CAsyncHttpClient& client, std::uint64_t from, std::size_t count) {
        std::string out(count, '\0');
        out.resize(client.CopyData(from, &out[0], count));
        return out;
    }

    static constexpr long long kSize = 3 * 1024 * 1024 + 17;
    testsupport::TempDir dir_;
    std::string movie_;
    std::unique_ptr<stream_testing::TestFileServer> server_;
};

}  // namespace

TEST_F(AsyncHttpClientTest, DownloadsTheRestOfTheFileFromItsStartIntoTheBuffer) {
    CAsyncHttpClient client;
    const std::uint64_t start = 1000003;
    ASSERT_NE(0, client.HttpGetFile(server_->Url("movie.bin"), start));
    ASSERT_TRUE(Ended(client));
    EXPECT_TRUE(client.IsComplete());
    EXPECT_EQ(static_cast<std::int64_t>(kSize - start), client.GetExpectedLength());
    EXPECT_EQ(kSize - start, client.GetDownloadedBytes());
    EXPECT_EQ(start, client.GetStartPosition());
    EXPECT_TRUE(Buffered(client, 0, kSize) == movie_.substr(start));
    EXPECT_TRUE(Buffered(client, 5, 10) == movie_.substr(start + 5, 10));
    // A second download may start once the first has ended.
    ASSERT_NE(0, client.HttpGetFile(server_->Url("movie.bin"), 0));
    ASSERT_TRUE(Ended(client));
    EXPECT_TRUE(Buffered(client, 0, kSize) == movie_);
}

TEST_F(AsyncHttpClientTest, FollowsUpToThreeRedirectionsAndFailsOnErrors) {
    server_->Redirect("a", "b");
    server_->Redirect("b", "c");
    server_->Redirect("c", "movie.bin");
    server_->Redirect("loop1", "loop2");
    server_->Redirect("loop2", "loop3");
    server_->Redirect("loop3", "loop4");
    server_->Redirect("loop4", "movie.bin");
    struct Case {
        const char* name;
        bool complete;
    };
    for (const Case c : {Case{"a", true}, Case{"loop1", false}, Case{"missing.bin", false}}) {
        CAsyncHttpClient client;
        ASSERT_NE(0, client.HttpGetFile(server_->Url(c.name), 10));
        ASSERT_TRUE(Ended(client)) << c.name;
        EXPECT_EQ(c.complete, client.IsComplete()) << c.name;
        // Nothing of an error page or a redirection is taken for the file.
        EXPECT_EQ(c.complete ? kSize - 10 : 0, client.GetDownloadedBytes()) << c.name;
    }
}

TEST_F(AsyncHttpClientTest, StopsBeyondItsByteLimit) {
    CAsyncHttpClient client;
    client.SetByteLimit(1024 * 1024);
    ASSERT_NE(0, client.HttpGetFile(server_->Url("movie.bin"), 0));
    ASSERT_TRUE(Ended(client));
    EXPECT_FALSE(client.IsComplete());
    EXPECT_GT(client.GetDownloadedBytes(), 1024u * 1024u);
    EXPECT_LT(client.GetDownloadedBytes(), static_cast<std::uint64_t>(kSize));
    const std::size_t got = static_cast<std::size_t>(client.GetDownloadedBytes());
    EXPECT_TRUE(Buffered(client, 0, got) == movie_.substr(0, got));
}

TEST_F(AsyncHttpClientTest, DataPastTheBufferGoesToTheTargetFileInOrder) {
    const long long big = CAsyncHttpClient::kBufferBytes + 1024 * 1024 + 3;
    ASSERT_TRUE(testsupport::MakeRandomFile(dir_.file("big.bin"), big, 10));
    CAsyncHttpClient client;
    const std::string target = dir_.file("out/part.bin");
    client.SetTargetFile(target);
    const std::uint64_t start = 4096;
    ASSERT_NE(0, client.HttpGetFile(server_->Url("big.bin"), start));
    ASSERT_TRUE(Ended(client));
    EXPECT_TRUE(client.IsComplete());
    const std::string written = testsupport::ReadFile(target);
    ASSERT_EQ(static_cast<std::size_t>(big), written.size());
    EXPECT_TRUE(written.substr(start) == testsupport::ReadFile(dir_.file("big.bin")).substr(start));
}

TEST_F(AsyncHttpClientTest, AStopFromAnotherThreadEndsASlowDownloadAtOnce) {
    server_->SetPace(16 * 1024, 200ms);  // about 80 KiB/s: the whole file takes 40 s
    CAsyncHttpClient client;
    ASSERT_NE(0, client.HttpGetFile(server_->Url("movie.bin"), 0));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client.GetDownloadedBytes() > 0; }, 10s));
    EXPECT_EQ(0, client.HttpGetFile(server_->Url("movie.bin"), 0)) << "two downloads at once";
    // Between the server's pieces the worker sleeps in its wait: a spinning one would burn a
    // whole core for the second or so that five pieces take.
    const auto wallBefore = std::chrono::steady_clock::now();
    const std::clock_t cpuBefore = std::clock();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client.GetDownloadedBytes() >= 6 * 16 * 1024; },
                                       20s, 50ms));
    const double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    EXPECT_LT(cpu, wall / 2) << "cpu " << cpu << " s in " << wall << " s";
    const auto started = std::chrono::steady_clock::now();
    std::thread stopper([&client] { client.CloseMainThread(); });
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_FALSE(client.IsRunning());
    EXPECT_FALSE(client.IsComplete());
}

TEST(AssistRules, WhenTheStreamLeansOnItsAssist) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    struct Case {
        std::uint64_t downloaded, ageMs, available;
        bool speedUp, stop;
    };
    const Case cases[] = {
        {100 * 1024, 1000, 0, false, false},          // early days
        {512, 4000, 0, false, false},                 // little yet, but not for long
        {512, 5001, 0, true, false},                  // nothing comes: the engine at full speed
        {8 * kMiB, 1000, 0, true, false},             // enough to lean on
        {12 * kMiB, 1000, 0, true, true},             // its share is in
        {2 * kMiB, 80001, 0, true, false},            // running long
        {2 * kMiB, 120001, 0, true, true},            // running too long
        {2 * kMiB, 1000, 5 * kMiB, false, false},     // the engine just 3 MiB ahead
        {2 * kMiB, 1000, 5 * kMiB + 1, false, true},  // the engine well ahead
    };
    for (const Case& c : cases) {
        const AssistStep step = DecideAssist(c.downloaded, c.ageMs, c.available);
        EXPECT_EQ(c.speedUp, step.speedUp) << c.downloaded << " " << c.ageMs;
        EXPECT_EQ(c.stop, step.stop) << c.downloaded << " " << c.ageMs << " " << c.available;
    }
}
