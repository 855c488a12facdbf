// One run inside the test: the question to the user (what each answer of the dialog does to
// the state file, and that an unanswerable question never counts as consent), and the bound
// on what a run downloads.
#include "update_session.h"

#include <gtest/gtest.h>
#include <kvupdater/update_exit_codes.h>
#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/stat.h>
#include <testsupport/temp_dir.h>

#include <QPushButton>
#include <filesystem>

#include "dialog_driver.h"
#include "test_http_server.h"

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

// An installer URL that never ends: the download stops at the bound, the partial file goes
// and the run fails on the download. The bound is passed in smaller than the shipped 1 GiB,
// which the test would otherwise have to write into the temporary folder: filling that folder
// is the very fault the bound prevents.
TEST(DownloadBoundTest, AnEndlessInstallerStopsAtTheBoundAndLeavesNoFile) {
    TempDir dir;
    ScopedEnv temp("TMPDIR", dir.file("tmp"));
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.file("run"));
    ASSERT_TRUE(platform::MakeDirectories(dir.file("tmp")) &&
                platform::MakeDirectories(dir.file("run")));
    constexpr long long kBound = 1 << 20;
    // Past this the server gives up on its own, so even an unbounded run ends.
    constexpr long long kServerLimit = 64LL << 20;
    testhttp::TestHttpServer server;
    server.ServeEndless("/inst.bin", kServerLimit);
    server.Serve("/update.ini",
                 "[info]\nversion=5\nmsg=0\ninsttype=0\nhash=" + std::string(32, '0') +
                     "\ndownload_file_url=" + server.Url("/inst.bin") + "\n");
    const std::string state = dir.file("update.ini");
    testsupport::WriteFile(state, "[info]\nstatus=0\nversion=4\n");

    testing::internal::CaptureStdout();
    int code = -1;
    {
        CUpdateSession session(
            state, server.Url("/update.ini"), {},
            kvupdater::DownloadBounds{kvupdater::kDownloadBounds.descriptionBytes, kBound});
        code = session.Run();
    }
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(code, kvupdater::kExitFailure);
    EXPECT_NE(output.find("安装文件超过 1048576 字节的上限，已停止下载\n下载失败\n"),
              std::string::npos)
        << output;
    EXPECT_LT(server.EndlessBytesSent(), kServerLimit);
    EXPECT_EQ(std::vector<std::string>{}, [&] {
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.file("tmp")))
            left.push_back(entry.path());
        return left;
    }());
    EXPECT_EQ("0", platform::IniReadString(state, "info", "status"));
}

}  // namespace
