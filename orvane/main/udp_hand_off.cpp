#include "udp_hand_off.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

constexpr char kIpv4Wildcard[] = "00000000";
constexpr char kIpv6Wildcard[] = "00000000000000000000000000000000";

std::vector<platform::SocketTableRow> MachineEntries() {
    auto entries = platform::ParseSocketTable(platform::ReadSocketTable("/proc/net/udp"));
    const auto entries6 = platform::ParseSocketTable(platform::ReadSocketTable("/proc/net/udp6"));
    entries.insert(entries.end(), entries6.begin(), entries6.end());
    return entries;
}

}  // namespace

std::vector<uid_t> SenderOwners(const std::vector<platform::SocketTableRow>& entries,
                                std::uint32_t sender, std::uint16_t port) {
    const std::string v4 = platform::SocketTableAddress(sender);
    const std::string mapped = platform::SocketTableMappedAddress(sender);
    std::vector<uid_t> owners;
    for (const auto& entry : entries) {
        if (entry.localPort != port) continue;
        const std::string& address = entry.localAddress;
        const bool match = address.size() == 8 ? address == v4 || address == kIpv4Wildcard
                                               : address == mapped || address == kIpv6Wildcard;
        if (match) owners.push_back(entry.uid);
    }
    return owners;
}

bool SentByUser(std::uint32_t sender, std::uint16_t port, uid_t uid) {
    const auto owners = SenderOwners(MachineEntries(), sender, port);
    return !owners.empty() &&
           std::all_of(owners.begin(), owners.end(), [uid](uid_t owner) { return owner == uid; });
}

std::optional<std::uint32_t> LoopbackReceiveQueue(std::uint16_t port) {
    const std::string loopback = platform::SocketTableAddress(INADDR_LOOPBACK);
    for (const auto& entry : platform::ParseSocketTable(platform::ReadSocketTable("/proc/net/udp")))
        if (entry.localPort == port && entry.localAddress == loopback) return entry.receiveQueue;
    return std::nullopt;
}

bool HandOffToRunningPlayer(const std::string& utf8Path, std::string& error, std::uint16_t port,
                            std::chrono::milliseconds limit) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const ssize_t sent = ::sendto(fd, utf8Path.data(), utf8Path.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (sent != static_cast<ssize_t>(utf8Path.size())) {
        error = std::string("sendto: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    // The player reads the owner of this socket before it takes the datagram.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::optional<std::uint32_t> waiting;
    while ((waiting = LoopbackReceiveQueue(port)) && *waiting != 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::close(fd);
    if (!waiting)
        error = "no player listens on the hand-off port";
    else if (*waiting != 0)
        error = "the player did not take the datagram in time";
    return waiting && *waiting == 0;
}
