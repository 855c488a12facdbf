// The update routine against a stand-in updater script in a private install folder.
#include "update_routine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QString>

#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

namespace {

class UpdateRoutine : public ::testing::Test {
protected:
    UpdateRoutine() { ::mkdir(bin_.c_str(), 0755); }

    // An updater that records its arguments, one per line, and ends as told.
    void InstallUpdater(const std::string& ending) {
        const std::string path = bin_ + "/KvUpdater";
        testsupport::WriteFile(path, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" +
                                         dir_.file("args") + "\"\n" + ending + "\n");
        ::chmod(path.c_str(), 0755);
    }

    testsupport::TempDir dir_;
    std::string bin_ = dir_.file("my install/bin");
    ScopedAppDirectory app_{bin_};
    testsupport::ScopedUserFolders user_;
};

TEST_F(UpdateRoutine, OnlyTheMandatoryCodeHoldsThePlayerBack) {
    InstallUpdater("exit 233");
    EXPECT_FALSE(RunUpdater());
    InstallUpdater("exit 0");
    EXPECT_TRUE(RunUpdater());
    InstallUpdater("exit 1");
    EXPECT_TRUE(RunUpdater());
    // 1001 does not survive an 8-bit exit status; a code that merely shares other bits
    // with it must not count either.
    InstallUpdater("exit 1001");
    EXPECT_FALSE(RunUpdater());
    InstallUpdater("exit 232");
    EXPECT_TRUE(RunUpdater());
}

TEST_F(UpdateRoutine, AMissingOrCrashingUpdaterCountsAsNoUpdate) {
    EXPECT_TRUE(RunUpdater());
    InstallUpdater("kill -9 $$");
    EXPECT_TRUE(RunUpdater());
}

TEST_F(UpdateRoutine, TheUpdaterGetsItsStateFileTheDescriptionAndCheckMode) {
    testsupport::WriteFile(dir_.file("my install/cfg/config.ini"),
                           "[param]\nbaseurl=http://127.0.0.1:1/base\n");
    // The state file the install ships records the installed version; the updater keeps its
    // state in the user's copy of it, which the install folder never sees.
    const std::string shipped = "[info]\nversion=5\n";
    testsupport::WriteFile(dir_.file("my install/cfg/update.ini"), shipped);
    InstallUpdater("exit 0");
    ASSERT_TRUE(RunUpdater());
    // The install folder holds a blank, so each path must arrive as one argument.
    EXPECT_EQ(testsupport::ReadFile(dir_.file("args")),
              "--conf\n" + user_.Config("update.ini") +
                  "\n--url\nhttp://127.0.0.1:1/base/update.ini\n--check\n");
    EXPECT_EQ(testsupport::ReadFile(user_.Config("update.ini")), shipped);
}

TEST_F(UpdateRoutine, RunProcessQuotesTheProgramAndKeepsTheArgumentText) {
    InstallUpdater("exit 7");
    auto process = RunProcess(QString::fromStdString(bin_ + "/KvUpdater"),
                              QStringLiteral("-a \"b c\" d"), false);
    ASSERT_TRUE(process);
    ASSERT_TRUE(process->Wait(10000));
    EXPECT_EQ(process->ExitCode(), 7);
    EXPECT_EQ(testsupport::ReadFile(dir_.file("args")), "-a\nb c\nd\n");
    EXPECT_FALSE(RunProcess(QString::fromStdString(bin_ + "/missing"), QString(), true));
}

TEST_F(UpdateRoutine, AnInstallFolderHoldingAQuoteStillNamesTheUpdater) {
    const std::string odd = dir_.file("say \"hi\" bin");
    ::mkdir(odd.c_str(), 0755);
    const std::string program = odd + "/KvUpdater";
    testsupport::WriteFile(program, "#!/bin/sh\nexit 233\n");
    ::chmod(program.c_str(), 0755);
    ScopedAppDirectory app(odd);
    EXPECT_FALSE(RunUpdater());
}

}  // namespace
