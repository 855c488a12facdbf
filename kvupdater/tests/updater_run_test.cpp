// The KvUpdater program end to end against a loopback server that serves the description and
// the installer (a shell script that records how it was started): every way a run ends, its
// exit code and what the state file says afterwards.
#include <dirent.h>
#include <gtest/gtest.h>
#include <kvupdater/update_exit_codes.h>
#include <platform/crypto.h>
#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/stat.h>
#include <tarnwick/tarnwick.h>
#include <testsupport/loopback.h>
#include <testsupport/temp_dir.h>
#include <unistd.h>

#include <QPushButton>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>

#include "dialog_driver.h"
#include "test_http_server.h"
#include "update_session.h"
#include "updater_harness.h"

namespace {

using kvupdater_test::UpdaterHarness;
using kvupdater_test::UpdaterRun;
using testhttp::TestHttpServer;

struct Description {
    int version = 5;
    std::string installer;
    std::string hash;  // empty: the installer's digest, in upper case
    bool msg = false;
    bool must = false;
    bool skip = false;
    bool page = false;
    std::string pageUrl;
    std::string cmdline = "--quiet \"two words\"";
    std::vector<std::string> lines{"新版本可用"};
};

Description WrongDigest() {
    Description d;
    d.hash = "0123456789ABCDEF0123456789ABCDEF";
    return d;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool Executable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR) != 0;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Names in a folder (not recursive), "." and ".." left out.
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(listing);
    }
    return names;
}

bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

// A path as the updater makes them: <temporary folder>/{GUID}/inst.exe, the folder private.
bool IsInstallerFolderName(const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('/'));
    const std::string name = folder.substr(folder.find_last_of('/') + 1);
    return path.size() > folder.size() && path.substr(folder.size()) == "/inst.exe" &&
           name.size() == 38 && name.front() == '{' && name.back() == '}' &&
           IsPrivateFolder(folder);
}

class UpdaterRunTest : public ::testing::Test {
protected:
    // A prepared folder is kept only while its verified installer waits for the user.
    void TearDown() override {
        const auto prepared = PreparedFolders();
        if (Info("status") == "2" && !Info("installer_file").empty()) {
            ASSERT_EQ(1u, prepared.size());
            EXPECT_EQ(harness.File("tmp/" + prepared[0] + "/inst.exe"), Info("installer_file"));
        } else {
            EXPECT_EQ(std::vector<std::string>{}, prepared);
        }
    }

    // A shell script installer that writes its tag and arguments to the marker file, padded
    // so that its download takes many reads.
    std::string Installer(const std::string& tag) const {
        // Written whole under another name first: a reader never sees half of it.
        std::string script = "#!/bin/sh\nprintf '%s\\n' '" + tag + "' \"$@\" > '" + marker +
                             ".part'\nmv '" + marker + ".part' '" + marker + "'\nexit 0\n";
        for (int i = 0; i < 16000; ++i) script += "# padding " + std::to_string(i) + "\n";
        return script;
    }

    void Publish(Description d) {
        if (d.installer.empty()) d.installer = Installer("v" + std::to_string(d.version));
        if (d.hash.empty()) d.hash = Upper(platform::Md5Hex(d.installer));
        server.Serve("/inst.bin", d.installer);
        std::string text =
            "[info]\nversion=" + std::to_string(d.version) + "\nmsg=" + (d.msg ? "1" : "0") + "\n";
        for (size_t i = 0; i < d.lines.size(); ++i) {
            text += "msg_info" + std::to_string(i + 1) + "=" + d.lines[i] + "\n";
        }
        text += "msg_btn_skip=\nmsg_btn_install=\nmsg_btn_cancel=\n";
        text += std::string("insttype=") + (d.page ? "1" : "0") + "\n";
        text += "download_file_url=" + server.Url("/inst.bin") + "\nhash=" + d.hash + "\n";
        text += "cmdline=" + d.cmdline + "\ndownload_page_url=" + d.pageUrl + "\n";
        text +=
            std::string("must=") + (d.must ? "1" : "0") + "\nskip=" + (d.skip ? "1" : "0") + "\n";
        server.Serve("/update.ini", text);
    }

    UpdaterRun RunUpdater(bool check = false) {
        return harness.Run(harness.ArgumentsFor(server.Url("/update.ini"), check));
    }

    std::string Info(const std::string& key) const {
        return kvupdater_test::StateValue(harness.StatePath(), "info", key);
    }
    std::string Update(const std::string& key) const {
        return kvupdater_test::StateValue(harness.StatePath(), "update", key);
    }
    void SetInfo(const std::string& key, const std::string& value) {
        platform::IniWriteString(harness.StatePath(), "info", key, value);
    }
    std::vector<std::string> MarkerLines() const {
        std::vector<std::string> lines;
        std::string text = testsupport::ReadFile(marker);
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return lines;
    }
    bool Installed() const {
        return testsupport::WaitUntil([&] { return Exists(marker); }, std::chrono::seconds(60));
    }
    // Installer folders of ours (private, named by a GUID) in the updater's temporary folder.
    std::vector<std::string> PreparedFolders() const {
        std::vector<std::string> folders;
        for (const auto& name : FolderNames(harness.TempFolder())) {
            if (name.front() == '{' && IsPrivateFolder(harness.TempFolder() + "/" + name))
                folders.push_back(name);
        }
        return folders;
    }
    // An installer in a private folder of the updater's kind, as a run leaves one behind.
    std::string PreparedInstaller(const std::string& guid, const std::string& content) const {
        const std::string folder = harness.File("tmp/{" + guid + "}");
        EXPECT_EQ(0, ::mkdir(folder.c_str(), 0700));
        testsupport::WriteFile(folder + "/inst.exe", content);
        return folder + "/inst.exe";
    }

    // The state of a run that had fetched the published description and begun the download.
    void PreparedState(const std::string& installer) {
        SetInfo("status", "1");
        SetInfo("installer_file", installer);
        for (const char* key : {"version", "msg", "insttype", "download_file_url", "hash",
                                "cmdline", "must", "skip"}) {
            platform::IniWriteString(harness.StatePath(), "update", key, published[key]);
        }
    }
    void PublishAndRemember(const Description& d) {
        Publish(d);
        published["version"] = std::to_string(d.version);
        published["msg"] = d.msg ? "1" : "0";
        published["insttype"] = "0";
        published["download_file_url"] = server.Url("/inst.bin");
        published["hash"] = platform::Md5Hex(d.installer);
        published["cmdline"] = d.cmdline;
        published["must"] = "0";
        published["skip"] = "0";
    }

    UpdaterHarness harness;
    TestHttpServer server;
    std::string marker = harness.File("installed.txt");
    std::map<std::string, std::string> published;
};

TEST_F(UpdaterRunTest, MissingSwitchesFailWithTheirMessages) {
    UpdaterRun none = harness.Run({});
    EXPECT_EQ(1, none.exitCode);
    EXPECT_TRUE(Contains(none.output, "初始化下载模块\n"));
    EXPECT_TRUE(Contains(none.output, "--conf empty\n"));

    UpdaterRun noUrl = harness.Run({"--CONF", harness.StatePath(), "--check"});
    EXPECT_EQ(1, noUrl.exitCode);
    EXPECT_TRUE(Contains(noUrl.output, "--conf：" + harness.StatePath() + "\n"));
    EXPECT_TRUE(Contains(noUrl.output, "check：true\n"));
    EXPECT_TRUE(Contains(noUrl.output, "--url empty\n"));
    EXPECT_FALSE(Exists(harness.StatePath()));
}

TEST_F(UpdaterRunTest, NewerVersionIsDownloadedVerifiedAndInstalled) {
    // An earlier description had a longer message; the digest is published in upper case.
    testsupport::WriteFile(harness.StatePath(),
                           "[info]\nversion=4\n[update]\nversion=4\nmsg_info1=old\n"
                           "msg_info2=old two\nmsg_info3=old three\n");
    Description d;
    d.lines = {"第一行", "第二行"};
    Publish(d);

    UpdaterRun run = RunUpdater();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(kvupdater::kExitOk, run.exitCode) << run.output;
    for (const char* step :
         {"开始升级检测\n", "检查单实例\n", "下载远程版本信息\n", "需要升级\n", "准备升级\n",
          "开始下载升级文件\n", "总文件大小：", "下载完成，对比指纹\n", "指纹对比成功\n",
          "开始安装升级文件\n", "升级完成，开始清理\n", "升级程序退出\n"}) {
        EXPECT_TRUE(Contains(run.output, step)) << step << "\n" << run.output;
    }
    ASSERT_TRUE(Installed());
    EXPECT_EQ((std::vector<std::string>{"v5", "--quiet", "two words"}), MarkerLines());

    // The query names the installed version; the description's keys are in [update].
    const auto queries = server.Requests("/update.ini");
    ASSERT_EQ(1u, queries.size());
    EXPECT_TRUE(Contains(queries[0].target, "/update.ini?t=")) << queries[0].target;
    EXPECT_TRUE(Contains(queries[0].target, "&ver=4")) << queries[0].target;
    EXPECT_EQ("5", Update("version"));
    EXPECT_EQ("第二行", Update("msg_info2"));
    EXPECT_EQ("", Update("msg_info3"));
    EXPECT_EQ("--quiet \"two words\"", Update("cmdline"));
    EXPECT_EQ("0", Update("must"));
    // Handed to the installer: nothing is pending for a later check, and neither the
    // description nor the installer's folder is left behind in the temporary folder.
    EXPECT_EQ("0", Info("status"));
    EXPECT_EQ("", Info("installer_file"));
    EXPECT_TRUE(FolderNames(harness.TempFolder()).empty());
}

TEST_F(UpdaterRunTest, InstalledOrEqualVersionNeedsNothing) {
    Publish(Description{});
    SetInfo("version", "5");
    UpdaterRun equal = RunUpdater();
    EXPECT_EQ(0, equal.exitCode);
    EXPECT_TRUE(Contains(equal.output, "不需要升级\n"));
    EXPECT_EQ(0, server.RequestCount("/inst.bin"));
    EXPECT_EQ("", Info("status"));

    // A mandatory update that was ready and has since been installed (the installer wrote
    // the new version): the run ends it without fetching, and check mode stops reporting it.
    const std::string installer =
        PreparedInstaller("11111111-2222-4333-8444-555555555555", "installed already");
    SetInfo("status", "2");
    SetInfo("installer_file", installer);
    platform::IniWriteString(harness.StatePath(), "update", "must", "1");
    UpdaterRun installed = RunUpdater();
    EXPECT_EQ(0, installed.exitCode);
    EXPECT_TRUE(Contains(installed.output, "不需要升级\n"));
    EXPECT_EQ(1, server.RequestCount("/update.ini"));
    EXPECT_EQ("0", Info("status"));
    EXPECT_FALSE(Exists(installer));

    UpdaterRun check = RunUpdater(true);
    EXPECT_EQ(kvupdater::kExitOk, check.exitCode);
    ASSERT_TRUE(kvupdater_test::WaitForText(check.outputPath, "升级程序退出\n"));
    EXPECT_TRUE(harness.WaitForNoRun());
}

// An install for every user of the machine writes the new version into the state file it
// ships, which each user's copy of it started from. The installed version is the shipped one
// wherever that holds a version, and only else the user's copy's.
TEST_F(UpdaterRunTest, TheInstalledVersionIsTheOneTheInstallShips) {
    const std::string shipped = harness.Install();
    Publish(Description{});
    const struct {
        const char* shipped;  // null: the install ships none
        const char* copy;     // the version in the user's copy
        const char* installed;
    } rows[] = {
        {"[info]\nversion=5\n", "4", "5"},
        {"[info]\nversion=\n", "5", "5"},
        {"[info]\nversion=4beta\n", "5", "5"},
        {"[update]\nversion=4\n", "5", "5"},
        {nullptr, "5", "5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shipped ? row.shipped : "(none)");
        std::remove(shipped.c_str());
        if (row.shipped) testsupport::WriteFile(shipped, row.shipped);
        SetInfo("version", row.copy);
        const UpdaterRun run = RunUpdater();
        EXPECT_EQ(0, run.exitCode) << run.output;
        EXPECT_TRUE(Contains(run.output, std::string("info.version：") + row.installed + "\n"))
            << run.output;
        EXPECT_TRUE(Contains(run.output, "不需要升级\n")) << run.output;
        EXPECT_TRUE(Contains(server.Requests("/update.ini").back().target,
                             std::string("&ver=") + row.installed));
        // The installer's record is not the updater's to write, in either file.
        EXPECT_EQ(row.copy, Info("version"));
    }
    EXPECT_EQ(0, server.RequestCount("/inst.bin"));
}

// Installed for every user, the updater's own folder is read-only to it: a run that downloads,
// verifies and starts an installer writes nothing there (only the installer it starts may).
TEST_F(UpdaterRunTest, ARunThatInstallsWritesNothingIntoTheInstallFolder) {
    testsupport::WriteFile(harness.Install(), "[info]\nversion=4\n");
    Publish(Description{});
    const auto before = testsupport::FolderFingerprint(harness.File("install"));

    const UpdaterRun run = RunUpdater();
    EXPECT_EQ(kvupdater::kExitOk, run.exitCode) << run.output;
    ASSERT_TRUE(Installed());
    EXPECT_EQ((std::vector<std::string>{"v5", "--quiet", "two words"}), MarkerLines());
    EXPECT_EQ(before, testsupport::FolderFingerprint(harness.File("install")));
}

TEST_F(UpdaterRunTest, SkippedVersionIsNotOffered) {
    Publish(Description{});
    SetInfo("version", "4");
    SetInfo("skiped_version", "5");
    SetInfo("status", "1");
    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode);
    EXPECT_TRUE(Contains(run.output, "跳过此版本\n"));
    EXPECT_TRUE(Contains(run.output, "不需要升级\n"));
    EXPECT_EQ("0", Info("status"));
    EXPECT_EQ(0, server.RequestCount("/inst.bin"));

    // A later version is offered again.
    Description newer;
    newer.version = 6;
    Publish(newer);
    EXPECT_EQ(0, RunUpdater().exitCode);
    EXPECT_TRUE(Installed());
}

TEST_F(UpdaterRunTest, DigestMismatchFailsCleansUpAndNeverStartsTheInstaller) {
    Publish(WrongDigest());
    UpdaterRun run = RunUpdater();
    EXPECT_EQ(kvupdater::kExitFailure, run.exitCode);
    EXPECT_TRUE(Contains(run.output, "指纹对比失败\n"));
    EXPECT_TRUE(Contains(run.output, "发生错误\n"));
    EXPECT_TRUE(Contains(run.output, "升级程序退出\n"));
    EXPECT_EQ("1", Info("error_count"));
    EXPECT_EQ("0", Info("status"));
    EXPECT_TRUE(PreparedFolders().empty());
    EXPECT_FALSE(Exists(marker));
}

TEST_F(UpdaterRunTest, ThirdFailureInARowSkipsTheVersion) {
    Publish(WrongDigest());
    EXPECT_EQ(1, RunUpdater().exitCode);
    EXPECT_EQ(1, RunUpdater().exitCode);
    EXPECT_EQ("2", Info("error_count"));
    EXPECT_EQ("", Info("skiped_version"));
    UpdaterRun third = RunUpdater();
    EXPECT_EQ(1, third.exitCode);
    EXPECT_TRUE(Contains(third.output, "错误次数超过限制，跳过此版本\n"));
    EXPECT_EQ("5", Info("skiped_version"));
    EXPECT_EQ("0", Info("error_count"));

    UpdaterRun fourth = RunUpdater();
    EXPECT_EQ(0, fourth.exitCode);
    EXPECT_TRUE(Contains(fourth.output, "跳过此版本\n"));
    EXPECT_EQ(3, server.RequestCount("/inst.bin"));
}

TEST_F(UpdaterRunTest, RunThatEndsWellClearsEarlierFailures) {
    Publish(WrongDigest());
    EXPECT_EQ(1, RunUpdater().exitCode);
    EXPECT_EQ(1, RunUpdater().exitCode);
    Publish(Description{});
    EXPECT_EQ(0, RunUpdater().exitCode);
    EXPECT_EQ("0", Info("error_count"));
    Publish(WrongDigest());
    SetInfo("version", "4");
    EXPECT_EQ(1, RunUpdater().exitCode);
    EXPECT_EQ("1", Info("error_count"));
    EXPECT_EQ("", Info("skiped_version"));
}

TEST_F(UpdaterRunTest, UnavailableDescriptionCountsAsFailureAndKeepsTheState) {
    testsupport::WriteFile(harness.StatePath(),
                           "[info]\nskiped_version=3\n[update]\nmsg_info1=kept\n");
    for (int run = 1; run <= 3; ++run) {
        UpdaterRun failed = RunUpdater();
        EXPECT_EQ(1, failed.exitCode);
        EXPECT_TRUE(Contains(failed.output, "升级信息获取失败\n")) << failed.output;
    }
    EXPECT_EQ("kept", Update("msg_info1"));
    EXPECT_EQ("0", Info("status"));
    EXPECT_EQ("0", Info("error_count"));
    // Three failures without a remote version have nothing to skip; the user's skip stays.
    EXPECT_EQ("3", Info("skiped_version"));

    server.Serve("/update.ini", "[info]\nversion=beta\n");
    UpdaterRun unversioned = RunUpdater();
    EXPECT_EQ(1, unversioned.exitCode);
    EXPECT_TRUE(Contains(unversioned.output, "远程版本信息获取失败\n"));
    EXPECT_TRUE(FolderNames(harness.TempFolder()).empty());
    EXPECT_EQ("kept", Update("msg_info1"));
    EXPECT_EQ("", Update("version"));
}

TEST_F(UpdaterRunTest, OversizedDescriptionIsRefusedAndLongMessagesAreCut) {
    // The dialog's message keeps its first 100 lines: every line copied rewrites the state file.
    SetInfo("version", "9");
    Description d;
    d.lines.clear();
    for (int i = 1; i <= 150; ++i) d.lines.push_back("line " + std::to_string(i));
    Publish(d);
    EXPECT_EQ(0, RunUpdater().exitCode);
    EXPECT_EQ("line 100", Update("msg_info100"));
    EXPECT_EQ("", Update("msg_info101"));

    // A description beyond 1 MiB is a broken server: the run fails as if it were unavailable.
    server.Serve("/update.ini", "[info]\nversion=10\n" + std::string(2 << 20, '#'));
    UpdaterRun oversized = RunUpdater();
    EXPECT_EQ(kvupdater::kExitFailure, oversized.exitCode);
    EXPECT_TRUE(Contains(oversized.output, "升级信息获取失败\n")) << oversized.output;
    EXPECT_EQ("5", Update("version"));
    EXPECT_TRUE(FolderNames(harness.TempFolder()).empty());
}

TEST_F(UpdaterRunTest, MandatoryUpdateWaitsForTheUserAndCheckModeReportsIt) {
    Description d;
    d.msg = true;
    d.must = true;
    Publish(d);
    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode);
    // Nobody can be asked here: that is "remind later", never consent.
    EXPECT_TRUE(Contains(run.output, "询问用户是否升级\n"));
    EXPECT_TRUE(Contains(run.output, "无法显示升级对话框，下次提醒\n"));
    EXPECT_FALSE(Contains(run.output, "开始安装升级文件"));
    EXPECT_FALSE(Exists(marker));
    EXPECT_EQ("2", Info("status"));
    const std::string installer = Info("installer_file");
    EXPECT_TRUE(Executable(installer));

    UpdaterRun check = RunUpdater(true);
    EXPECT_EQ(kvupdater::kExitMandatoryUpdateReady, check.exitCode);
    EXPECT_TRUE(Contains(check.output, "check：true\n"));
    EXPECT_TRUE(Contains(check.output, "开始检查是否需要强制升级\n"));
    // The second copy does the real run: it asks again from the prepared installer without
    // fetching the description or the installer.
    ASSERT_TRUE(kvupdater_test::WaitForText(check.outputPath, "升级程序退出\n"));
    ASSERT_TRUE(harness.WaitForNoRun());
    const std::string relaunched = testsupport::ReadFile(check.outputPath);
    EXPECT_TRUE(Contains(relaunched, "开始升级检测\n"));
    EXPECT_TRUE(Contains(relaunched, "发现上次升级未完成\n"));
    EXPECT_TRUE(Contains(relaunched, "指纹对比成功\n"));
    EXPECT_EQ(1, server.RequestCount("/update.ini"));
    EXPECT_EQ(1, server.RequestCount("/inst.bin"));
    EXPECT_EQ("2", Info("status"));
    EXPECT_EQ(installer, Info("installer_file"));

    // Not mandatory: check mode answers 0, and its second copy fetches the description.
    platform::IniWriteString(harness.StatePath(), "update", "must", "0");
    Publish(Description{});
    UpdaterRun optional = RunUpdater(true);
    EXPECT_EQ(kvupdater::kExitOk, optional.exitCode);
    ASSERT_TRUE(kvupdater_test::WaitForText(optional.outputPath, "升级程序退出\n"));
    ASSERT_TRUE(harness.WaitForNoRun());
    EXPECT_EQ(2, server.RequestCount("/update.ini"));
    EXPECT_TRUE(Installed());
}

TEST_F(UpdaterRunTest, OlderPreparedInstallerIsReplacedNotReportedAsMismatch) {
    Description v5;
    v5.msg = true;
    Publish(v5);
    ASSERT_EQ(0, RunUpdater().exitCode);
    ASSERT_EQ("2", Info("status"));
    const std::string oldInstaller = Info("installer_file");

    Description v6;
    v6.version = 6;
    Publish(v6);
    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, "发现版本过期需要删除之前的安装文件\n"));
    EXPECT_FALSE(Contains(run.output, "指纹对比失败"));
    EXPECT_FALSE(Exists(oldInstaller));
    ASSERT_TRUE(Installed());
    EXPECT_EQ("v6", MarkerLines().at(0));

    // The same version published again with another installer is fetched anew too.
    std::remove(marker.c_str());
    v6.msg = true;
    Publish(v6);
    ASSERT_EQ(0, RunUpdater().exitCode);
    v6.msg = false;
    v6.installer = Installer("v6 again");
    Publish(v6);
    EXPECT_EQ(0, RunUpdater().exitCode);
    ASSERT_TRUE(Installed());
    EXPECT_EQ("v6 again", MarkerLines().at(0));
}

TEST_F(UpdaterRunTest, LeftoverFolderGoesButFilesTheStateOnlyNamesStay) {
    Publish(Description{});
    SetInfo("version", "5");  // nothing to install: only the clean-up is at work

    // A folder of ours that a run which ended early left behind.
    const std::string leftover = PreparedInstaller("22222222-2222-4333-8444-555555555555", "x");
    SetInfo("status", "0");
    SetInfo("installer_file", leftover);
    EXPECT_EQ(0, RunUpdater().exitCode);
    EXPECT_FALSE(Exists(leftover.substr(0, leftover.find_last_of('/'))));
    EXPECT_EQ("", Info("installer_file"));

    // Files that only look like an installer of ours: the state file names them, nothing more.
    const std::string guid = "{33333333-2222-4333-8444-555555555555}";
    ASSERT_TRUE(platform::MakeDirectories(harness.File("elsewhere")));
    ASSERT_EQ(0, ::mkdir(harness.File("elsewhere/" + guid).c_str(), 0700));
    const std::string outsideTemp = harness.File("elsewhere/" + guid + "/inst.exe");
    const std::string otherName =
        PreparedInstaller("44444444-2222-4333-8444-555555555555", "") + ".victim";
    ASSERT_EQ(0, ::mkdir(harness.File("tmp/" + guid).c_str(), 0755));
    const std::string openFolder = harness.File("tmp/" + guid + "/inst.exe");
    for (const std::string& victim : {outsideTemp, otherName, openFolder}) {
        for (const char* status : {"0", "1", "2"}) {
            SCOPED_TRACE(victim + " with status " + status);
            testsupport::WriteFile(victim, "precious");
            SetInfo("status", status);
            SetInfo("installer_file", victim);
            EXPECT_EQ(0, RunUpdater().exitCode);
            EXPECT_EQ("precious", testsupport::ReadFile(victim));
        }
    }
    std::filesystem::remove_all(otherName.substr(0, otherName.find_last_of('/')));
}

// The session runs in this process here, so that the dialog can be answered and the
// installer's name replaced while it is up; the program runs the same session.
TEST_F(UpdaterRunTest, InstallerFolderThatIsNotPrivatelyOursIsNeverUsed) {
    testsupport::ScopedEnv temp("TMPDIR", harness.TempFolder());
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", harness.File("run"));
    testsupport::ScopedEnv display("DISPLAY", ":99");  // the offscreen platform stands in
    Description d;
    d.msg = true;
    d.installer = Installer("v5");
    PublishAndRemember(d);
    const std::string planted = Installer("planted");
    const std::string elsewhere = harness.File("elsewhere");
    ASSERT_EQ(0, ::mkdir(elsewhere.c_str(), 0700));

    const uid_t nobody = 65534;
    struct Case {
        const char* what;
        std::function<bool(const std::string&)> make;
    };
    const std::vector<Case> cases = {
        {"another user's folder that anyone may write",
         [&](const std::string& f) {
             return ::mkdir(f.c_str(), 0777) == 0 && ::chmod(f.c_str(), 0777) == 0 &&
                    ::chown(f.c_str(), nobody, nobody) == 0;
         }},
        {"a folder of ours that anyone may write",
         [](const std::string& f) {
             return ::mkdir(f.c_str(), 0700) == 0 && ::chmod(f.c_str(), 0777) == 0;
         }},
        {"a link to a private folder of ours",
         [&](const std::string& f) { return ::symlink(elsewhere.c_str(), f.c_str()) == 0; }},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (index == 0 && ::geteuid() != 0) continue;  // handing a folder over needs root
        std::remove(marker.c_str());
        const std::string folder = harness.File("tmp/{5555555" + std::to_string(index++) +
                                                "-2222-4333-8444-555555555555}");
        ASSERT_TRUE(c.make(folder));
        const std::string plantedPath = folder + "/inst.exe";
        testsupport::WriteFile(plantedPath, planted);
        ASSERT_EQ(0, ::chmod(plantedPath.c_str(), 0777));
        PreparedState(plantedPath);
        const int downloads = server.RequestCount("/inst.bin");

        std::string used;
        bool usedIsPrivate = false;
        kvupdater_test::DialogDriver driver([&](CDlgUpdate& dialog) {
            used = Info("installer_file");
            usedIsPrivate = IsInstallerFolderName(used);
            // While the user is asked, the installer's name is given to another file.
            testsupport::WriteFile(used + ".new", planted);
            ::chmod((used + ".new").c_str(), 0700);
            ::rename((used + ".new").c_str(), used.c_str());
            qobject_cast<QPushButton*>(dialog.Control(CDlgUpdate::kIdUpgrade))->click();
        });
        CUpdateSession session(harness.StatePath(), server.Url("/update.ini"));
        EXPECT_EQ(kvupdater::kExitOk, session.Run());
        ASSERT_TRUE(driver.Acted());

        EXPECT_NE(plantedPath, used);
        EXPECT_TRUE(usedIsPrivate) << used;
        EXPECT_EQ(downloads + 1, server.RequestCount("/inst.bin"));
        ASSERT_TRUE(Installed());
        EXPECT_EQ("v5", MarkerLines().at(0));
        EXPECT_EQ(planted, testsupport::ReadFile(plantedPath));
        // Started: its folder is gone, and nothing waits any more.
        EXPECT_FALSE(Exists(used.substr(0, used.find_last_of('/'))));
        EXPECT_EQ("0", Info("status"));
    }
}

class ResumeTest : public UpdaterRunTest {
protected:
    // Leaves a partial installer and its resume file, as a run that was killed mid-download.
    std::string LeavePartialDownload(long long bytes) {
        const std::string installer = PreparedInstaller(kGuid, "");
        const std::string folder = installer.substr(0, installer.find_last_of('/'));
        const std::string resume = installer + ".resume";
        server.StallAfter("/inst.bin", bytes);
        const std::string url = server.Url("/inst.bin");
        TarnwickRequest request{url.c_str(), folder.c_str(), "inst.exe", 1};
        TarnwickOptions options{resume.c_str(), "", 0, 0, 3, -1, 0};
        TarnwickHandle handle = nullptr;
        EXPECT_EQ(TARNWICK_OK, Tarnwick_Startup());
        EXPECT_EQ(TARNWICK_OK, Tarnwick_Downloader_Initialize(&request, &handle, &options));
        EXPECT_TRUE(testsupport::WaitUntil(
            [&] { return Tarnwick_Downloader_GetDownloadedSize(handle) == bytes; }));
        Tarnwick_Downloader_Release(handle, 0);
        server.ReleaseStalls();
        return installer;
    }
    static constexpr const char* kGuid = "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE";
};

// These runs ask the user (who cannot be asked here), so the verified installer stays where
// it was downloaded for a look at it.
TEST_F(ResumeTest, PartialDownloadContinuesWithARangeRequest) {
    Description d;
    d.msg = true;
    d.installer = Installer("v5");
    PublishAndRemember(d);
    const std::string installer = LeavePartialDownload(65536);
    PreparedState(installer);

    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, "发现上次升级未完成\n"));
    EXPECT_FALSE(Contains(run.output, "发现版本过期"));
    EXPECT_TRUE(Contains(run.output, "指纹对比成功\n"));
    const auto requests = server.Requests("/inst.bin");
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("bytes=65536-", requests[1].range);
    EXPECT_EQ("2", Info("status"));
    EXPECT_EQ(installer, Info("installer_file"));
    EXPECT_EQ(d.installer, testsupport::ReadFile(installer));
}

TEST_F(ResumeTest, VerifiedInstallerThatHasGoneIsFetchedAgainIntoAPrivateFolder) {
    // The temporary folder was emptied since the installer was verified.
    Description d;
    d.msg = true;
    d.installer = Installer("v5");
    PublishAndRemember(d);
    const std::string gone = harness.File(std::string("tmp/{") + kGuid + "}/inst.exe");
    PreparedState(gone);
    SetInfo("status", "2");

    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(1, server.RequestCount("/inst.bin"));
    EXPECT_EQ("2", Info("status"));
    const std::string installer = Info("installer_file");
    EXPECT_NE(gone, installer);
    EXPECT_TRUE(IsInstallerFolderName(installer)) << installer;
    EXPECT_EQ(d.installer, testsupport::ReadFile(installer));
}

TEST_F(ResumeTest, UnusableResumeFileStartsTheDownloadAfresh) {
    Description d;
    d.msg = true;
    d.installer = Installer("v5");
    PublishAndRemember(d);
    const std::string installer = LeavePartialDownload(4096);
    testsupport::WriteFile(installer + ".resume", "not a resume file");
    PreparedState(installer);

    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode) << run.output;
    const auto requests = server.Requests("/inst.bin");
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("", requests[1].range);
    EXPECT_EQ("2", Info("status"));
    EXPECT_EQ(d.installer, testsupport::ReadFile(installer));
}

TEST_F(UpdaterRunTest, SecondRunExitsAtOnceWhileTheFirstDownloads) {
    Publish(Description{});
    server.StallAfter("/inst.bin", 32768);
    const std::string firstOutput = harness.File("first.out");
    auto first = harness.Start(harness.ArgumentsFor(server.Url("/update.ini")), firstOutput);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server.StalledCount() == 1; },
                                       std::chrono::seconds(30)));

    UpdaterRun second = RunUpdater();
    EXPECT_EQ(0, second.exitCode);
    EXPECT_TRUE(Contains(second.output, "另一升级进程已在运行，退出\n"));
    EXPECT_EQ(1, server.RequestCount("/update.ini"));

    // The first run picks up where the broken connection left off and finishes.
    server.ReleaseStalls();
    ASSERT_TRUE(first->waitForFinished(60000));
    EXPECT_EQ(0, first->exitCode()) << testsupport::ReadFile(firstOutput);
    EXPECT_TRUE(Installed());
}

TEST_F(UpdaterRunTest, UpdatePageIsOpenedOnlyWhenItIsAWebPage) {
    Description d;
    d.page = true;
    d.pageUrl = "http://127.0.0.1:1/download page";
    Publish(d);
    UpdaterRun run = RunUpdater();
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, "打开页面 http://127.0.0.1:1/download page\n"));
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return harness.OpenedUrls() == "http://127.0.0.1:1/download page\n"; }));
    EXPECT_EQ("0", Info("status"));
    EXPECT_EQ(0, server.RequestCount("/inst.bin"));

    d.version = 6;
    d.pageUrl = "file:///etc/passwd";
    Publish(d);
    UpdaterRun refused = RunUpdater();
    EXPECT_EQ(1, refused.exitCode);
    EXPECT_TRUE(Contains(refused.output, "发生错误\n"));
    EXPECT_EQ("http://127.0.0.1:1/download page\n", harness.OpenedUrls());
}

}  // namespace
