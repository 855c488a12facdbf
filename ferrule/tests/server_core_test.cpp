// The loopback server on a real socket: plain files, errors, request splitting, closing
// of finished connections and a bounded stop.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "app_settings.h"
#include "connection_manager.h"
#include "server.h"
#include "server_test_http.h"
#include "testsupport/children.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "testsupport/other_user.h"
#include "testsupport/temp_dir.h"

using namespace std::chrono_literals;
using stream_testing::Get;
using stream_testing::RawRequest;

namespace {

class ServerCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFile(dir_.file("index.html"), "<h1>home</h1>");
        testsupport::WriteFile(dir_.file("ini/app.ini"), "[AppSetting]\n");
        port_ = testsupport::FreeLoopbackPort();
        server_ =
            std::make_unique<http::server::server>("127.0.0.1", std::to_string(port_), dir_.path());
        server_->run();
    }
    void TearDown() override { server_.reset(); }

    testsupport::TempDir dir_;
    int port_ = 0;
    std::unique_ptr<http::server::server> server_;
};

}  // namespace

TEST_F(ServerCoreTest, ServesIndexAndClosesTheConnection) {
    const auto r = Get(port_, "/");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(200, r.status);
    EXPECT_EQ("<h1>home</h1>", r.body);
    EXPECT_EQ("text/html", r.headers.at("content-type"));
    EXPECT_EQ("bytes", r.headers.at("accept-ranges"));
    EXPECT_TRUE(r.closed);
    // Finished connections leave the manager.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server_->connection_count() == 0; }));
}

TEST_F(ServerCoreTest, ErrorsAreAnsweredAndClosed) {
    auto r = Get(port_, "/missing.html");
    EXPECT_EQ(404, r.status);
    EXPECT_TRUE(r.closed);
    r = Get(port_, "/a/../index.html");
    EXPECT_EQ(400, r.status);
    r = Get(port_, "/ini/app.ini");
    EXPECT_EQ(403, r.status);
    r = RawRequest(port_, "GET / HTTP/1.1\r\nHost: attacker.example\r\n\r\n");
    EXPECT_EQ(403, r.status);
    r = RawRequest(port_, "GE(T / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(400, r.status);
    EXPECT_TRUE(r.closed);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server_->connection_count() == 0; }));
}

// The service streams for the user who runs it: another user's program on the same machine
// reaches the port too, and its connection is closed before anything of it is read.
TEST_F(ServerCoreTest, AConnectionFromAnotherUsersSocketIsClosedUnanswered) {
    if (!testsupport::CanActAsOtherUsers()) GTEST_SKIP() << "needs root to act as another user";
    const std::string request =
        "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n\r\n";
    const struct {
        uid_t uid;
        bool answered;
    } cases[] = {{::geteuid(), true}, {testsupport::kOtherUserId, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uid);
        const auto received = testsupport::ExchangeAsUser(c.uid, port_, request);
        ASSERT_TRUE(received) << "no close within the limit";
        if (c.answered)
            EXPECT_EQ(received->rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << *received;
        else
            EXPECT_EQ(*received, "");
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server_->connection_count() == 0; }));
    EXPECT_EQ(Get(port_, "/").status, 200);  // and the server goes on
}

TEST_F(ServerCoreTest, RequestSplitOverSeveralWritesParsesAsOne) {
    const int fd = stream_testing::ConnectLoopback(port_);
    ASSERT_GE(fd, 0);
    const std::string parts[] = {"GE", "T /index.h", "tml HTTP/1.1\r\nHo", "st: localhost\r\n",
                                 "\r", "\n"};
    for (const std::string& p : parts) {
        ASSERT_EQ(static_cast<ssize_t>(p.size()), ::send(fd, p.data(), p.size(), MSG_NOSIGNAL));
        std::this_thread::sleep_for(5ms);
    }
    std::string all;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof(buf), 0)) > 0) all.append(buf, static_cast<size_t>(n));
    ::close(fd);
    EXPECT_EQ(0u, all.find("HTTP/1.1 200 OK\r\n"));
    EXPECT_NE(std::string::npos, all.find("<h1>home</h1>"));
}

TEST_F(ServerCoreTest, StreamRequestWithoutATaskIs404AndClosed) {
    // No task manager runs here, so no stream can be opened.
    const auto r = Get(port_, "/bturl:aHR0cDovL3gvYS50b3JyZW50", "Range: bytes=0-", 5s);
    EXPECT_EQ(404, r.status);
    EXPECT_TRUE(r.closed);
}

// A page in a browser makes it send a request here with an <img> or a fetch: marked by an
// Origin header, or by the page's own address as Referer, or, when the page kept its Referer
// back, by the browser's User-Agent. Such a request is refused before it can name a file or a
// torrent; the playback engine sends none of these ("libmpv" as its agent).
TEST_F(ServerCoreTest, RequestsWebPagesMakeAreRefused) {
    const std::string own = "http://127.0.0.1:" + std::to_string(port_);
    const std::string browser = "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/602.1";
    const struct {
        std::string lines;
        int file, stream;  // statuses; no task manager runs here, so a stream request is 404
    } cases[] = {
        {"", 200, 404},
        {"User-Agent: libmpv\r\nIcy-MetaData: 1", 200, 404},
        {"Referer: " + own + "/index.html", 200, 404},
        {"Referer: " + own + "/index.html\r\n" + browser, 200, 404},
        {"Origin: " + own, 403, 403},
        {"origin: null", 403, 403},
        {"Referer: http://evil.example/page.html", 403, 403},
        {"REFERER: http://localhost:" + std::to_string(port_) + "/", 403, 403},
        {browser, 403, 403},
        {"user-agent: mozilla/4.0 (compatible; MSIE 8.0)", 403, 403},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Get(port_, "/", c.lines).status, c.file) << c.lines;
        EXPECT_EQ(Get(port_, "/bturl:aHR0cDovL3gvYS50b3JyZW50",
                      "Range: bytes=0-" + (c.lines.empty() ? "" : "\r\n" + c.lines), 5s)
                      .status,
                  c.stream)
            << c.lines;
    }
}

TEST_F(ServerCoreTest, StopEndsIdleConnectionsQuickly) {
    // Clients that connect and send nothing must not hold up the stop.
    std::vector<int> fds;
    for (int i = 0; i < 5; ++i) {
        const int fd = stream_testing::ConnectLoopback(port_);
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server_->connection_count() == 5; }));
    const auto started = std::chrono::steady_clock::now();
    server_->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(0u, server_->connection_count());
    for (int fd : fds) {
        char c;
        EXPECT_EQ(0, ::recv(fd, &c, 1, 0));
        ::close(fd);
    }
}

TEST(ServerCoreBind, APortInUseThrowsFromTheConstructor) {
    testsupport::TempDir dir;
    const int port = testsupport::FreeLoopbackPort();
    http::server::server first("127.0.0.1", std::to_string(port), dir.path());
    EXPECT_THROW(http::server::server("127.0.0.1", std::to_string(port), dir.path()),
                 std::exception);
}

TEST(ServerCoreAccept, AcceptingResumesAfterRunningOutOfDescriptors) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("index.html"), "home");
    const std::string root = dir.path();
    // In a child, so that the lowered descriptor limit touches nothing else.
    EXPECT_TRUE(testsupport::RunInChildren(1, [&root](int) {
        const int port = testsupport::FreeLoopbackPort();
        http::server::server server("127.0.0.1", std::to_string(port), root);
        server.run();
        rlimit original{};
        if (::getrlimit(RLIMIT_NOFILE, &original) != 0) return false;
        const int lowest_free = ::open("/dev/null", O_RDONLY);
        if (lowest_free < 0) return false;
        ::close(lowest_free);
        // The client's socket takes the last descriptor, so the server's accept fails.
        rlimit tight = original;
        tight.rlim_cur = static_cast<rlim_t>(lowest_free) + 1;
        if (::setrlimit(RLIMIT_NOFILE, &tight) != 0) return false;
        const int client = stream_testing::ConnectLoopback(port);
        std::this_thread::sleep_for(300ms);
        ::setrlimit(RLIMIT_NOFILE, &original);
        if (client < 0) return false;
        const auto r = Get(port, "/", "", 5s);
        ::close(client);
        return r.status == 200 && r.body == "home";
    }));
}

namespace {

long ResidentKiB() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    while (f != nullptr && std::fgets(line, sizeof(line), f) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1) break;
    }
    if (f != nullptr) std::fclose(f);
    return kb;
}

// True when the server has begun to answer on `fd` (a byte waits to be read).
bool AnswerBegun(int fd) {
    char c;
    return ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 1;
}

// True when the server closed `fd` (the end of the stream arrives within `limit`).
bool ClosedByServer(int fd, std::chrono::milliseconds limit) {
    return testsupport::WaitUntil(
        [fd] {
            char buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof(buf), MSG_DONTWAIT);
            return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        },
        limit);
}

std::string GetFile(const std::string& name) {
    return "GET /" + name + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

}  // namespace

TEST(ServerCoreLimits, ClientsThatNeverReadAFileHoldLittleMemory) {
    testsupport::TempDir dir;
    constexpr long long kFileBytes = 17 * 1024 * 1024;
    ASSERT_TRUE(testsupport::MakeRandomFile(dir.file("movie.mp4"), kFileBytes, 3));
    const std::string root = dir.path();
    // In a child, so that its resident memory is the server's and the clients' alone.
    EXPECT_TRUE(testsupport::RunInChildren(1, [&root](int) {
        const int port = testsupport::FreeLoopbackPort();
        http::server::server server("127.0.0.1", std::to_string(port), root);
        server.run();
        const long before = ResidentKiB();
        std::vector<int> fds;
        for (int i = 0; i < 40; ++i) {
            const int fd = stream_testing::ConnectLoopback(port);
            if (fd < 0) return false;
            const std::string request = GetFile("movie.mp4");
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            fds.push_back(fd);
        }
        const bool answered = testsupport::WaitUntil([&fds] {
            for (const int fd : fds) {
                if (!AnswerBegun(fd)) return false;
            }
            return true;
        });
        const long grown = ResidentKiB() - before;
        for (const int fd : fds) ::close(fd);
        std::fprintf(stderr, "40 clients that do not read: %ld KiB more\n", grown);
        // Whole files would take 680 MiB.
        return answered && grown < 64 * 1024;
    }));
}

TEST_F(ServerCoreTest, OpenConnectionsAreBoundedByClosingTheOldestIdleOnes) {
    constexpr std::size_t kLimit = http::server::connection_manager::max_connections;
    std::vector<int> fds;
    for (std::size_t i = 0; i < kLimit + 20; ++i) {
        const int fd = stream_testing::ConnectLoopback(port_);
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
        // One at a time, so that the server sees them in this order.
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return server_->connection_count() == std::min(i + 1, kLimit); }));
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
        char c;
        const bool open = ::recv(fds[i], &c, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
        if (i < 20) {
            EXPECT_TRUE(ClosedByServer(fds[i], 5s)) << i;
        } else {
            EXPECT_TRUE(open) << i;
        }
    }
    // A new request is still served, and the last idle ones made room for it.
    const auto r = Get(port_, "/");
    EXPECT_EQ(200, r.status);
    EXPECT_EQ("<h1>home</h1>", r.body);
    for (const int fd : fds) ::close(fd);
}

TEST_F(ServerCoreTest, UnfinishedRequestsAndStalledRepliesTimeOut) {
    server_.reset();
    StreamTimingValues timings;
    timings.requestReadMs = 300;
    SetStreamTimingsForTesting(timings);
    ASSERT_TRUE(testsupport::MakeRandomFile(dir_.file("big.bin"), 8 * 1024 * 1024, 4));
    server_ =
        std::make_unique<http::server::server>("127.0.0.1", std::to_string(port_), dir_.path());
    server_->run();

    const int silent = stream_testing::ConnectLoopback(port_);
    const int half = stream_testing::ConnectLoopback(port_);
    const int stalled = stream_testing::ConnectLoopback(port_);
    ASSERT_GE(silent, 0);
    ASSERT_GE(half, 0);
    ASSERT_GE(stalled, 0);
    const std::string part = "GET /index.html HTTP/1.1\r\nHo";
    ::send(half, part.data(), part.size(), MSG_NOSIGNAL);
    // A client that takes the headers and then stops reading an 8 MiB reply.
    const int small = 4096;
    ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    const std::string request = GetFile("big.bin");
    ::send(stalled, request.data(), request.size(), MSG_NOSIGNAL);

    EXPECT_TRUE(ClosedByServer(silent, 10s));
    EXPECT_TRUE(ClosedByServer(half, 10s));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server_->connection_count() == 0; }, 10s));
    // A prompt client is served as before.
    EXPECT_EQ(200, Get(port_, "/index.html").status);
    for (const int fd : {silent, half, stalled}) ::close(fd);
    SetStreamTimingsForTesting(StreamTimingValues());
}
