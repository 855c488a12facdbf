#include "platform/named_pipe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "platform/process.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

namespace {

using platform::PipeCall;
using platform::PipeServer;

// What a dead server leaves behind: a socket file that nobody listens on.
void LeaveSocketFile(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

// Serves `clients` exchanges on a thread of its own, answering "re:" + request, and keeps
// the requests in the order they came. Going away ends a wait that is still blocked.
class Serving {
public:
    Serving(PipeServer& server, int clients)
        : server_(server), requests_(std::async(std::launch::async, [&server, clients] {
              std::vector<std::string> requests;
              for (int i = 0; i < clients && server.WaitForClient(); ++i) {
                  std::string request;
                  if (!server.ReadMessage(request)) continue;
                  requests.push_back(request);
                  server.WriteMessage(request == "empty-reply" ? "" : "re:" + request);
                  server.Disconnect();
              }
              return requests;
          })) {}
    ~Serving() {
        if (!requests_.valid()) return;
        server_.Shutdown();
        requests_.wait();
    }
    std::vector<std::string> Requests() { return requests_.get(); }

private:
    PipeServer& server_;
    std::future<std::vector<std::string>> requests_;
};

class NamedPipe : public ::testing::Test {
protected:
    // Without a server the call ends by itself; one that waited (as for a busy server, without
    // limit) would never end here.
    bool FailsAtOnce() {
        std::string reply = "unchanged";
        auto call =
            std::async(std::launch::async, [&] { return PipeCall(name_, "hello", &reply, 0); });
        if (call.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            ADD_FAILURE() << "the call waits for a server that is not there";
            std::abort();  // the call cannot be taken back; the test program cannot go on
        }
        EXPECT_EQ(reply, "unchanged");
        return !call.get();
    }

    testsupport::TempDir runtime_;
    testsupport::ScopedEnv env_{"XDG_RUNTIME_DIR", runtime_.path()};
    const std::string name_ = "orvane-test-" + std::to_string(getpid());
};

TEST_F(NamedPipe, RoundTripsCarryWholeMessages) {
    EXPECT_EQ(platform::PipeSocketPath("\\\\.\\pipe\\" + name_),
              runtime_.file("orvane/" + name_ + ".pipe"));
    EXPECT_EQ(platform::PipeSocketPath("\\\\.\\pipe\\"), "");

    auto server = PipeServer::Create("\\\\.\\pipe\\" + name_);
    ASSERT_TRUE(server);
    Serving served(*server, 5);

    std::string reply;
    ASSERT_TRUE(PipeCall(name_, "bturl::", &reply, 0));
    EXPECT_EQ(reply, "re:bturl::");
    // An empty request is a message, not a client that left; an empty reply is a success.
    ASSERT_TRUE(PipeCall(name_, "", &reply, 0));
    EXPECT_EQ(reply, "re:");
    ASSERT_TRUE(PipeCall(name_, "empty-reply", &reply, 0));
    EXPECT_EQ(reply, "");
    EXPECT_TRUE(PipeCall(name_, "speedlimit::download:1,upload:2", nullptr, 5000));

    // A longer message than the buffer is cut; a cut reply still counts.
    const std::string tooLong = std::string(platform::kPipeBufferSize, 'b') + "tail";
    ASSERT_TRUE(PipeCall(name_, tooLong, &reply, 0));
    EXPECT_EQ(reply.size(), platform::kPipeBufferSize);

    const auto requests = served.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[1], "");
    EXPECT_EQ(requests[4], tooLong.substr(0, platform::kPipeBufferSize));
}

TEST_F(NamedPipe, BusyServerServesClientsInTurn) {
    // Declared first, so that on a failed assertion the server goes before its waiting clients.
    std::future<std::string> first, second;
    std::atomic<bool> secondDone{false};
    auto server = PipeServer::Create(name_);
    ASSERT_TRUE(server);
    first = std::async(std::launch::async, [&] {
        std::string reply;
        return PipeCall(name_, "first", &reply, 0) ? reply : "failed";
    });
    ASSERT_TRUE(server->WaitForClient());
    std::string request;
    ASSERT_TRUE(server->ReadMessage(request));
    EXPECT_EQ(request, "first");

    // While the first is served, the second waits its turn.
    second = std::async(std::launch::async, [&] {
        std::string own;
        const bool ok = PipeCall(name_, "second", &own, 0);
        secondDone = true;
        return ok ? own : "failed";
    });
    EXPECT_FALSE(
        testsupport::WaitUntil([&] { return secondDone.load(); }, std::chrono::milliseconds(300)));

    ASSERT_TRUE(server->WriteMessage("re:first"));
    server->Disconnect();
    EXPECT_EQ(first.get(), "re:first");

    Serving served(*server, 1);
    EXPECT_EQ(second.get(), "re:second");
    EXPECT_EQ(served.Requests(), std::vector<std::string>{"second"});
}

TEST_F(NamedPipe, TimeOutBoundsAServerThatNeverAnswers) {
    auto server = PipeServer::Create(name_);
    ASSERT_TRUE(server);
    auto call = std::async(std::launch::async, [&] { return PipeCall(name_, "x", nullptr, 150); });
    ASSERT_TRUE(server->WaitForClient());
    std::string request;
    ASSERT_TRUE(server->ReadMessage(request));
    EXPECT_FALSE(call.get());
    EXPECT_FALSE(server->WriteMessage("too late"));
}

TEST_F(NamedPipe, WithoutAServerEveryCallFailsAtOnce) {
    EXPECT_TRUE(FailsAtOnce());  // no socket file at all

    LeaveSocketFile(platform::PipeSocketPath(name_));
    EXPECT_TRUE(FailsAtOnce());

    auto server = PipeServer::Create(name_);  // and it does not block a new server
    ASSERT_TRUE(server);
    server->Shutdown();
    EXPECT_TRUE(FailsAtOnce());
    server.reset();
    struct stat st {};
    EXPECT_NE(lstat(platform::PipeSocketPath(name_).c_str(), &st), 0);
    EXPECT_TRUE(FailsAtOnce());
}

TEST_F(NamedPipe, ShutdownEndsABlockedWait) {
    auto server = PipeServer::Create(name_);
    ASSERT_TRUE(server);
    auto waiting = std::async(std::launch::async, [&] { return server->WaitForClient(); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    server->Shutdown();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    EXPECT_FALSE(server->WaitForClient());
}

TEST_F(NamedPipe, ShutdownEndsAReadFromASilentClient) {
    auto server = PipeServer::Create(name_);
    ASSERT_TRUE(server);
    // A client that connects and never sends anything.
    const int silent = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    platform::PipeSocketPath(name_).copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(connect(silent, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(server->WaitForClient());

    auto reading = std::async(std::launch::async, [&] {
        std::string message;
        return server->ReadMessage(message);
    });
    EXPECT_EQ(reading.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    server->Shutdown();
    const bool ended = reading.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    close(silent);  // ends the read in any case, so that a failure does not hang the test
    ASSERT_TRUE(ended);
    EXPECT_FALSE(reading.get());
}

TEST_F(NamedPipe, OneLiveServerPerNameAndADeadOneDoesNotCount) {
    auto first = PipeServer::Create(name_);
    ASSERT_TRUE(first);
    EXPECT_FALSE(PipeServer::Create("\\\\.\\pipe\\" + name_));
    Serving served(*first, 1);
    EXPECT_TRUE(PipeCall(name_, "still first", nullptr, 0));  // the refused one took nothing
    EXPECT_EQ(served.Requests(), std::vector<std::string>{"still first"});
    first.reset();

    // A server in another process, killed without any clean-up.
    const std::string ready = runtime_.file("ready");
    auto child = platform::StartProcess(PLATFORM_TEST_CHILD, {"pipe-server", name_, ready});
    ASSERT_TRUE(child);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return testsupport::ReadFile(ready) == "ready\n"; }));
    std::string reply;
    EXPECT_TRUE(PipeCall(name_, "hi", &reply, 0));
    EXPECT_EQ(reply, "child:hi");
    EXPECT_FALSE(PipeServer::Create(name_));
    child->Kill();
    ASSERT_TRUE(child->Wait(60000));

    struct stat st {};
    EXPECT_EQ(lstat(platform::PipeSocketPath(name_).c_str(), &st), 0);  // left behind
    EXPECT_TRUE(FailsAtOnce());
    auto next = PipeServer::Create(name_);
    ASSERT_TRUE(next);
    Serving servedNext(*next, 1);
    EXPECT_TRUE(PipeCall(name_, "new", &reply, 0));
    EXPECT_EQ(reply, "re:new");
    EXPECT_EQ(servedNext.Requests(), std::vector<std::string>{"new"});
}

TEST_F(NamedPipe, ClientOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
    // Let the other user reach the socket, so that only the server's check stands between.
    // (Looking up the socket path tightens our runtime folder again, so look it up first.)
    auto server = PipeServer::Create(name_);
    ASSERT_TRUE(server);
    const std::string socketPath = platform::PipeSocketPath(name_);
    ASSERT_EQ(chmod(runtime_.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(runtime_.file("orvane").c_str(), 0755), 0);
    ASSERT_EQ(chmod(socketPath.c_str(), 0666), 0);
    Serving served(*server, 1);

    auto intruder = platform::StartProcess(PLATFORM_TEST_CHILD,
                                           {"pipe-call-as", socketPath, "intruder", "65534"});
    ASSERT_TRUE(intruder);
    ASSERT_TRUE(intruder->Wait(60000));
    EXPECT_EQ(intruder->ExitCode(), 1);  // reached the socket, and the call failed

    auto friendly = platform::StartProcess(PLATFORM_TEST_CHILD, {"pipe-call", name_, "friend"});
    ASSERT_TRUE(friendly);
    ASSERT_TRUE(friendly->Wait(60000));
    EXPECT_EQ(friendly->ExitCode(), 0);
    EXPECT_EQ(served.Requests(), std::vector<std::string>{"friend"});
}

}  // namespace
