// Another user of the machine, for tests of what one user's programs must refuse another's.
// Only the super-user can take another identity; where the tests do not run as root, such
// tests are skipped with a message.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace testsupport {

// Numeric ids that no account uses, kept for the tests' other users (no passwd entry needed).
constexpr uid_t kOtherUserId = 47101;
constexpr uid_t kSecondOtherUserId = 47102;

// True when this process may act as another user (it runs as root).
bool CanActAsOtherUsers();

// From a socket of `uid` (a child process that takes that user and group id, without
// supplementary groups): connects to 127.0.0.1:`port`, sends `request` and collects what comes
// back until the server closes. Empty when it could not connect or the server neither closed
// nor stopped sending within `limit`.
std::optional<std::string> ExchangeAsUser(
    uid_t uid, int port, const std::string& request,
    std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace testsupport
