#include "ini_file.h"

#include <gtest/gtest.h>

#include "file_utils.h"
#include "ini_file_reader.h"
#include "platform/ini_file.h"
#include "testsupport/children.h"
#include "testsupport/temp_dir.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(CIniFileReader, ReadsSectionsKeysAndValuesLikeTheService) {
    TempDir dir;
    const std::string path = dir.file("path.ini");
    WriteFile(path,
              "savePath=/ignored/before/any/section\r\n"
              "[AppSetting]\r\n"
              "  savePath   =  /media/films \r\n"
              "' a comment\n"
              "/ another\n"
              "\\ and another\n"
              "=no key\n"
              "maxConns=12\n"
              "empty=\n"
              "[Other]\n"
              "maxConns=99\n"
              "[AppSetting]\n"
              "maxConns=20\n");
    CIniFileReader reader(path);
    EXPECT_EQ(reader.GetString("appsetting", "SavePath").value_or("?"), "/media/films");
    EXPECT_EQ(reader.GetString("APPSETTING", "savepath").value_or("?"), "/media/films");
    EXPECT_EQ(reader.GetInt("AppSetting", "maxConns", -1), 20);  // a later line replaces
    EXPECT_EQ(reader.GetInt("Other", "maxConns", -1), 99);
    EXPECT_EQ(reader.GetInt("AppSetting", "empty", 7), 7);
    EXPECT_EQ(reader.GetInt("AppSetting", "missing", 7), 7);
    EXPECT_FALSE(reader.GetString("AppSetting", "' a comment").has_value());
    EXPECT_FALSE(reader.GetString("AppSetting", "").has_value());
}

TEST(CIniFileReader, FindsRelativePathsInTheServiceFolderAndToleratesMissingFiles) {
    TempDir dir;
    WriteFile(dir.file("ini/app.ini"), "[AppSetting]\nbLog=1\n");
    SetAppDirectoryForTesting(dir.path());
    CIniFileReader relative("ini\\app.ini");
    EXPECT_EQ(relative.GetInt("AppSetting", "bLog", 0), 1);
    CIniFileReader missing("ini/none.ini");
    EXPECT_TRUE(missing.GetPath().empty());
    EXPECT_EQ(missing.GetInt("AppSetting", "bLog", 5), 5);
    SetAppDirectoryForTesting("");
}

TEST(CIniFile, NewFileHoldsOnlyTheKeySet) {
    TempDir dir;
    const std::string path = dir.file("sub/folder/app.ini");
    CIniFile ini(path);
    ini.SetInt("AppSetting", "maxConns", 0, true);
    EXPECT_TRUE(ini.GetLastResult());
    EXPECT_EQ(ReadFile(path), "[AppSetting]\nmaxConns=0\n");
}

TEST(CIniFile, SavingKeepsEveryOtherKeyOfTheFile) {
    TempDir dir;
    const std::string path = dir.file("app.ini");
    WriteFile(path,
              "; settings\n[AppSetting]\nbLog=1\nmaxConns=5\nsilentUpload=64\n\n[Other]\nx=y\n");
    CIniFile ini(path);
    ini.SetInt("appsetting", "MAXCONNS", 7, false);
    ini.SetInt("AppSetting", "maxUpload", 100, false);
    ASSERT_TRUE(ini.Save());
    const std::string text = ReadFile(path);
    EXPECT_EQ(text,
              "; settings\n[AppSetting]\nbLog=1\nMAXCONNS=7\nsilentUpload=64\nmaxUpload=100\n\n"
              "[Other]\nx=y\n");
    CIniFileReader reader(path);
    EXPECT_EQ(reader.GetInt("AppSetting", "bLog", 0), 1);
    EXPECT_EQ(reader.GetInt("AppSetting", "silentUpload", 0), 64);
    EXPECT_EQ(reader.GetInt("AppSetting", "maxConns", 0), 7);
}

TEST(CIniFile, KeyOfASectionWhoseHeaderIsTheLastLineLandsInIt) {
    TempDir dir;
    const std::string path = dir.file("path.ini");
    WriteFile(path, "[First]\na=1\n[AppSetting]\n");
    CIniFile ini(path);
    ini.SetString("AppSetting", "savePath", "/srv/media/", true);
    EXPECT_EQ(ReadFile(path), "[First]\na=1\n[AppSetting]\nsavePath=/srv/media/\n");
    CIniFileReader reader(path);
    EXPECT_FALSE(reader.GetString("First", "savePath").has_value());
    EXPECT_EQ(reader.GetString("AppSetting", "savePath").value_or(""), "/srv/media/");
}

TEST(CIniFile, KeyAfterABlankLineInItsSectionIsReplacedNotDuplicated) {
    std::vector<std::string> lines{"[S]", "a=1", "", "b=2", "[T]", "b=9"};
    CIniFile::SetInLines(lines, "s", "B", "3");
    EXPECT_EQ(lines, (std::vector<std::string>{"[S]", "a=1", "", "B=3", "[T]", "b=9"}));
    CIniFile::SetInLines(lines, "T", "c", "4");
    EXPECT_EQ(lines.back(), "c=4");
    CIniFile::SetInLines(lines, "New", "k", "v");
    EXPECT_EQ(lines[lines.size() - 2], "[New]");
    EXPECT_EQ(lines.back(), "k=v");
}

TEST(CIniFile, WithoutAPathKeepsItsLinesInMemoryOnly) {
    CIniFile ini;
    ini.SetString("FILES", "f0", "a", false);
    ini.SetString("FILES", "f0", "b", false);
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(ini.GetLines(), (std::vector<std::string>{"[FILES]", "f0=b"}));
}

TEST(CIniFile, WritersInSeveralProcessesLoseNoKey) {
    TempDir dir;
    const std::string path = dir.file("ini/app.ini");
    constexpr int kKeys = 300;
    // Two processes write through this class, a third through the shared ini module.
    ASSERT_TRUE(testsupport::RunInChildren(3, [&path](int child) {
        for (int i = 0; i < kKeys; ++i) {
            const std::string key = "k" + std::to_string(child) + "_" + std::to_string(i);
            if (child == 2) {
                if (!platform::IniWriteString(path, "AppSetting", key, "v")) return false;
                continue;
            }
            CIniFile ini(path);
            ini.SetString("AppSetting", key, "v", true);
            if (!ini.GetLastResult()) return false;
        }
        return true;
    }));
    EXPECT_EQ(platform::IniKeys(path, "AppSetting").size(), 3u * kKeys);
}
