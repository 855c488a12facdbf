// Processes as /proc shows them, for tests that follow programs started by other programs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace webroadtest {

// Processes whose executable is the file `path`, zombies left out.
std::vector<pid_t> ProcessesRunning(const std::string& path);
// The parent of `pid`; 0 when it is gone.
pid_t ParentOf(pid_t pid);
// argv[1..] of `pid`; none when it is gone.
std::vector<std::string> ArgumentsOf(pid_t pid);
// True while `pid` exists and is not a zombie.
bool IsRunning(pid_t pid);

}  // namespace webroadtest
