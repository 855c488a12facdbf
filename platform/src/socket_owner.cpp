#include "platform/socket_owner.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

// The kernel answers a lookup of one socket at once; this only bounds a kernel that does not.
constexpr int kDiagAnswerMs = 1000;

bool ParseHex(const std::string& text, unsigned long& value) {
    if (text.empty() || text.size() > 8) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, 16);
    return errno == 0 && end && *end == '\0';
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "ADDRESS:PORT" as the tables write it.
bool ParseEndpoint(const std::string& text, std::string& address, std::uint16_t& port) {
    const auto colon = text.find(':');
    unsigned long value = 0;
    if (colon == std::string::npos || !ParseHex(text.substr(colon + 1), value) || value > 0xFFFF)
        return false;
    address = Upper(text.substr(0, colon));
    port = static_cast<std::uint16_t>(value);
    return address.size() == 8 || address.size() == 32;
}

// A socket address of either family as 16 bytes, IPv4 in its IPv6-mapped form, and its port.
struct Endpoint {
    std::array<unsigned char, 16> address{};
    std::uint16_t port = 0;  // host byte order
    bool ipv4 = false;
};

bool ToEndpoint(const sockaddr_storage& storage, Endpoint& endpoint) {
    if (storage.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(storage);
        endpoint.address[10] = endpoint.address[11] = 0xFF;
        std::memcpy(endpoint.address.data() + 12, &in.sin_addr, 4);
        endpoint.port = ntohs(in.sin_port);
        endpoint.ipv4 = true;
        return true;
    }
    if (storage.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
        std::memcpy(endpoint.address.data(), &in6.sin6_addr, 16);
        endpoint.port = ntohs(in6.sin6_port);
        return true;
    }
    return false;
}

// The address words of a diag message in the same 16-byte form.
std::array<unsigned char, 16> DiagAddress(std::uint8_t family, const __be32 words[4]) {
    std::array<unsigned char, 16> address{};
    if (family == AF_INET) {
        address[10] = address[11] = 0xFF;
        std::memcpy(address.data() + 12, &words[0], 4);
    } else {
        std::memcpy(address.data(), words, 16);
    }
    return address;
}

void PutDiagAddress(const Endpoint& endpoint, __be32 words[4]) {
    if (endpoint.ipv4)
        std::memcpy(&words[0], endpoint.address.data() + 12, 4);
    else
        std::memcpy(words, endpoint.address.data(), 16);
}

// A file descriptor closed with the object.
struct Descriptor {
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

enum class DiagResult { Found, Missing, Unavailable };

// Whether `message` describes the peer's socket of the connection local <- peer, still held
// open by a process (a socket whose program has closed it keeps no owner worth trusting).
bool IsPeerSocket(const inet_diag_msg& message, const Endpoint& local, const Endpoint& peer) {
    return ntohs(message.id.idiag_sport) == peer.port &&
           ntohs(message.id.idiag_dport) == local.port &&
           DiagAddress(message.idiag_family, message.id.idiag_src) == peer.address &&
           DiagAddress(message.idiag_family, message.id.idiag_dst) == local.address &&
           message.idiag_inode != 0 && message.idiag_state != TCP_LISTEN;
}

// Reads the kernel's answer to one lookup.
DiagResult ReadDiagAnswer(int fd, const Endpoint& local, const Endpoint& peer, uid_t& owner,
                          std::string& error) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, kDiagAnswerMs) != 1) {
        error = "sock_diag gave no answer";
        return DiagResult::Unavailable;
    }
    alignas(nlmsghdr) char buffer[8192];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
        error = std::string("sock_diag: ") + std::strerror(got < 0 ? errno : EIO);
        return DiagResult::Unavailable;
    }
    int left = static_cast<int>(got);
    for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, left);
         header = NLMSG_NEXT(header, left)) {
        if (header->nlmsg_type == NLMSG_ERROR) {
            const int code = -static_cast<const nlmsgerr*>(NLMSG_DATA(header))->error;
            error = std::string("sock_diag: ") + std::strerror(code);
            return code == ENOENT ? DiagResult::Missing : DiagResult::Unavailable;
        }
        if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
            header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            continue;
        const auto* message = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
        if (!IsPeerSocket(*message, local, peer)) continue;
        owner = message->idiag_uid;
        return DiagResult::Found;
    }
    error = "sock_diag named no open socket at the peer's address";
    return DiagResult::Missing;
}

// Asks the kernel for the one socket at the peer's end: a cost that does not grow with the
// machine's other connections.
DiagResult OwnerByDiag(const Endpoint& local, const Endpoint& peer, uid_t& owner,
                       std::string& error) {
    const Descriptor netlink(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (netlink.fd < 0) {
        error = std::string("sock_diag: ") + std::strerror(errno);
        return DiagResult::Unavailable;
    }
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.header.nlmsg_seq = 1;
    message.request.sdiag_family = peer.ipv4 ? AF_INET : AF_INET6;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = ~0u;
    message.request.id.idiag_sport = htons(peer.port);
    message.request.id.idiag_dport = htons(local.port);
    PutDiagAddress(peer, message.request.id.idiag_src);
    PutDiagAddress(local, message.request.id.idiag_dst);
    message.request.id.idiag_cookie[0] = message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink.fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(sizeof message)) {
        error = std::string("sock_diag: ") + std::strerror(errno);
        return DiagResult::Unavailable;
    }
    return ReadDiagAnswer(netlink.fd, local, peer, owner, error);
}

std::uint32_t Ipv4Of(const Endpoint& endpoint) {
    std::uint32_t address = 0;
    std::memcpy(&address, endpoint.address.data() + 12, 4);
    return ntohl(address);
}

// The same answer from the tables, for a kernel without sock_diag: a scan of every TCP socket.
std::optional<uid_t> OwnerFromTables(const Endpoint& local, const Endpoint& peer,
                                     std::string& error) {
    if (!local.ipv4 || !peer.ipv4) {
        error += "; the tables are read for IPv4 connections only";
        return std::nullopt;
    }
    auto rows = ParseSocketTable(ReadSocketTable("/proc/net/tcp"));
    const auto rows6 = ParseSocketTable(ReadSocketTable("/proc/net/tcp6"));
    rows.insert(rows.end(), rows6.begin(), rows6.end());
    const auto owners = TcpPeerOwners(rows, Ipv4Of(local), local.port, Ipv4Of(peer), peer.port);
    if (owners.empty()) {
        error += "; no open socket at the peer's address in /proc/net/tcp";
        return std::nullopt;
    }
    if (std::any_of(owners.begin(), owners.end(), [&](uid_t uid) { return uid != owners[0]; })) {
        error += "; the peer's address is listed with several owners";
        return std::nullopt;
    }
    return owners[0];
}

}  // namespace

std::vector<SocketTableRow> ParseSocketTable(const std::string& text) {
    std::vector<SocketTableRow> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, timeout;
        unsigned long uid = 0, inode = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode))
            continue;
        SocketTableRow row;
        const auto queueColon = queues.find(':');
        unsigned long receiveQueue = 0;
        if (!ParseEndpoint(local, row.localAddress, row.localPort) ||
            !ParseEndpoint(remote, row.remoteAddress, row.remotePort) ||
            queueColon == std::string::npos ||
            !ParseHex(queues.substr(queueColon + 1), receiveQueue))
            continue;
        row.receiveQueue = static_cast<std::uint32_t>(receiveQueue);
        row.uid = static_cast<uid_t>(uid);
        row.inode = inode;
        rows.push_back(row);
    }
    return rows;
}

std::string ReadSocketTable(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SocketTableAddress(std::uint32_t hostOrder) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", htonl(hostOrder));
    return text;
}

std::string SocketTableMappedAddress(std::uint32_t hostOrder) {
    return "0000000000000000" + SocketTableAddress(0x0000FFFF) + SocketTableAddress(hostOrder);
}

std::vector<uid_t> TcpPeerOwners(const std::vector<SocketTableRow>& rows, std::uint32_t local,
                                 std::uint16_t localPort, std::uint32_t peer,
                                 std::uint16_t peerPort) {
    const auto is = [](const std::string& address, std::uint32_t ipv4) {
        return address == SocketTableAddress(ipv4) || address == SocketTableMappedAddress(ipv4);
    };
    std::vector<uid_t> owners;
    for (const SocketTableRow& row : rows)
        if (row.localPort == peerPort && row.remotePort == localPort && row.inode != 0 &&
            is(row.localAddress, peer) && is(row.remoteAddress, local))
            owners.push_back(row.uid);
    return owners;
}

std::optional<uid_t> TcpPeerOwner(int fd, std::string& error) {
    sockaddr_storage localAddress{}, peerAddress{};
    socklen_t localSize = sizeof localAddress, peerSize = sizeof peerAddress;
    Endpoint local, peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&localAddress), &localSize) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peerAddress), &peerSize) != 0) {
        error = std::string("not a connected socket: ") + std::strerror(errno);
        return std::nullopt;
    }
    if (!ToEndpoint(localAddress, local) || !ToEndpoint(peerAddress, peer)) {
        error = "not an IP connection";
        return std::nullopt;
    }
    uid_t owner = 0;
    switch (OwnerByDiag(local, peer, owner, error)) {
        case DiagResult::Found:
            return owner;
        case DiagResult::Missing:
            return std::nullopt;
        case DiagResult::Unavailable:
            break;
    }
    return OwnerFromTables(local, peer, error);
}

bool TcpPeerIsOwnUser(int fd) {
    std::string error;
    const std::optional<uid_t> owner = TcpPeerOwner(fd, error);
    return owner && *owner == ::geteuid();
}

}  // namespace platform
