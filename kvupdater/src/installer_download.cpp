#include "installer_download.h"

#include <platform/paths.h>
#include <sys/stat.h>
#include <tarnwick/tarnwick.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "console.h"

namespace kvupdater {
namespace {

struct DownloaderReleaser {
    void operator()(TarnwickDownloader* handle) const {
        // 0: an unfinished download keeps its files, so that the next run can continue it.
        Tarnwick_Downloader_Release(handle, 0);
    }
};
using Downloader = std::unique_ptr<TarnwickDownloader, DownloaderReleaser>;

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

Downloader Resume(const std::string& resumePath) {
    TarnwickHandle handle = nullptr;
    if (Tarnwick_Downloader_Load(&handle, resumePath.c_str()) != TARNWICK_OK) return nullptr;
    return Downloader(handle);
}

Downloader StartFresh(const std::string& url, const std::string& installerPath,
                      const std::string& resumePath, long long maxBytes) {
    const std::string folder = installerPath.substr(0, installerPath.find_last_of('/'));
    const std::string name = platform::FileNamePart(installerPath);
    TarnwickRequest request{url.c_str(), folder.c_str(), name.c_str(), 1};
    TarnwickOptions options{resumePath.c_str(), "", 0, 0, 3, -1, maxBytes};
    TarnwickHandle handle = nullptr;
    if (Tarnwick_Downloader_Initialize(&request, &handle, &options) != TARNWICK_OK) {
        return nullptr;
    }
    return Downloader(handle);
}

}  // namespace

bool DownloadInstaller(const std::string& url, const std::string& installerPath,
                       const std::string& resumePath, long long maxBytes) {
    Downloader downloader;
    if (FileExists(resumePath)) {
        downloader = Resume(resumePath);
        // A resume file that cannot be used is worth nothing: start the file afresh.
        if (!downloader) std::remove(resumePath.c_str());
    }
    if (!downloader) downloader = StartFresh(url, installerPath, resumePath, maxBytes);
    if (!downloader) return false;

    bool progressShown = false;
    while (Tarnwick_Downloader_GetState(downloader.get()) == TARNWICK_STATE_RUNNING) {
        const long long total = Tarnwick_Downloader_GetFileSize(downloader.get());
        const long long done = Tarnwick_Downloader_GetDownloadedSize(downloader.get());
        ConsolePrint("\r总文件大小：%lld，已下载文件大小：%lld", total, done);
        progressShown = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    if (progressShown) ConsolePrint("\n");
    if (Tarnwick_Downloader_GetState(downloader.get()) == TARNWICK_STATE_COMPLETE) return true;
    // The engine stops a file at the bound: announced beyond it, or grown to it and failed.
    const long long total = Tarnwick_Downloader_GetFileSize(downloader.get());
    if (total > maxBytes || Tarnwick_Downloader_GetDownloadedSize(downloader.get()) >= maxBytes) {
        ConsolePrint("安装文件超过 %lld 字节的上限，已停止下载\n", maxBytes);
        // Nothing of it is worth resuming.
        Tarnwick_Downloader_Release(downloader.release(), 1);
    }
    return false;
}

}  // namespace kvupdater
