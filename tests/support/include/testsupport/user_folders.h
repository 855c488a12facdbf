// A user of the test's own: data, configuration, cache and state folders that start empty,
// set in the environment for the object's lifetime (child processes inherit them), and the
// places of the system's files in them.
#pragma once

#include <string>

#include "testsupport/temp_dir.h"

namespace testsupport {

class ScopedUserFolders {
public:
    ScopedUserFolders();
    ScopedUserFolders(const ScopedUserFolders&) = delete;
    ScopedUserFolders& operator=(const ScopedUserFolders&) = delete;

    // <folder>/orvane/<name>: where the system keeps the user's files of each kind.
    std::string Data(const std::string& name = "") const;
    std::string Config(const std::string& name = "") const;
    std::string Cache(const std::string& name = "") const;
    std::string State(const std::string& name = "") const;

private:
    TempDir root_;
    ScopedEnv data_, config_, cache_, state_;
};

}  // namespace testsupport
