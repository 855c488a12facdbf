// The hand-off of a file to a running player over UDP 127.0.0.1:54331, and who sent one.
//
// Any user of the machine can send to a loopback port, so the player takes a datagram only
// from a socket of its own user. UDP carries no credentials; the kernel's socket table
// (/proc/net/udp and /proc/net/udp6) names the owner of the socket bound at the sender's
// address and port. That socket has to exist while the player looks, so a sender keeps it
// open until the player has taken the datagram (HandOffToRunningPlayer does).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket_owner.h"

// The player's hand-off port.
constexpr std::uint16_t kHandOffPort = 54331;

// The owners of the sockets that can have sent from IPv4 `sender` (host byte order) and
// `port`: bound there, to the wildcard, or (IPv6 tables) to the mapped or wildcard address.
std::vector<uid_t> SenderOwners(const std::vector<platform::SocketTableRow>& entries,
                                std::uint32_t sender, std::uint16_t port);

// True when a socket of `uid` sent from `sender`:`port` and no socket of another user can have:
// read from this machine's tables.
bool SentByUser(std::uint32_t sender, std::uint16_t port, uid_t uid);

// Bytes waiting at the socket bound to 127.0.0.1:`port`; empty when no such socket exists.
std::optional<std::uint32_t> LoopbackReceiveQueue(std::uint16_t port);

// Sends `utf8Path` as one datagram to 127.0.0.1:`port` and keeps the sending socket until the
// player has read it (its receive queue is empty) or `limit` has passed. False with `error`
// set when the datagram could not be sent or the player did not take it in time.
bool HandOffToRunningPlayer(const std::string& utf8Path, std::string& error,
                            std::uint16_t port = kHandOffPort,
                            std::chrono::milliseconds limit = std::chrono::seconds(10));
