// One run of the updater: reads the state file, fetches the update description, decides by
// version, skip and mandatory rules, downloads and verifies the installer, asks the user and
// starts the installer or opens the download page.
#pragma once

#include <string>

#include "download_bounds.h"
#include "single_instance_lock.h"
#include "verified_installer.h"

class CUpdateSession {
public:
    // `statePath` is the state file ("--conf"), `url` the description's URL ("--url");
    // `shippedStatePath` the state file as the install ships it (empty: none), whose [info]
    // version, when it holds one, is the installed version; the downloads are bounded by
    // `bounds`.
    CUpdateSession(std::string statePath, std::string url, std::string shippedStatePath = {},
                   kvupdater::DownloadBounds bounds = kvupdater::kDownloadBounds);
    // Removes the downloaded description: it is only read during the run.
    ~CUpdateSession();
    CUpdateSession(const CUpdateSession&) = delete;
    CUpdateSession& operator=(const CUpdateSession&) = delete;

    // Check mode: kExitMandatoryUpdateReady when a mandatory update is prepared, else kExitOk.
    // Always starts a second copy of the updater for the real run.
    int CheckForced();
    // The real run; answers the exit code.
    int Run();

    // The steps of a run, in the order Run takes them.
    void LoadLocalInfo();
    bool LoadUpdateInfo();
    bool FetchRemoteInfo();
    bool SaveUpdateInfo();
    bool NeedUpgrade();
    bool PrepareUpgrade();
    bool DownloadPackage();
    bool AskUser();
    bool Install();
    void Cleanup();
    void Relaunch();

private:
    enum class Ending { Quiet, Normal };

    int RunSteps(Ending& ending);
    int FailRun();
    // The run ended well: failures no longer count as "in a row".
    void ResetErrorCount();
    // Nothing is pending any more: status 0 written, and the prepared files go.
    void ClearPending();
    void RemoveLeftoverInstaller();
    void WriteInfo(const char* key, int value);
    std::string InstalledVersionText() const;
    std::string MakeInstallerPath();

    std::string statePath_;
    std::string urlArgument_;
    std::string shippedStatePath_;
    kvupdater::DownloadBounds bounds_;
    std::string queryUrl_;
    std::string descriptionPath_;

    int localVersion_ = -1;
    int updateVersion_ = -1;
    int remoteVersion_ = -1;
    int skippedVersion_ = -1;
    int status_ = 0;
    int errorCount_ = 0;

    std::string installerPath_;
    std::string resumePath_;
    std::string downloadUrl_;
    std::string pageUrl_;
    std::string hash_;
    std::string cmdline_;
    std::string message_;
    bool showMessage_ = false;
    bool must_ = false;
    bool skip_ = false;
    bool page_ = false;
    std::string skipCaption_;
    std::string installCaption_;
    std::string cancelCaption_;

    // What the state file described before this run fetched a new description: the update
    // that the files on disk (a partial or verified installer) belong to.
    int preparedVersion_ = -1;
    std::string preparedHash_;
    bool preparedPage_ = false;

    // The installer from its digest check until it is started or given up.
    kvupdater::VerifiedInstaller installer_;
    kvupdater::SingleInstanceLock lock_;
};
