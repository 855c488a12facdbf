// The folders a service under test runs in: its own folder (the settings shipped beside it),
// a user of its own (the settings it writes, its stream cache), the media folder that
// "ini/path.ini" names, and a current folder for the resume files. Made and entered on
// construction; left and removed on destruction.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "file_utils.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

namespace stream_testing {

class ServiceFolders {
public:
    ServiceFolders() {
        char cwd[PATH_MAX];
        oldCwd_ = ::getcwd(cwd, sizeof(cwd)) ? cwd : "/";
        if (::chdir(work_.path().c_str()) != 0) std::perror("chdir");
        SetAppDirectoryForTesting(app_.path() + "/");
        testsupport::WriteFile(app_.file("ini/path.ini"),
                               "[AppSetting]\nsavePath=" + media_.path() + "/\n");
    }
    ~ServiceFolders() {
        SetAppDirectoryForTesting("");
        if (::chdir(oldCwd_.c_str()) != 0) std::perror("chdir");
    }
    ServiceFolders(const ServiceFolders&) = delete;
    ServiceFolders& operator=(const ServiceFolders&) = delete;

    const testsupport::TempDir& app() const { return app_; }
    const testsupport::TempDir& media() const { return media_; }
    const testsupport::ScopedUserFolders& user() const { return user_; }

private:
    testsupport::ScopedUserFolders user_;
    testsupport::TempDir app_;
    testsupport::TempDir media_;
    testsupport::TempDir work_;
    std::string oldCwd_;
};

}  // namespace stream_testing
