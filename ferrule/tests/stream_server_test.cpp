// The stream server with its task manager over the recording engine: a task being made holds
// up no other request, only a new stream request ends a running stream, and a stream is aimed
// and fed without waiting for its next poll.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <memory>

#include "recorded_service_fixture.h"
#include "testsupport/loopback.h"

using namespace std::chrono_literals;

namespace stream_testing {

namespace {

// A host that takes connections (the system completes them) and never answers.
class SilentHost {
public:
    SilentHost() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen";
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentHost() { ::close(fd_); }
    // True once a client has connected (within `limit`).
    bool Called(std::chrono::milliseconds limit) const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(limit.count())) > 0;
    }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace

TEST_F(RecordedServiceTest, ATorrentHostThatNeverAnswersHoldsUpNoOtherRequest) {
    MakeVideo(300000, 65536, true);
    testsupport::WriteFile(app_.file("index.html"), "home");
    timings_.torrentFetchMs = 8000;
    StartService();
    SilentHost host;
    StreamReader waiting(port_, StreamPath(host.Url("slow.torrent")), "Range: bytes=0-");

    // While that torrent is fetched, other requests are answered at once.
    const auto r = Get(port_, "/index.html", "", 30s);
    EXPECT_EQ(200, r.status);
    EXPECT_EQ("home", r.body);
    EXPECT_FALSE(waiting.ReadHeaders(100ms)) << "the plain file waited for the torrent";

    // The waiting request is answered when its fetch gives up.
    ASSERT_TRUE(waiting.ReadHeaders(30s));
    EXPECT_EQ(404, waiting.status());
    EXPECT_TRUE(waiting.WaitClosed(5s));
}

TEST_F(RecordedServiceTest, StalledTorrentHostsHoldUpNoNewerStream) {
    MakeVideo(300000, 65536, true);
    StartService();  // the shipped time limit of a torrent download (15 s)
    // Four new videos whose torrent hosts never answer, each request read before the next.
    std::array<SilentHost, 4> hosts;
    std::vector<std::unique_ptr<StreamReader>> stalled;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        stalled.push_back(std::make_unique<StreamReader>(
            port_, StreamPath(hosts[i].Url("v" + std::to_string(i) + ".torrent")),
            "Range: bytes=0-"));
        hosts[i].Called(5s);
    }
    const auto sent = std::chrono::steady_clock::now();
    StreamReader fifth(port_, StreamPath(), "Range: bytes=0-");
    ASSERT_TRUE(fifth.ReadHeaders(2s)) << "the stream waited for the others";
    EXPECT_EQ(206, fifth.status());
    EXPECT_EQ(1u, fifth.ReadBody(1, 2s).size());
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s) << "no first byte within 2 s";
    // The older requests want videos that the newest one closes: they are answered at once.
    ASSERT_TRUE(stalled.back()->ReadHeaders(5s));
    EXPECT_EQ(404, stalled.back()->status());
}

TEST_F(RecordedServiceTest, OnlyANewStreamRequestEndsARunningStream) {
    constexpr int kPiece = 65536;
    MakeVideo(32 * kPiece, kPiece, false);
    testsupport::WriteFile(app_.file("index.html"), "home");
    StartService();
    StreamReader first(port_, StreamPath(), "Range: bytes=0-");
    ASSERT_TRUE(first.ReadHeaders(10s));
    ASSERT_EQ(206, first.status());
    recording_engine::Hold(TaskHandle(), 0, 8);
    std::string body = first.ReadBody(8 * kPiece, 10s);

    // A client that connects and says nothing, and one that asks for a plain file.
    const int idle = ConnectLoopback(port_);
    ASSERT_GE(idle, 0);
    EXPECT_EQ(200, Get(port_, "/index.html").status);
    recording_engine::Hold(TaskHandle(), 8, 32);
    body += first.ReadBody(video_.size() - body.size(), 10s);
    EXPECT_EQ(video_.size(), body.size());
    EXPECT_TRUE(body == video_) << "the stream differs";
    ::close(idle);
}

TEST_F(RecordedServiceTest, ANewStreamRequestEndsTheRunningStreamOfAnyTask) {
    constexpr int kPiece = 65536;
    MakeVideo(32 * kPiece, kPiece, false);
    StartService();
    StreamReader first(port_, StreamPath(), "Range: bytes=0-");
    ASSERT_TRUE(first.ReadHeaders(10s));
    recording_engine::Hold(TaskHandle(), 0, 2);
    EXPECT_EQ(2u * kPiece, first.ReadBody(2 * kPiece, 10s).size());
    // A request for a video whose torrent cannot be had: the running stream ends all the same.
    StreamReader other(port_, StreamPath("http://127.0.0.1:1/other.torrent"), "Range: bytes=0-");
    EXPECT_TRUE(first.WaitClosed(10s));
    ASSERT_TRUE(other.ReadHeaders(30s));
    EXPECT_EQ(404, other.status());
}

TEST_F(RecordedServiceTest, AStreamIsAimedAndFedWithoutWaitingForItsNextPoll) {
    constexpr int kPiece = 65536;
    MakeVideo(32 * kPiece, kPiece, false);
    // A poll far longer than the test: "at once" and "at the next poll" then differ by more
    // than any load on the machine can blur, which the shipped 10 ms would not show.
    timings_.streamPollMs = 60000;
    StartService();
    StreamReader first(port_, StreamPath(), "Range: bytes=0-");
    ASSERT_TRUE(first.ReadHeaders(10s));
    ASSERT_EQ(206, first.status());
    // Bytes that land while the stream waits go out as soon as the engine reports them.
    recording_engine::Hold(TaskHandle(), 0, 1);
    EXPECT_EQ(static_cast<std::size_t>(kPiece), first.ReadBody(kPiece, 5s).size());

    // A seek asks the engine for its piece when the request is read.
    constexpr int kSeekPiece = 20;
    ASSERT_NE(2, recording_engine::AppliedPriority(TaskHandle(), kSeekPiece));
    StreamReader seek(port_, StreamPath(),
                      "Range: bytes=" + std::to_string(kSeekPiece * kPiece) + "-");
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return recording_engine::AppliedPriority(TaskHandle(), kSeekPiece) == 2; }, 5s))
        << "the seek's piece was not asked for";
    ASSERT_TRUE(seek.ReadHeaders(10s));
    recording_engine::Hold(TaskHandle(), kSeekPiece, kSeekPiece + 1);
    EXPECT_EQ(static_cast<std::size_t>(kPiece), seek.ReadBody(kPiece, 5s).size());
}

}  // namespace stream_testing
