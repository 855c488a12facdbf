#include "key_value_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include "app_config.h"
#include "app_values.h"
#include "helpers_together.h"
#include "scoped_app_directory.h"
#include "settings.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

namespace {

const char kStoreName[] = "12b6af440cf94231be23542fea7a3599.db";

// An install folder "bin" in a temporary folder and a user of the test's own, so the store
// lands in that user's data folder.
class StoreTest : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    ScopedAppDirectory app{temp.file("bin")};
    testsupport::ScopedUserFolders user;

    QString StorePath() const { return QString::fromStdString(user.Data(kStoreName)); }

    // A second connection of the test's own, to look at the file behind the store's back.
    int CountRows(const QString& key) {
        int rows = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "inspect");
            db.setDatabaseName(StorePath());
            if (db.open()) {
                QSqlQuery query(db);
                query.prepare("select count(*) from KeyValue where key = :key");
                query.bindValue(":key", key);
                if (query.exec() && query.first()) rows = query.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase("inspect");
        return rows;
    }

    void Execute(const QString& statement) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "inspect");
            db.setDatabaseName(StorePath());
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase("inspect");
    }
};

TEST_F(StoreTest, FirstOpenCreatesFileAndTableAndLaterOpensKeepTheRows) {
    ASSERT_FALSE(QFileInfo::exists(StorePath()));
    QSqlDatabase db;
    ASSERT_TRUE(OpenDatabase(db));
    EXPECT_TRUE(QFileInfo::exists(StorePath()));
    EXPECT_TRUE(db.tables().contains("KeyValue"));

    DbSetValue("promotion", true);
    QSqlDatabase again;
    ASSERT_TRUE(OpenDatabase(again));
    EXPECT_TRUE(DbContains("promotion"));
    EXPECT_EQ(CountRows("promotion"), 1);
}

TEST_F(StoreTest, SecondWriteOfAKeyLeavesOneRowWithTheSecondValue) {
    DbSetValue("records_list", QVariantList{1, 2});
    DbSetValue("records_list", QVariantList{QString("x")});
    EXPECT_EQ(CountRows("records_list"), 1);
    EXPECT_EQ(DbValue("records_list"), QVariant(QVariantList{QString("x")}));
}

TEST_F(StoreTest, ValuesKeepTheirTypes) {
    QVariantMap record{{"url", "/v/a b.mp4"}, {"type", 6}, {"pos", 12345}, {"title", "片名"}};
    DbSetValue("adTextList", QVariantList{record});
    DbSetValue("settings_download_speed", 2048);
    DbSetValue("settings_pause_min", false);

    EXPECT_EQ(DbValue("adTextList").toList().value(0).toMap(), record);
    EXPECT_EQ(DbValue("settings_download_speed").userType(), QMetaType::Int);
    EXPECT_EQ(DbValue("settings_download_speed").toInt(), 2048);
    EXPECT_EQ(DbValue("settings_pause_min").userType(), QMetaType::Bool);
    EXPECT_FALSE(DbValue("settings_pause_min").toBool());
}

TEST_F(StoreTest, MissingKeyAnswersInvalidAndRemoveDeletes) {
    EXPECT_FALSE(DbValue("never written").isValid());
    EXPECT_FALSE(DbContains("never written"));
    DbSetValue("gone", 1);
    DbRemove("gone");
    EXPECT_FALSE(DbContains("gone"));
}

TEST_F(StoreTest, FailingInsertKeepsTheOldValue) {
    DbSetValue("promotion", QString("old"));
    Execute(
        "CREATE TRIGGER refuse BEFORE INSERT ON KeyValue WHEN NEW.key = 'promotion' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    DbSetValue("promotion", QString("new"));
    EXPECT_EQ(DbValue("promotion").toString(), "old");
    EXPECT_EQ(CountRows("promotion"), 1);
}

TEST_F(StoreTest, TablelessAndEmptyFilesAreRepaired) {
    // A file that lost its table (or never got one) must not disable the store for good.
    QSqlDatabase db;
    ASSERT_TRUE(OpenDatabase(db));
    Execute("DROP TABLE KeyValue");
    DbSetValue("promotion", true);
    EXPECT_TRUE(DbValue("promotion").toBool());

    testsupport::ScopedUserFolders other;
    testsupport::WriteFile(other.Data(kStoreName), "");
    DbSetValue("promotion", 7);
    EXPECT_EQ(DbValue("promotion").toInt(), 7);
}

TEST_F(StoreTest, TheStoreIsTheUsersWhateverTheInstallFolderHolds) {
    // The install's own "..\data" folder, shipped empty, is never written; nor does one that
    // cannot hold a store (a file in its way) take the store away from the user.
    for (const bool shippedFolder : {true, false}) {
        SCOPED_TRACE(shippedFolder ? "a data folder in the install" : "a file in the way");
        testsupport::TempDir install;
        ScopedAppDirectory installed(install.file("bin"));
        testsupport::ScopedUserFolders someone;
        if (shippedFolder)
            QDir().mkpath(QString::fromStdString(install.file("data")));
        else
            testsupport::WriteFile(install.file("data"), "not a folder");
        EXPECT_EQ(DataDirPath("x.db"), QString::fromStdString(someone.Data("x.db")));
        DbSetValue("promotion", true);
        EXPECT_TRUE(DbContains("promotion"));
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(someone.Data(kStoreName))));
        if (shippedFolder) {
            EXPECT_TRUE(QDir(QString::fromStdString(install.file("data"))).isEmpty());
        }
    }
}

// Two players that find no store create it at the same moment: both their first writes
// stay. Repeated, since the two must meet between the look for the table and its creation.
TEST_F(StoreTest, TwoProcessesCreatingTheStoreAtOnceBothWrite) {
    for (int trial = 0; trial < 20; ++trial) {
        SCOPED_TRACE(trial);
        const QString bin = QString::fromStdString(temp.file("trial" + std::to_string(trial)));
        // The data folder of the trial's own install folder, and nothing of the user's.
        testsupport::ScopedEnv data("XDG_DATA_HOME", temp.file("xdg" + std::to_string(trial)));
        EXPECT_EQ(RunHelpersTogether({{"store-write", bin + "/bin", "first"},
                                      {"store-write", bin + "/bin", "second"}}),
                  (std::vector<int>{0, 0}));
        ScopedAppDirectory trialApp(bin.toStdString() + "/bin");
        EXPECT_EQ(DbValue("first").toString().toStdString(), "first");
        EXPECT_EQ(DbValue("second").toString().toStdString(), "second");
    }
}

TEST_F(StoreTest, SettingsDefaultsStoreAndLoadRoundTrip) {
    SetDefaultSettings();
    EXPECT_EQ(SettingsKeys().size(), 11);
    EXPECT_EQ(AppValue("settings_download_speed"), QVariant(1024));
    EXPECT_EQ(AppValue("settings_pause_onclick"), QVariant(true));
    EXPECT_EQ(AppValue("settings_stayontop"), QVariant(false));
    EXPECT_EQ(AppValue("settings_linked_type"), QVariant(QString()));
    EXPECT_TRUE(AppValue("settings_cache_path").toString().endsWith("orvane"));

    SetAppValue("settings_stayontop", true);
    SetAppValue("settings_upload_speed", 77);
    SetAppValue("settings_linked_type", QString("mp4|mkv"));
    StoreSettings();
    for (const QString& key : SettingsKeys()) EXPECT_TRUE(DbContains(key)) << key.toStdString();

    SetDefaultSettings();
    LoadStoredSettings();
    EXPECT_EQ(AppValue("settings_stayontop"), QVariant(true));
    EXPECT_EQ(AppValue("settings_upload_speed"), QVariant(77));
    EXPECT_EQ(AppValue("settings_linked_type"), QVariant(QString("mp4|mkv")));
    SetDefaultSettings();
}

TEST_F(StoreTest, LoadingKeepsValuesOfKeysTheStoreLacks) {
    SetDefaultSettings();
    SetAppValue("settings_auto_resize", true);
    DbSetValue("settings_start_lastpos", false);
    LoadStoredSettings();
    EXPECT_EQ(AppValue("settings_auto_resize"), QVariant(true));
    EXPECT_EQ(AppValue("settings_start_lastpos"), QVariant(false));
    SetDefaultSettings();
}

TEST(AppValuesTest, ReadingAnAbsentKeyInsertsAnInvalidValue) {
    EXPECT_FALSE(HasAppValue("test_absent_key"));
    EXPECT_FALSE(AppValue("test_absent_key").isValid());
    EXPECT_TRUE(HasAppValue("test_absent_key"));
    SetAppValue("test_absent_key", 5);
    EXPECT_EQ(AppValue("test_absent_key"), QVariant(5));
    RemoveAppValue("test_absent_key");
    EXPECT_FALSE(HasAppValue("test_absent_key"));
}

}  // namespace
