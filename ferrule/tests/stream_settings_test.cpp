// The settings read from "ini/app.ini" and "ini/path.ini": the user's copies, else the ones
// shipped beside the library.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app_settings.h"
#include "file_utils.h"
#include "log.h"
#include "platform/drives.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

namespace {

class StreamSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppDirectoryForTesting(dir_.path() + "/");
        // The default folder then falls back to the user's cache folder.
        platform::SetFixedDrivesForTesting(std::vector<platform::Drive>{});
    }
    void TearDown() override {
        TheLog().SetEnabled(false);
        SetAppDirectoryForTesting("");
        platform::SetFixedDrivesForTesting(std::nullopt);
    }
    // The shipped file beside the library, and the user's copy.
    std::string Ini(const std::string& name) { return dir_.file("ini/" + name); }
    std::string UserIni(const std::string& name) { return user_.Config(name); }

    testsupport::TempDir dir_;
    testsupport::TempDir media_;
    testsupport::ScopedUserFolders user_;
};

}  // namespace

TEST_F(StreamSettingsTest, ReadsEveryValueAndOnlyExactlyOneTurnsTheLogOn) {
    testsupport::WriteFile(Ini("app.ini"),
                           "[AppSetting]\nbLog=2\nmaxConns=50\nmaxDownload=100\n"
                           "maxUpload=20\nsilentUpload=8\n");
    testsupport::WriteFile(Ini("path.ini"), "[AppSetting]\nsavePath=" + media_.path() + "\n");
    LoadAppSettings();
    const AppSettings& s = TheAppSettings();
    EXPECT_FALSE(s.logOn);
    EXPECT_FALSE(TheLog().IsEnabled());
    EXPECT_EQ(50, s.maxConns);
    EXPECT_EQ(100, s.maxDownload);
    EXPECT_EQ(20, s.maxUpload);
    EXPECT_EQ(8, s.silentUpload);
    EXPECT_EQ(media_.path(), s.savePath);

    testsupport::WriteFile(Ini("app.ini"), "[AppSetting]\nbLog=1\n");
    LoadAppSettings();
    EXPECT_TRUE(TheAppSettings().logOn);
    EXPECT_TRUE(TheLog().IsEnabled());
}

TEST_F(StreamSettingsTest, AUsableSavePathWritesNothing) {
    testsupport::WriteFile(Ini("app.ini"), "[AppSetting]\nbLog=0\n");
    testsupport::WriteFile(Ini("path.ini"), "[AppSetting]\nsavePath=" + media_.path() + "\n");
    const std::string appBefore = testsupport::ReadFile(Ini("app.ini"));
    const std::string pathBefore = testsupport::ReadFile(Ini("path.ini"));
    EXPECT_TRUE(LoadAppSettings());
    EXPECT_EQ(appBefore, testsupport::ReadFile(Ini("app.ini")));
    EXPECT_EQ(pathBefore, testsupport::ReadFile(Ini("path.ini")));
    EXPECT_FALSE(FileExists(UserIni("app.ini")));
    EXPECT_FALSE(FileExists(UserIni("path.ini")));
}

TEST_F(StreamSettingsTest, AnEmptySavePathWritesTheDefaultAndKeepsOtherKeys) {
    const std::string shipped = "[AppSetting]\nbLog=0\nmaxUpload=7\nsilentUpload=3\n";
    testsupport::WriteFile(Ini("app.ini"), shipped);
    LoadAppSettings();
    const AppSettings& s = TheAppSettings();
    EXPECT_EQ(user_.Cache() + "/", s.savePath);
    struct stat st;
    EXPECT_EQ(0, ::stat(s.savePath.c_str(), &st));
    // The user's copies hold what was written, with the shipped keys; the shipped file stays.
    EXPECT_EQ(testsupport::ReadFile(Ini("app.ini")), shipped);
    EXPECT_FALSE(FileExists(Ini("path.ini")));
    const std::string app = testsupport::ReadFile(UserIni("app.ini"));
    EXPECT_NE(std::string::npos, app.find("maxConns=0"));
    EXPECT_NE(std::string::npos, app.find("maxDownload=0"));
    EXPECT_NE(std::string::npos, app.find("maxUpload=7"));
    EXPECT_NE(std::string::npos, app.find("silentUpload=3"));
    EXPECT_NE(std::string::npos,
              testsupport::ReadFile(UserIni("path.ini")).find("savePath=" + s.savePath));
}
