// Loopback helpers: ports chosen at run time, and bounded waiting.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0, then released).
int FreeLoopbackPort();

// Polls `condition` every `step` until it is true or `limit` has passed; answers the last result.
// The default limit is generous: it only bounds a test whose condition never comes, and a
// loaded machine may take many seconds for what usually takes milliseconds.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(30),
               std::chrono::milliseconds step = std::chrono::milliseconds(10));

}  // namespace testsupport
