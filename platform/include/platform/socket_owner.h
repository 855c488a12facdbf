// Who owns the socket at the other end of a loopback exchange.
//
// Every user of the machine can reach a loopback port, and neither TCP nor UDP carries the
// sender's credentials. The kernel's socket table does: each socket there names its owner. A
// server that answers one user alone looks up the socket its peer sends from and closes a
// connection from anyone else's before reading a byte of it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One row of /proc/net/tcp, tcp6, udp or udp6. Addresses as the table writes them: 8 (IPv4)
// or 32 (IPv6) upper-case hexadecimal digits.
struct SocketTableRow {
    std::string localAddress;
    std::uint16_t localPort = 0;
    std::string remoteAddress;
    std::uint16_t remotePort = 0;
    std::uint32_t receiveQueue = 0;  // bytes waiting to be read
    uid_t uid = 0;
    unsigned long inode = 0;  // 0: no process holds the socket open any more
};

// The rows of such a table's text; malformed rows are skipped.
std::vector<SocketTableRow> ParseSocketTable(const std::string& text);
// The whole text of a table file; empty when it cannot be read.
std::string ReadSocketTable(const char* path);

// How the tables write IPv4 address `hostOrder`: each 32-bit word is the network-order bytes
// read as a number of this machine ("0100007F" for 127.0.0.1 here); and as an IPv4-mapped
// IPv6 address, the form an IPv6 socket that talks IPv4 is listed with.
std::string SocketTableAddress(std::uint32_t hostOrder);
std::string SocketTableMappedAddress(std::uint32_t hostOrder);

// The owners of the TCP sockets in `rows` (of tcp and tcp6) that are the peer of a connection
// accepted at `local`:`localPort` from `peer`:`peerPort` (IPv4, host byte order) and that a
// process still holds open.
std::vector<uid_t> TcpPeerOwners(const std::vector<SocketTableRow>& rows, std::uint32_t local,
                                 std::uint16_t localPort, std::uint32_t peer,
                                 std::uint16_t peerPort);

// The owner of the socket at the other end of the connected loopback TCP socket `fd`: asked of
// the kernel for exactly that socket (netlink sock_diag), else read from /proc/net/tcp and
// tcp6 when sock_diag cannot answer. Empty, with `error` set, when it cannot be told.
std::optional<uid_t> TcpPeerOwner(int fd, std::string& error);

// True when the peer of `fd` is a socket of this process's user (its effective uid); false
// when it is someone else's or cannot be told.
bool TcpPeerIsOwnUser(int fd);

}  // namespace platform
