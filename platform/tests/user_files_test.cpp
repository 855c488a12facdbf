#include "platform/user_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/ini_file.h"
#include "platform/paths.h"
#include "testsupport/temp_dir.h"

using namespace platform;

namespace {

class UserFilesTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv data{"XDG_DATA_HOME", dir.file("data")};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    testsupport::ScopedEnv cache{"XDG_CACHE_HOME", dir.file("cache")};
    testsupport::ScopedEnv state{"XDG_STATE_HOME", dir.file("state")};
    std::string install = dir.file("install/bin");
};

TEST_F(UserFilesTest, StateNamesGoToTheUsersFoldersAndTheRestStaysInTheInstallFolder) {
    const struct {
        const char* name;
        std::string user;  // empty: the install folder's
    } cases[] = {
        {"..\\data", dir.file("data/orvane")},
        {"..\\data\\12b6.db", dir.file("data/orvane/12b6.db")},
        {"..\\CFG\\update.ini", dir.file("config/orvane/update.ini")},
        {"../cfg/web_config.tmp", dir.file("config/orvane/web_config.tmp")},
        {"ini\\path.ini", dir.file("config/orvane/path.ini")},
        {".\\ini", dir.file("config/orvane")},
        {"MediaData", dir.file("cache/orvane/MediaData")},
        {"mediadata/AB.torrent", dir.file("cache/orvane/MediaData/AB.torrent")},
        {"D2IZedavi.log", dir.file("state/orvane/D2IZedavi.log")},
        {"dmp/orvane.dmp", dir.file("state/orvane/dmp/orvane.dmp")},
        {"web/index.html", ""},
        {"plugins", ""},
        {"codecs", ""},
        {"libFerrule.so", ""},
        {"inifile", ""},
        {"../database", ""},
        {"../cfg/../bin/ini", ""},
        {"/etc/passwd", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UserFilePath(c.name), c.user);
        if (c.user.empty()) {
            EXPECT_EQ(FileToWrite(install, c.name), PathAppend(install, c.name));
        }
    }
}

TEST_F(UserFilesTest, UnsetVariablesMeanTheXdgDefaultsInTheHomeFolder) {
    testsupport::ScopedEnv home("HOME", dir.path());
    testsupport::ScopedEnv noData("XDG_DATA_HOME", "");
    testsupport::ScopedEnv noConfig("XDG_CONFIG_HOME", "");
    testsupport::ScopedEnv noCache("XDG_CACHE_HOME", "relative/is/ignored");
    testsupport::ScopedEnv noState("XDG_STATE_HOME", "");
    EXPECT_EQ(UserFilePath("..\\data\\x.db"), dir.file(".local/share/orvane/x.db"));
    EXPECT_EQ(UserFilePath("ini\\app.ini"), dir.file(".config/orvane/app.ini"));
    EXPECT_EQ(UserFilePath("MediaData"), dir.file(".cache/orvane/MediaData"));
    EXPECT_EQ(UserFilePath("D2IZedavi.log"), dir.file(".local/state/orvane/D2IZedavi.log"));
}

TEST_F(UserFilesTest, AFileIsReadFromTheInstallFolderUntilTheUserHasACopy) {
    testsupport::WriteFile(dir.file("install/cfg/config.ini"), "[param]\nbaseurl=shipped\n");
    EXPECT_EQ(FileToRead(install, "..\\cfg\\config.ini"), dir.file("install/cfg/config.ini"));
    EXPECT_EQ(FileToRead(install, "web/index.html"), install + "/web/index.html");
    testsupport::WriteFile(dir.file("config/orvane/config.ini"), "[param]\nbaseurl=mine\n");
    EXPECT_EQ(FileToRead(install, "..\\cfg\\config.ini"), dir.file("config/orvane/config.ini"));
}

TEST_F(UserFilesTest, WritingStartsFromTheShippedFileAndNeverReplacesTheUsersCopy) {
    testsupport::WriteFile(install + "/ini/app.ini", "[AppSetting]\nbLog=1\nmaxConns=5\n");
    const std::string app = FileToWrite(install, "ini\\app.ini");
    ASSERT_EQ(app, dir.file("config/orvane/app.ini"));
    ASSERT_TRUE(IniWriteString(app, "AppSetting", "maxConns", "7"));
    EXPECT_EQ(IniReadString(app, "AppSetting", "bLog"), "1");
    EXPECT_EQ(IniReadString(app, "AppSetting", "maxConns"), "7");
    EXPECT_EQ(IniReadString(install + "/ini/app.ini", "AppSetting", "maxConns"), "5");
    // Asked again, the user's copy stays as the user left it.
    EXPECT_EQ(FileToWrite(install, "ini\\app.ini"), app);
    EXPECT_EQ(IniReadString(app, "AppSetting", "maxConns"), "7");

    // The folders made for the user's files are the user's alone; nothing shipped, no file.
    struct stat st {};
    ASSERT_EQ(stat(dir.file("config/orvane").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(FileToWrite(install, "..\\cfg\\update.ini"), dir.file("config/orvane/update.ini"));
    EXPECT_NE(stat(dir.file("config/orvane/update.ini").c_str(), &st), 0);
    EXPECT_EQ(FileToWrite(install, "MediaData"), dir.file("cache/orvane/MediaData"));
    EXPECT_EQ(stat(dir.file("cache/orvane").c_str(), &st), 0);
}

}  // namespace
