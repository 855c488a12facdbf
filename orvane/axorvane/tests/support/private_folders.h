// Folders of one test that nothing else shares: the runtime folder (where the pipe lives)
// and the configuration folder (where the registry lives). Child processes inherit both.
#pragma once

#include <string>

#include "testsupport/temp_dir.h"

namespace webroadtest {

class PrivateFolders {
public:
    PrivateFolders();
    const testsupport::TempDir& temp() const { return temp_; }
    std::string file(const std::string& name) const { return temp_.file(name); }

private:
    testsupport::TempDir temp_;
    testsupport::ScopedEnv runtime_;
    testsupport::ScopedEnv config_;
};

// Calls DllInstall(true, "user") of `library` in this process (per-user registration into
// the configuration folder). False when the library or its export is missing or it failed.
bool RegisterForUser(const std::string& library);

}  // namespace webroadtest
