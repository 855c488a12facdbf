#include "platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/process.h"
#include "testsupport/temp_dir.h"

using namespace platform;

TEST(PathAppend, ResolvesDotsAndAcceptsBothSeparators) {
    EXPECT_EQ(PathAppend("/opt/orvane/bin", "..\\cfg\\config.ini"), "/opt/orvane/cfg/config.ini");
    EXPECT_EQ(PathAppend("/opt/orvane/bin", "../data"), "/opt/orvane/data");
    EXPECT_EQ(PathAppend("/opt/orvane/bin/", ".\\ini\\path.ini"), "/opt/orvane/bin/ini/path.ini");
    EXPECT_EQ(PathAppend("/opt/orvane/bin", "web/./a/../index.html"),
              "/opt/orvane/bin/web/index.html");
    EXPECT_EQ(PathAppend("C\\x", "y"), "C/x/y");
}

TEST(PathAppend, NeverClimbsAboveTheRootAndKeepsAbsoluteNames) {
    EXPECT_EQ(PathAppend("/a", "../../../etc"), "/etc");
    EXPECT_EQ(PathAppend("/a/b", "/c/d"), "/c/d");
    EXPECT_EQ(PathAppend("rel", "../../x"), "../x");
    EXPECT_EQ(PathAppend("/", ".."), "/");
}

TEST(FileNames, MapWindowsNamesWithoutRegardToCase) {
    EXPECT_EQ(LinuxFileName("orvane.exe"), "orvane");
    EXPECT_EQ(LinuxFileName("Ferrule.dll"), "libFerrule.so");
    EXPECT_EQ(LinuxFileName("APlayer.dll"), "libAPlayer.so");
    EXPECT_EQ(LinuxFileName("KvUpdater.exe"), "KvUpdater");
    EXPECT_EQ(LinuxFileName("RegSvr32.exe"), "regsvr");
    EXPECT_EQ(LinuxFileName("/opt/x/ORVANE_PROXY.EXE"), "/opt/x/orvane_proxy");
    EXPECT_EQ(LinuxFileName("index.html"), "index.html");
    EXPECT_EQ(FileNamePart("a\\b/c.txt"), "c.txt");
    EXPECT_EQ(FileNamePart("plain"), "plain");
}

TEST(ModulePaths, FindTheExecutableAndTheModuleHoldingAnAddress) {
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(access(exe.c_str(), X_OK), 0);
    EXPECT_EQ(FileNamePart(exe), "platform_tests");
    // A function of this executable lies in the executable's own folder.
    EXPECT_EQ(ModuleDirectory(reinterpret_cast<const void*>(&ExecutableDirectory)),
              ExecutableDirectory());
}

TEST(ModulePaths, AProgramStartedByARelativeNameFindsItsFolderFromAnyCurrentFolder) {
    // The child moves to a folder where its relative start name leads to another file.
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.file("start/bin"));
    std::filesystem::create_symlink(PLATFORM_TEST_CHILD, dir.file("start/bin/child"));
    testsupport::WriteFile(dir.file("elsewhere/bin/child"), "not the program");

    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.file("start"));
    auto child = platform::StartProcess("bin/child", {"module-dir", dir.file("elsewhere")});
    std::filesystem::current_path(previous);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->Wait(60000));
    EXPECT_EQ(child->ExitCode(), 0);
}

TEST(UserFolders, FollowXdgVariablesAndFallBackToHome) {
    testsupport::TempDir dir;
    {
        testsupport::ScopedEnv data("XDG_DATA_HOME", dir.file("data"));
        testsupport::ScopedEnv config("XDG_CONFIG_HOME", dir.file("config"));
        EXPECT_EQ(UserDataDir(), dir.file("data"));
        EXPECT_EQ(UserConfigDir(), dir.file("config"));
    }
    testsupport::ScopedEnv home("HOME", dir.path());
    testsupport::ScopedEnv relative("XDG_CACHE_HOME", "not/absolute");
    EXPECT_EQ(UserCacheDir(), dir.path() + "/.cache");
    testsupport::ScopedEnv noRuntime("XDG_RUNTIME_DIR", "");
    const std::string runtime = UserRuntimeDir();
    struct stat st {};
    ASSERT_EQ(stat(runtime.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, getuid());

    testsupport::ScopedEnv session("XDG_RUNTIME_DIR", dir.path());
    EXPECT_EQ(UserRuntimeDir(), dir.path() + "/orvane");
    ASSERT_EQ(stat((dir.path() + "/orvane").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(UserFolders, MakeDirectoriesCreatesEveryLevel) {
    testsupport::TempDir dir;
    EXPECT_TRUE(MakeDirectories(dir.file("a\\b/c")));
    struct stat st {};
    EXPECT_EQ(stat(dir.file("a/b/c").c_str(), &st), 0);
    EXPECT_FALSE(MakeDirectories(""));
    testsupport::WriteFile(dir.file("file"), "x");
    EXPECT_FALSE(MakeDirectories(dir.file("file/sub")));
}
