#include "app_config.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "app_paths.h"
#include "autostart.h"
#include "platform/drives.h"
#include "platform/ini_file.h"
#include "registry_values.h"
#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

namespace {

class ConfigTest : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    ScopedAppDirectory app{temp.file("bin")};
    testsupport::ScopedUserFolders user;

    ~ConfigTest() override { platform::SetFixedDrivesForTesting(std::nullopt); }

    // What the user's copy of path.ini records.
    std::string SavedPath() {
        return platform::IniReadString(user.Config("path.ini"), "AppSetting", "savePath");
    }
    void UseDrives(std::vector<platform::Drive> drives) {
        platform::SetFixedDrivesForTesting(std::move(drives));
    }
};

TEST_F(ConfigTest, BaseUrlGetsExactlyOneSlashBeforeTheRelativePath) {
    const std::string config = temp.file("cfg/config.ini");
    testsupport::WriteFile(config, "[param]\nbaseurl=http://127.0.0.1:1234/Orvane\n");
    const QString withoutSlash = BaseUrl("getvideo.js?seed=1");
    testsupport::WriteFile(config, "[param]\nbaseurl=http://127.0.0.1:1234/Orvane/\n");
    EXPECT_EQ(BaseUrl("getvideo.js?seed=1"), withoutSlash);
    EXPECT_EQ(withoutSlash, "http://127.0.0.1:1234/Orvane/getvideo.js?seed=1");
}

TEST_F(ConfigTest, BaseUrlWithoutConfigurationUsesTheBuiltInBase) {
    const QString url = BaseUrl("adtext.js");
    EXPECT_TRUE(url.startsWith("http://")) << url.toStdString();
    EXPECT_TRUE(url.endsWith("/Orvane/adtext.js")) << url.toStdString();
    testsupport::WriteFile(temp.file("cfg/config.ini"), "[param]\nbaseurl=\n");
    EXPECT_EQ(BaseUrl("adtext.js"), url);
}

TEST_F(ConfigTest, AppFilePathResolvesRelativeNamesAndProgramNames) {
    const auto path = [](const std::string& text) { return QString::fromStdString(text); };
    EXPECT_EQ(AppFilePath("orvane.exe"), path(temp.file("bin/orvane")));
    EXPECT_EQ(AppFilePath("Ferrule.dll"), path(temp.file("bin/libFerrule.so")));
    EXPECT_EQ(AppFilePath("web\\index.html"), path(temp.file("bin/web/index.html")));
    // What a user writes is read from the install folder until the user has a copy of it.
    EXPECT_EQ(AppFilePath("..\\cfg\\update.ini"), path(temp.file("cfg/update.ini")));
    EXPECT_EQ(AppWritePath("..\\cfg\\update.ini"), path(user.Config("update.ini")));
    EXPECT_EQ(AppWritePath("ini\\path.ini"), path(user.Config("path.ini")));
    EXPECT_EQ(AppWritePath("..\\data"), path(user.Data()));
    EXPECT_EQ(DataDirPath("x.db"), path(user.Data("x.db")));
    EXPECT_TRUE(QFileInfo(path(user.Data())).isDir());
    testsupport::WriteFile(user.Config("update.ini"), "");
    EXPECT_EQ(AppFilePath("..\\cfg\\update.ini"), path(user.Config("update.ini")));
}

TEST_F(ConfigTest, LargestFixedDrivePrefersTotalSizeAndTheLaterOfEquals) {
    const std::uint64_t gb = 1000ull * 1000 * 1000;
    UseDrives({{"/c", 500 * gb, 10 * gb, 10 * gb}, {"/d", 200 * gb, 150 * gb, 150 * gb}});
    EXPECT_EQ(LargestFixedDrive(), "/c/");
    UseDrives({{"/c", 200 * gb, 1, 1}, {"/d", 200 * gb, 1, 1}});
    EXPECT_EQ(LargestFixedDrive(), "/d/");
    UseDrives({{"/", 100 * gb, 1, 1}});
    EXPECT_EQ(LargestFixedDrive(), "/");
    UseDrives({});
    EXPECT_EQ(LargestFixedDrive(), "");
}

TEST_F(ConfigTest, CacheSavePathReplacesADeletedFolderWithTheDefaultAndRecordsIt) {
    UseDrives({{temp.file("small"), 10, 1, 1}, {temp.file("big"), 1000, 1, 1}});
    testsupport::WriteFile(temp.file("bin/ini/path.ini"),
                           "[AppSetting]\nsavePath=" + temp.file("deleted/cache/") + "\n");
    const QString expected = QString::fromStdString(temp.file("big/orvane"));
    EXPECT_EQ(CacheSavePath(""), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    EXPECT_EQ(SavedPath(), expected.toStdString());

    // An existing folder is kept as it is.
    testsupport::WriteFile(temp.file("mine/keep"), "");
    SetCacheSavePath(QString::fromStdString(temp.file("mine")));
    EXPECT_EQ(CacheSavePath(""), QString::fromStdString(temp.file("mine")));
}

TEST_F(ConfigTest, CacheSavePathRecordsTheFolderNotThePathAskedFor) {
    UseDrives({{temp.file("big"), 1000, 1, 1}});
    const QString folder = QString::fromStdString(temp.file("big/orvane"));
    EXPECT_EQ(CacheSavePath("films/a.mp4"), folder + "/films/a.mp4");
    EXPECT_EQ(SavedPath(), folder.toStdString());
    EXPECT_EQ(CacheSavePath("films/a.mp4"), folder + "/films/a.mp4");
}

TEST_F(ConfigTest, CacheSavePathFallsBackToTheUserCacheWhenTheDriveRootIsNotWritable) {
    testsupport::TempDir cacheHome;
    testsupport::ScopedEnv xdg("XDG_CACHE_HOME", cacheHome.path());
    // A file where the drive root should be: nothing can be made below it, even by root.
    testsupport::WriteFile(temp.file("notadir"), "");
    UseDrives({{temp.file("notadir"), 1000, 1, 1}});
    const QString expected = QString::fromStdString(cacheHome.path() + "/orvane");
    EXPECT_EQ(CacheSavePath(""), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    EXPECT_EQ(SavedPath(), expected.toStdString());

    // Without any local file system the same folder is used, never a relative one; nor is
    // the system's root ever given a media folder, even when it is the largest and writable.
    for (const auto& drives :
         {std::vector<platform::Drive>{}, std::vector<platform::Drive>{{"/", 1000, 1, 1}}}) {
        UseDrives(drives);
        testsupport::WriteFile(user.Config("path.ini"), "");
        EXPECT_EQ(CacheSavePath(""), expected);
        EXPECT_EQ(DefaultCacheFolderPath(), expected);
    }
}

TEST_F(ConfigTest, SetCacheSavePathNormalisesSeparatorsAndEndsWithOne) {
    // The shipped file's other keys go into the user's copy with the first change.
    testsupport::WriteFile(temp.file("bin/ini/path.ini"), "[AppSetting]\nshipped=yes\n");
    const std::string folder = temp.file("media") + "\\cache\\films";
    SetCacheSavePath(QString::fromStdString(folder));
    EXPECT_EQ(SavedPath(), temp.file("media/cache/films/"));
    EXPECT_EQ(platform::IniReadString(user.Config("path.ini"), "AppSetting", "shipped"), "yes");
    EXPECT_EQ(platform::IniReadString(temp.file("bin/ini/path.ini"), "AppSetting", "savePath"), "");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(temp.file("media/cache/films"))).isDir());

    SetCacheSavePath(QString::fromStdString(temp.file("other/")));
    EXPECT_EQ(SavedPath(), temp.file("other/"));
    // Other keys of the shared file stay.
    platform::IniWriteString(user.Config("path.ini"), "AppSetting", "other", "1");
    SetCacheSavePath(QString::fromStdString(temp.file("third")));
    EXPECT_EQ(platform::IniReadString(user.Config("path.ini"), "AppSetting", "other"), "1");
}

class RegistryTest : public ::testing::Test {
protected:
    testsupport::TempDir config;
    testsupport::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path()};
};

TEST_F(RegistryTest, ValuesRoundTripAndDefaultValueIsNamedDot) {
    const QString key = "HKEY_CURRENT_USER\\Software\\Classes\\orvane.mp4";
    RegistryWrite(key, ".", QString("视频 file"));
    RegistryWrite(key, "count", 42);
    RegistryWrite("HKEY_LOCAL_MACHINE\\Software\\Classes\\.mp4", "ovbak",
                  QString("otherplayer.mp4"));

    EXPECT_EQ(RegistryRead(key, "."), QVariant(QString("视频 file")));
    EXPECT_EQ(RegistryRead(key, ""), QVariant(QString("视频 file")));
    EXPECT_EQ(RegistryRead(key, "count"), QVariant(42));
    EXPECT_EQ(RegistryRead("HKEY_LOCAL_MACHINE\\Software\\Classes\\.mp4", "ovbak").toString(),
              "otherplayer.mp4");
    EXPECT_EQ(RegistryRead(key, "missing", QString("dflt")), QVariant(QString("dflt")));

    RegistryRemove(key, "count");
    EXPECT_FALSE(RegistryRead(key, "count").isValid());
    EXPECT_FALSE(RegistryRead("NOT_A_ROOT\\x", "y").isValid());
}

// The autostart entry is the player's own: a file of the user's under the player's name (or a
// link there, even to an entry of the player's) is neither replaced nor removed, and the
// player takes a free name of its own.
TEST_F(RegistryTest, AutoStartWritesTheRunValueAndAnEntryOfThePlayersOwn) {
    const QString runKey = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string folder = config.file("autostart/");
    const std::string users = "[Desktop Entry]\nType=Application\nName=mine\nExec=/bin/true\n";
    testsupport::WriteFile(config.file("elsewhere.desktop"),
                           "[Desktop Entry]\nExec=/bin/true\nX-Orvane-Player=true\n");
    const struct {
        const char* users;  // what the user keeps under the player's name
        const char* players;
    } rows[] = {{"", "orvane.desktop"}, {"file", "orvane-2.desktop"}, {"link", "orvane-2.desktop"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.users);
        const std::string own = folder + "orvane.desktop";
        std::remove(own.c_str());
        if (row.users == std::string("file")) testsupport::WriteFile(own, users);
        if (row.users == std::string("link")) {
            ASSERT_TRUE(QFile::link(QString::fromStdString(config.file("elsewhere.desktop")),
                                    QString::fromStdString(own)));
        }
        const std::string before = testsupport::ReadFile(own);
        const std::string players = folder + row.players;
        EXPECT_FALSE(IsAutoStart());

        // Turned on twice: the second time finds the entry it wrote.
        for (int i = 0; i < 2; ++i) SetAutoStart(true);
        EXPECT_TRUE(IsAutoStart());
        EXPECT_EQ(RegistryRead(runKey, "orvane").toString(), HostExePath());
        const std::string entry = testsupport::ReadFile(players);
        EXPECT_NE(entry.find("\nExec=" + HostExePath().toStdString() + "\n"), std::string::npos)
            << entry;
        EXPECT_NE(entry.find("\nX-Orvane-Player=true\n"), std::string::npos) << entry;
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder + "orvane-3.desktop")));

        SetAutoStart(false);
        EXPECT_FALSE(IsAutoStart());
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(players)));
        EXPECT_EQ(testsupport::ReadFile(own), before);
        EXPECT_FALSE(RegistryRead(runKey, "orvane").isValid());
    }
}

TEST_F(RegistryTest, AutoStartNamingAMissingFileCountsAsOff) {
    RegistryWrite("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "orvane",
                  QString::fromStdString(config.file("gone/orvane")));
    EXPECT_FALSE(IsAutoStart());
}

}  // namespace
