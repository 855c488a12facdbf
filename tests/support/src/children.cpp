#include "testsupport/children.h"

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace testsupport {

bool RunInChildren(int count, const std::function<bool(int)>& work) {
    std::vector<pid_t> children;
    bool allStarted = true;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The child holds a copy of the whole test program: whatever happens in `work`,
            // it must end here rather than return into the test that forked it.
            bool ok = false;
            try {
                ok = work(i);
            } catch (...) {
            }
            ::_exit(ok ? 0 : 1);
        }
        if (pid < 0) {
            allStarted = false;
            break;
        }
        children.push_back(pid);
    }
    bool allSucceeded = allStarted;
    for (pid_t pid : children) {
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            allSucceeded = false;
    }
    return allSucceeded;
}

}  // namespace testsupport
