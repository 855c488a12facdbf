// Runs work in several forked child processes at once, for tests of what processes share.
#pragma once

#include <functional>

namespace testsupport {

// Forks `count` children; child i runs work(i) and exits 0 when it answers true (1 when it
// answers false or throws). Waits for all of them and answers whether every one exited 0.
bool RunInChildren(int count, const std::function<bool(int)>& work);

}  // namespace testsupport
