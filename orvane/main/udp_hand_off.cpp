#include "udp_hand_off.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr char kIpv4Wildcard[] = "00000000";
constexpr char kIpv6Wildcard[] = "00000000000000000000000000000000";

std::string ReadTable(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<UdpSocketEntry> MachineEntries() {
    auto entries = ParseUdpTable(ReadTable("/proc/net/udp"));
    auto entries6 = ParseUdpTable(ReadTable("/proc/net/udp6"));
    entries.insert(entries.end(), entries6.begin(), entries6.end());
    return entries;
}

// The kernel writes each 32-bit word of an address as the network-order bytes read as a
// number of this machine ("0100007F" for 127.0.0.1 here).
std::string TableWord(std::uint32_t hostOrder) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", htonl(hostOrder));
    return text;
}

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

}  // namespace

std::vector<UdpSocketEntry> ParseUdpTable(const std::string& text) {
    std::vector<UdpSocketEntry> entries;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits;
        unsigned long uid = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid))
            continue;
        const auto colon = local.find(':');
        const auto queueColon = queues.find(':');
        unsigned long port = 0, receiveQueue = 0;
        if (colon == std::string::npos || queueColon == std::string::npos ||
            !ParseHex(local.substr(colon + 1), port) || port > 0xFFFF ||
            !ParseHex(queues.substr(queueColon + 1), receiveQueue))
            continue;
        const std::string address = Upper(local.substr(0, colon));
        if (address.size() != 8 && address.size() != 32) continue;
        entries.push_back({address, static_cast<std::uint16_t>(port),
                           static_cast<std::uint32_t>(receiveQueue), static_cast<uid_t>(uid)});
    }
    return entries;
}

std::vector<uid_t> SenderOwners(const std::vector<UdpSocketEntry>& entries, std::uint32_t sender,
                                std::uint16_t port) {
    const std::string v4 = TableWord(sender);
    const std::string mapped = "0000000000000000" + TableWord(0x0000FFFF) + v4;
    std::vector<uid_t> owners;
    for (const auto& entry : entries) {
        if (entry.port != port) continue;
        const bool match = entry.address.size() == 8
                               ? entry.address == v4 || entry.address == kIpv4Wildcard
                               : entry.address == mapped || entry.address == kIpv6Wildcard;
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
    const std::string loopback = TableWord(INADDR_LOOPBACK);
    for (const auto& entry : ParseUdpTable(ReadTable("/proc/net/udp")))
        if (entry.port == port && entry.address == loopback) return entry.receiveQueue;
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
