#include "update_session.h"

#include <kvupdater/update_exit_codes.h>
#include <platform/ini_file.h>
#include <platform/paths.h>
#include <platform/process.h>
#include <strings.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "console.h"
#include "description_download.h"
#include "installer_download.h"
#include "temp_files.h"
#include "update_prompt.h"

using kvupdater::ConsolePrint;

namespace {

const char kInfo[] = "info";
const char kUpdate[] = "update";

// A version is a non-empty run of decimal digits that fits an int.
std::optional<int> ParseVersion(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

bool SameDigest(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// A message is a few lines for the dialog. Every line copied rewrites the state file, so a
// description with thousands of them would keep the run (and its lock) busy for minutes.
constexpr int kMaxMessageLines = 100;

std::string MessageInfoKey(int index) { return "msg_info" + std::to_string(index); }

// Starts a program with its own standard handles; true when it started. The child is not
// waited for (the process layer reaps it).
bool LaunchProcess(const std::string& program, const std::vector<std::string>& arguments) {
    return platform::StartProcess(program, arguments, true) != nullptr;
}

}  // namespace

CUpdateSession::CUpdateSession(std::string statePath, std::string url, std::string shippedStatePath,
                               kvupdater::DownloadBounds bounds)
    : statePath_(std::move(statePath)),
      urlArgument_(std::move(url)),
      shippedStatePath_(std::move(shippedStatePath)),
      bounds_(bounds) {}

CUpdateSession::~CUpdateSession() {
    if (!descriptionPath_.empty()) std::remove(descriptionPath_.c_str());
}

void CUpdateSession::WriteInfo(const char* key, int value) {
    platform::IniWriteString(statePath_, kInfo, key, std::to_string(value));
}

std::string CUpdateSession::InstalledVersionText() const {
    // The installer records the version in the state file the install ships. The user's copy
    // began as that file and keeps the version of the day it was made, so after an install
    // for everyone it would offer the installed update again for ever.
    if (!shippedStatePath_.empty()) {
        std::string shipped = platform::IniReadString(shippedStatePath_, kInfo, "version");
        if (ParseVersion(shipped)) return shipped;
    }
    return platform::IniReadString(statePath_, kInfo, "version");
}

void CUpdateSession::LoadLocalInfo() {
    const std::string statusText = platform::IniReadString(statePath_, kInfo, "status");
    status_ = platform::IniReadInt(statePath_, kInfo, "status", 0);
    ConsolePrint("update.status：%s\n", statusText.c_str());
    const std::string versionText = InstalledVersionText();
    if (auto version = ParseVersion(versionText)) {
        localVersion_ = *version;
        ConsolePrint("info.version：%s\n", versionText.c_str());
    }

    queryUrl_ = urlArgument_ + "?t=" + std::to_string(static_cast<long long>(std::time(nullptr)));
    if (localVersion_ >= 0) queryUrl_ += "&ver=" + versionText;
    ConsolePrint("query url：%s\n", queryUrl_.c_str());

    if (auto skipped = ParseVersion(platform::IniReadString(statePath_, kInfo, "skiped_version"))) {
        skippedVersion_ = *skipped;
    }
    errorCount_ = platform::IniReadInt(statePath_, kInfo, "error_count", 0);
    if (status_ > 0) {
        // A run writes into and removes this file: one that this updater did not make (a
        // broken or planted state file) is left alone, and a new installer folder is made.
        std::string installer = platform::IniReadString(statePath_, kInfo, "installer_file");
        if (kvupdater::IsInstallerPath(installer)) installerPath_ = std::move(installer);
    }
}

bool CUpdateSession::LoadUpdateInfo() {
    auto read = [this](const std::string& key) {
        return platform::IniReadString(statePath_, kUpdate, key);
    };
    // Every flag comes from this reading alone, never from an earlier description.
    showMessage_ = must_ = skip_ = page_ = false;
    message_.clear();
    downloadUrl_.clear();
    pageUrl_.clear();
    hash_.clear();
    cmdline_.clear();

    auto version = ParseVersion(read("version"));
    if (!version) return false;
    updateVersion_ = *version;
    if (remoteVersion_ < 0) remoteVersion_ = updateVersion_;

    showMessage_ = read("msg") == "1";
    ConsolePrint("update.msg：%d\n", showMessage_ ? 1 : 0);
    for (int index = 1; index <= kMaxMessageLines; ++index) {
        const std::string line = read(MessageInfoKey(index));
        if (line.empty()) break;
        message_ += line + "\r\n";
    }
    skipCaption_ = read("msg_btn_skip");
    installCaption_ = read("msg_btn_install");
    cancelCaption_ = read("msg_btn_cancel");

    page_ = read("insttype") == "1";
    ConsolePrint("info.insttype：%d\n", page_ ? 1 : 0);
    if (page_) {
        pageUrl_ = read("download_page_url");
        if (pageUrl_.empty()) return false;
    } else {
        downloadUrl_ = read("download_file_url");
        hash_ = read("hash");
        if (downloadUrl_.empty() || hash_.empty()) return false;
        cmdline_ = read("cmdline");
    }

    must_ = read("must") == "1";
    ConsolePrint("update.must：%d\n", must_ ? 1 : 0);
    if (!must_) {
        skip_ = read("skip") == "1";
        ConsolePrint("update.skip：%d\n", skip_ ? 1 : 0);
    }
    return true;
}

bool CUpdateSession::FetchRemoteInfo() {
    descriptionPath_ = kvupdater::DescriptionTempPath(std::time(nullptr));
    if (!kvupdater::DownloadUrlToFile(queryUrl_, descriptionPath_, bounds_.descriptionBytes) ||
        ::access(descriptionPath_.c_str(), R_OK) != 0) {
        ConsolePrint("升级信息获取失败\n");
        return false;
    }
    auto version = ParseVersion(platform::IniReadString(descriptionPath_, kInfo, "version"));
    if (!version) {
        ConsolePrint("远程版本信息获取失败\n");
        return false;
    }
    remoteVersion_ = *version;
    return true;
}

bool CUpdateSession::SaveUpdateInfo() {
    bool saved = true;
    auto copy = [&](const std::string& key) {
        const std::string value = platform::IniReadString(descriptionPath_, kInfo, key);
        saved = platform::IniWriteString(statePath_, kUpdate, key, value) && saved;
        return value;
    };
    copy("version");
    copy("msg");
    int index = 1;
    while (index <= kMaxMessageLines && !copy(MessageInfoKey(index)).empty()) ++index;
    // Lines of an earlier, longer message must not be shown with this one.
    for (++index; index <= kMaxMessageLines &&
                  !platform::IniReadString(statePath_, kUpdate, MessageInfoKey(index)).empty();
         ++index) {
        saved = platform::IniDeleteKey(statePath_, kUpdate, MessageInfoKey(index)) && saved;
    }
    for (const char* key :
         {"msg_btn_skip", "msg_btn_install", "msg_btn_cancel", "insttype", "download_file_url",
          "hash", "cmdline", "download_page_url", "must", "skip"}) {
        copy(key);
    }
    return saved;
}

bool CUpdateSession::NeedUpgrade() {
    if (localVersion_ >= remoteVersion_) {
        // Installed already: whatever was prepared is no longer pending.
        if (status_ != 0) ClearPending();
        return false;
    }
    if (skippedVersion_ < remoteVersion_) {
        ConsolePrint("需要升级\n");
        return true;
    }
    ConsolePrint("跳过此版本\n");
    ClearPending();
    return false;
}

bool CUpdateSession::PrepareUpgrade() {
    if (status_ == 0) {
        status_ = 1;
        WriteInfo("status", 1);
        return true;
    }
    ConsolePrint("发现上次升级未完成\n");
    // The files on disk belong to the description read before this run's fetch: an older
    // version, or the same version published again with another digest, is fetched anew.
    if (preparedVersion_ < remoteVersion_ || !SameDigest(preparedHash_, hash_) ||
        preparedPage_ != page_) {
        ConsolePrint("发现版本过期需要删除之前的安装文件\n");
        Cleanup();
        status_ = 1;
        WriteInfo("status", 1);
    }
    return true;
}

std::string CUpdateSession::MakeInstallerPath() {
    // The stored folder is used again only while it is still private to us: one that went
    // (the temporary folder was emptied) and was made again by anyone else, or opened to
    // others, or turned into a link, is left alone for a fresh one.
    if (kvupdater::IsInstallerPath(installerPath_)) return installerPath_;
    return kvupdater::NewInstallerPath();
}

bool CUpdateSession::DownloadPackage() {
    if (page_) {
        status_ = 2;
        WriteInfo("status", 2);
        return true;
    }
    installerPath_ = MakeInstallerPath();
    if (installerPath_.empty()) {
        ConsolePrint("下载失败\n");
        return false;
    }
    resumePath_ = installerPath_ + ".resume";
    platform::IniWriteString(statePath_, kInfo, "installer_file", installerPath_);

    // A verified installer that has gone or changed since is fetched again, not a failure.
    const bool verified = status_ == 2 && installer_.Open(installerPath_, hash_);
    if (!verified && !kvupdater::DownloadInstaller(downloadUrl_, installerPath_, resumePath_,
                                                   bounds_.installerBytes)) {
        ConsolePrint("下载失败\n");
        return false;
    }
    ConsolePrint("下载完成，对比指纹\n");
    // From here on the installer is this open file: the one that is started.
    if (!verified && !installer_.Open(installerPath_, hash_)) {
        ConsolePrint("指纹对比失败\n");
        return false;
    }
    ConsolePrint("指纹对比成功\n");
    if (!installer_.MakeExecutable()) return false;
    status_ = 2;
    WriteInfo("status", 2);
    return true;
}

bool CUpdateSession::AskUser() {
    if (!showMessage_) return true;
    kvupdater::UpdatePrompt prompt;
    prompt.message = message_;
    prompt.showSkip = skip_;
    prompt.skipCaption = skipCaption_;
    prompt.upgradeCaption = installCaption_;
    prompt.remindCaption = cancelCaption_;
    switch (kvupdater::AskWithDialog(prompt)) {
        case kvupdater::PromptAnswer::Upgrade:
            ConsolePrint("点击立即升级\n");
            return true;
        case kvupdater::PromptAnswer::Skip:
            ConsolePrint("点击跳过此版本\n");
            platform::IniWriteString(statePath_, kInfo, "skiped_version",
                                     std::to_string(remoteVersion_));
            ClearPending();
            return false;
        case kvupdater::PromptAnswer::NotShown:
            // Nobody can answer: the same as being asked again next time, never a yes.
            ConsolePrint("无法显示升级对话框，下次提醒\n");
            return false;
        case kvupdater::PromptAnswer::RemindLater:
            break;
    }
    ConsolePrint("点击下次提醒\n");
    return false;
}

bool CUpdateSession::Install() {
    if (page_) {
        if (pageUrl_.empty()) return false;
        ConsolePrint("打开页面 %s\n", pageUrl_.c_str());
        // Only web pages: the URL comes from the server and must not start anything else.
        return platform::OpenUrlForUser(pageUrl_);
    }
    if (!installer_.Start(installerPath_, platform::SplitCommandLine(cmdline_))) return false;
    // The installer runs from the open file: its folder is no longer needed.
    Cleanup();
    return true;
}

void CUpdateSession::Cleanup() {
    installer_.Close();
    // Only a folder that is still ours goes: a state file can name any path.
    if (kvupdater::IsInstallerPath(installerPath_)) {
        kvupdater::RemoveInstallerFolder(installerPath_);
        platform::IniWriteString(statePath_, kInfo, "installer_file", "");
    }
    installerPath_.clear();
    resumePath_.clear();
}

void CUpdateSession::RemoveLeftoverInstaller() {
    // Nothing is pending, yet the state names a folder of ours: a run that ended before it
    // could remove it. Nobody needs it any more.
    if (status_ != 0) return;
    installerPath_ = platform::IniReadString(statePath_, kInfo, "installer_file");
    Cleanup();
}

void CUpdateSession::ClearPending() {
    Cleanup();
    status_ = 0;
    WriteInfo("status", 0);
}

void CUpdateSession::ResetErrorCount() {
    if (errorCount_ != 0) {
        errorCount_ = 0;
        WriteInfo("error_count", 0);
    }
}

void CUpdateSession::Relaunch() {
    // The real run goes on in a copy of its own, so that the caller waiting for check mode
    // is answered at once.
    LaunchProcess(platform::ExecutablePath(), {"--conf", statePath_, "--url", urlArgument_});
}

int CUpdateSession::CheckForced() {
    LoadLocalInfo();
    const bool ready = status_ == 2 && platform::IniReadString(statePath_, kUpdate, "must") == "1";
    Relaunch();
    return ready ? kvupdater::kExitMandatoryUpdateReady : kvupdater::kExitOk;
}

int CUpdateSession::FailRun() {
    ConsolePrint("发生错误\n");
    ++errorCount_;
    WriteInfo("error_count", errorCount_);
    if (errorCount_ >= 3) {
        ConsolePrint("错误次数超过限制，跳过此版本\n");
        // Without a known remote version there is nothing to skip, and an earlier choice
        // of the user's stays.
        if (remoteVersion_ >= 0) WriteInfo("skiped_version", remoteVersion_);
        errorCount_ = 0;
        WriteInfo("error_count", 0);
    }
    status_ = 0;
    WriteInfo("status", 0);
    Cleanup();
    return kvupdater::kExitFailure;
}

int CUpdateSession::RunSteps(Ending& ending) {
    ConsolePrint("检查单实例\n");
    if (!lock_.Acquire()) {
        ConsolePrint("另一升级进程已在运行，退出\n");
        return kvupdater::kExitOk;
    }
    ConsolePrint("加载本地版本信息\n");
    LoadLocalInfo();
    RemoveLeftoverInstaller();
    ConsolePrint("加载本地更新信息\n");
    if (LoadUpdateInfo()) {
        preparedVersion_ = updateVersion_;
        preparedHash_ = hash_;
        preparedPage_ = page_;
    }
    ConsolePrint("保存已经获取的更新信息\n");

    if (!(status_ == 2 && must_)) {
        ConsolePrint("下载远程版本信息\n");
        if (!FetchRemoteInfo()) return FailRun();
        if (!SaveUpdateInfo()) {
            ConsolePrint("保存更新信息失败\n");
            ending = Ending::Quiet;
            return kvupdater::kExitOk;
        }
        ConsolePrint("重新加载本地更新信息\n");
        if (!LoadUpdateInfo()) {
            ConsolePrint("加载本地信息失败\n");
            ending = Ending::Quiet;
            return kvupdater::kExitOk;
        }
    }

    ConsolePrint("检查是否需要升级\n");
    if (!NeedUpgrade()) {
        ConsolePrint("不需要升级\n");
        ResetErrorCount();
        return kvupdater::kExitOk;
    }
    ConsolePrint("准备升级\n");
    if (!PrepareUpgrade()) return FailRun();
    ConsolePrint("开始下载升级文件\n");
    if (!DownloadPackage()) return FailRun();
    ConsolePrint("询问用户是否升级\n");
    if (!AskUser()) {
        ResetErrorCount();
        return kvupdater::kExitOk;
    }
    ConsolePrint("开始安装升级文件\n");
    if (!Install()) return FailRun();
    ConsolePrint("升级完成，开始清理\n");
    // Handed over to the installer (or the page): no longer waiting, so a later check does
    // not report this update as ready again.
    status_ = 0;
    WriteInfo("status", 0);
    ResetErrorCount();
    return kvupdater::kExitOk;
}

int CUpdateSession::Run() {
    Ending ending = Ending::Normal;
    const int code = RunSteps(ending);
    if (ending == Ending::Normal) ConsolePrint("升级程序退出\n");
    return code;
}
