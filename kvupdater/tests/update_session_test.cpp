// The question to the user inside one run: what each answer of the dialog does to the state
// file, and that an unanswerable question never counts as consent.
#include "update_session.h"

#include <gtest/gtest.h>
#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/stat.h>
#include <testsupport/temp_dir.h>

#include <QPushButton>
#include <filesystem>

#include "dialog_driver.h"

namespace {

using kvupdater_test::DialogDriver;
using testsupport::ScopedEnv;
using testsupport::TempDir;

class AskUserTest : public ::testing::Test {
protected:
    void WriteState(bool skip, bool must) {
        testsupport::WriteFile(
            state, std::string("[info]\nstatus=2\nversion=4\n") +
                       "[update]\nversion=5\nmsg=1\nmsg_info1=新版本\nmsg_info2=修复问题\n" +
                       "msg_btn_skip=\nmsg_btn_install=马上装\nmsg_btn_cancel=\ninsttype=0\n" +
                       "download_file_url=http://127.0.0.1:1/inst\nhash=00\ncmdline=\n" +
                       "must=" + (must ? "1" : "0") + "\nskip=" + (skip ? "1" : "0") + "\n");
    }

    // Loads the state as a run does and asks, acting on the dialog with `action`.
    bool Ask(const std::function<void(CDlgUpdate&)>& action, bool* shown = nullptr) {
        CUpdateSession session(state, "http://127.0.0.1:1/update.ini");
        session.LoadLocalInfo();
        EXPECT_TRUE(session.LoadUpdateInfo());
        DialogDriver driver(action);
        const bool answer = session.AskUser();
        if (shown) *shown = driver.Acted();
        return answer;
    }

    std::string Info(const std::string& key) { return platform::IniReadString(state, "info", key); }

    TempDir dir;
    std::string state = dir.file("update.ini");
    // The offscreen platform stands in for a display.
    ScopedEnv display{"DISPLAY", ":99"};
    ScopedEnv temp{"TMPDIR", dir.file("tmp")};
    bool madeTemp = platform::MakeDirectories(dir.file("tmp"));
};

QPushButton* Button(CDlgUpdate& dialog, int id) {
    return qobject_cast<QPushButton*>(dialog.Control(id));
}

TEST_F(AskUserTest, UpgradeIsConsentAndRemindLaterIsNot) {
    WriteState(false, false);
    EXPECT_TRUE(Ask([](CDlgUpdate& d) { Button(d, CDlgUpdate::kIdUpgrade)->click(); }));
    EXPECT_FALSE(Ask([](CDlgUpdate& d) { Button(d, CDlgUpdate::kIdRemind)->click(); }));
    EXPECT_FALSE(Ask([](CDlgUpdate& d) { d.close(); }));
    // Neither answer touches the pending update.
    EXPECT_EQ("2", Info("status"));
    EXPECT_EQ("", Info("skiped_version"));
}

TEST_F(AskUserTest, DialogCarriesTheDescriptionsTextsAndSkipWhenAllowed) {
    WriteState(true, false);
    bool shown = false;
    Ask(
        [](CDlgUpdate& d) {
            EXPECT_TRUE(Button(d, CDlgUpdate::kIdSkip)->isVisible());
            EXPECT_EQ(QStringLiteral("跳过此版本"), Button(d, CDlgUpdate::kIdSkip)->text());
            EXPECT_EQ(QStringLiteral("马上装"), Button(d, CDlgUpdate::kIdUpgrade)->text());
            d.reject();
        },
        &shown);
    EXPECT_TRUE(shown);
    // A mandatory update cannot be skipped, whatever the description says.
    WriteState(true, true);
    Ask([](CDlgUpdate& d) {
        EXPECT_FALSE(Button(d, CDlgUpdate::kIdSkip)->isVisible());
        d.reject();
    });
}

TEST_F(AskUserTest, SkipRecordsTheVersionAndDropsThePendingUpdate) {
    WriteState(true, false);
    const std::string folder = dir.file("tmp/{11111111-2222-4333-8444-555555555555}");
    ASSERT_EQ(0, ::mkdir(folder.c_str(), 0700));
    testsupport::WriteFile(folder + "/inst.exe", "installer");
    testsupport::WriteFile(folder + "/inst.exe.resume", "[download]\n");
    platform::IniWriteString(state, "info", "installer_file", folder + "/inst.exe");
    EXPECT_FALSE(Ask([](CDlgUpdate& d) { Button(d, CDlgUpdate::kIdSkip)->click(); }));
    EXPECT_EQ("5", Info("skiped_version"));
    EXPECT_EQ("0", Info("status"));
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(AskUserTest, StateNamingAFileTheUpdaterDidNotMakeLeavesThatFileAlone) {
    const std::string guid = "{11111111-2222-4333-8444-555555555555}";
    ASSERT_EQ(0, ::mkdir(dir.file("elsewhere").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(dir.file("elsewhere/" + guid).c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(dir.file("tmp/" + guid).c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(dir.file("tmp/{22222222-2222-4333-8444-555555555555}").c_str(), 0750));
    for (const char* name :
         {"tmp/notes.txt", "tmp/folder/inst.exe", "tmp/{11111111-2222-4333-8444-5555}/inst.exe",
          "tmp/{zzzzzzzz-2222-4333-8444-555555555555}/inst.exe",
          // A folder of the updater's kind, but outside its temporary folder.
          "elsewhere/{11111111-2222-4333-8444-555555555555}/inst.exe",
          // One of its folders, but not its installer.
          "tmp/{11111111-2222-4333-8444-555555555555}/victim",
          // A folder that others can read into.
          "tmp/{22222222-2222-4333-8444-555555555555}/inst.exe"}) {
        SCOPED_TRACE(name);
        WriteState(true, false);
        const std::string precious = dir.file(name);
        testsupport::WriteFile(precious, "keep me");
        platform::IniWriteString(state, "info", "installer_file", precious);
        EXPECT_FALSE(Ask([](CDlgUpdate& d) { Button(d, CDlgUpdate::kIdSkip)->click(); }));
        EXPECT_EQ("0", Info("status"));
        EXPECT_EQ("keep me", testsupport::ReadFile(precious));
    }
}

TEST_F(AskUserTest, WithoutADisplayTheAnswerIsRemindLater) {
    WriteState(false, false);
    ScopedEnv noX("DISPLAY", "");
    ScopedEnv noWayland("WAYLAND_DISPLAY", "");
    bool shown = true;
    EXPECT_FALSE(Ask([](CDlgUpdate& d) { Button(d, CDlgUpdate::kIdUpgrade)->click(); }, &shown));
    EXPECT_FALSE(shown);
    EXPECT_EQ("2", Info("status"));
}

}  // namespace
