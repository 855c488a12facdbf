#include "platform/socket_owner.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>

#include "testsupport/other_user.h"

using namespace platform;

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

TEST(SocketTable, RowsOfBothTablesNameThePeerOfAConnectionWhileItIsOpen) {
    const std::string heading =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode\n";
    const std::string tcp = heading +
                            // the server's listener and its side of the connection
                            "   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 "
                            "00000000  1000        0 11 1\n"
                            "   1: 0100007F:1F90 0100007F:D431 01 00000000:00000000 00:00000000 "
                            "00000000  1000        0 12 1\n"
                            // the peer's socket, and one a program has closed already
                            "   2: 0100007F:D431 0100007F:1F90 01 00000000:00000020 00:00000000 "
                            "00000000  1001        0 13 1\n"
                            "   3: 0100007F:D432 0100007F:1F90 06 00000000:00000000 00:00000000 "
                            "00000000     0        0 0 1\n"
                            "   4: garbage\n";
    const std::string tcp6 =
        heading +
        "   5: 0000000000000000FFFF00000100007F:D433 0000000000000000FFFF00000100007F:1F90 01 "
        "00000000:00000000 00:00000000 00000000  1002        0 14 1\n";
    auto rows = ParseSocketTable(tcp);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].receiveQueue, 0x20u);
    EXPECT_EQ(rows[2].remoteAddress, SocketTableAddress(kLoopback));
    const auto rows6 = ParseSocketTable(tcp6);
    rows.insert(rows.end(), rows6.begin(), rows6.end());

    const struct {
        std::uint16_t localPort, peerPort;
        std::vector<uid_t> owners;
    } cases[] = {
        {8080, 0xD431, {1001}},  // an IPv4 peer
        {8080, 0xD433, {1002}},  // an IPv6 socket talking IPv4
        {8080, 0xD432, {}},      // closed by its program: no owner to trust
        {8081, 0xD431, {}},      // another server's connection
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peerPort);
        EXPECT_EQ(TcpPeerOwners(rows, kLoopback, c.localPort, kLoopback, c.peerPort), c.owners);
    }
    EXPECT_TRUE(TcpPeerOwners(rows, kLoopback, 8080, 0x7F000002, 0xD431).empty());
}

// A listener on 127.0.0.1 at a port of its own.
class Listener {
public:
    Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(fd_, 4) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int fd() const { return fd_; }
    int port() const { return port_; }
    // The next connection, or -1 when none comes in time.
    int Accept() const {
        pollfd ready{fd_, POLLIN, 0};
        return ::poll(&ready, 1, 20000) == 1 ? ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

private:
    int fd_;
    int port_ = 0;
};

// The peer's owner as the tables tell it (what a kernel without sock_diag leaves).
std::vector<uid_t> OwnersInTables(int accepted) {
    sockaddr_in local{}, peer{};
    socklen_t size = sizeof local;
    ::getsockname(accepted, reinterpret_cast<sockaddr*>(&local), &size);
    size = sizeof peer;
    ::getpeername(accepted, reinterpret_cast<sockaddr*>(&peer), &size);
    auto rows = ParseSocketTable(ReadSocketTable("/proc/net/tcp"));
    const auto rows6 = ParseSocketTable(ReadSocketTable("/proc/net/tcp6"));
    rows.insert(rows.end(), rows6.begin(), rows6.end());
    return TcpPeerOwners(rows, ntohl(local.sin_addr.s_addr), ntohs(local.sin_port),
                         ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port));
}

TEST(SocketOwner, APeerOfThisUserIsOursAndAListenerHasNoPeer) {
    Listener listener;
    ASSERT_GT(listener.port(), 0);
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(listener.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const int accepted = listener.Accept();
    ASSERT_GE(accepted, 0);

    std::string error;
    EXPECT_EQ(TcpPeerOwner(accepted, error), std::optional<uid_t>(::geteuid())) << error;
    EXPECT_TRUE(TcpPeerIsOwnUser(accepted));
    EXPECT_EQ(OwnersInTables(accepted), std::vector<uid_t>{::geteuid()});
    EXPECT_FALSE(TcpPeerOwner(listener.fd(), error));
    EXPECT_FALSE(error.empty());
    ::close(accepted);
    ::close(client);
}

TEST(SocketOwner, APeerOfAnotherUserIsNamedAsTheirs) {
    if (!testsupport::CanActAsOtherUsers()) GTEST_SKIP() << "needs root to act as another user";
    Listener listener;
    ASSERT_GT(listener.port(), 0);
    auto exchange = std::async(std::launch::async, [&] {
        return testsupport::ExchangeAsUser(testsupport::kOtherUserId, listener.port(), "hello");
    });
    const int accepted = listener.Accept();
    ASSERT_GE(accepted, 0);
    std::string error;
    EXPECT_EQ(TcpPeerOwner(accepted, error), std::optional<uid_t>(testsupport::kOtherUserId))
        << error;
    EXPECT_FALSE(TcpPeerIsOwnUser(accepted));
    EXPECT_EQ(OwnersInTables(accepted), std::vector<uid_t>{testsupport::kOtherUserId});
    ::close(accepted);
    EXPECT_EQ(exchange.get(), std::optional<std::string>(""));
}

}  // namespace
