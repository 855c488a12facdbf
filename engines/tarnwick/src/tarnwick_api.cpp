// The engine's exported C functions over Downloader.
#include <curl/curl.h>
#include <platform/paths.h>
#include <tarnwick/tarnwick.h>

#include <memory>
#include <mutex>
#include <string>

#include "downloader.h"

struct TarnwickDownloader {
    explicit TarnwickDownloader(tarnwick::DownloadJob job, bool fresh)
        : downloader(std::move(job), fresh) {}
    tarnwick::Downloader downloader;
};

namespace {

std::mutex g_infoMutex;
std::string g_userAgent = "Tarnwick/1.0";

void StartCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string UserAgent() {
    std::lock_guard<std::mutex> lock(g_infoMutex);
    return g_userAgent;
}

int Start(tarnwick::DownloadJob job, bool fresh, TarnwickHandle* handle) {
    StartCurlOnce();
    auto made = std::make_unique<TarnwickDownloader>(std::move(job), fresh);
    *handle = made.release();  // owned by the caller until Tarnwick_Downloader_Release
    return TARNWICK_OK;
}

}  // namespace

extern "C" {

int Tarnwick_SetVerInfo(const char* product, const char* version) {
    std::lock_guard<std::mutex> lock(g_infoMutex);
    g_userAgent = "Tarnwick/1.0";
    if (product && *product) {
        g_userAgent = std::string(product) +
                      (version && *version ? "/" + std::string(version) : "") + " " + g_userAgent;
    }
    return TARNWICK_OK;
}

int Tarnwick_Startup(void) {
    StartCurlOnce();
    return TARNWICK_OK;
}

int Tarnwick_Downloader_Initialize(const TarnwickRequest* request, TarnwickHandle* handle,
                                   const TarnwickOptions* options) {
    if (!handle) return TARNWICK_ERROR_ARGUMENT;
    *handle = nullptr;
    if (!request || !request->url || !*request->url || !request->folder || !*request->folder ||
        !request->fileName || !*request->fileName) {
        return TARNWICK_ERROR_ARGUMENT;
    }
    const std::string fileName = request->fileName;
    if (!tarnwick::IsPlainFileName(fileName)) return TARNWICK_ERROR_ARGUMENT;
    tarnwick::DownloadJob job;
    job.url = request->url;
    job.folder = request->folder;
    job.fileName = fileName;
    job.userAgent = UserAgent();
    if (options) {
        if (options->resumePath) job.resumePath = options->resumePath;
        if (options->userAgent && *options->userAgent) job.userAgent = options->userAgent;
        if (options->connectTimeoutSeconds > 0) {
            job.connectTimeoutSeconds = options->connectTimeoutSeconds;
        }
        if (options->stallTimeoutSeconds > 0)
            job.stallTimeoutSeconds = options->stallTimeoutSeconds;
        if (options->retryCount > 0) job.retryCount = options->retryCount;
        if (options->maxBytesPerSecond > 0) job.maxBytesPerSecond = options->maxBytesPerSecond;
        if (options->maxFileBytes > 0) job.maxFileBytes = options->maxFileBytes;
    }
    if (!platform::MakeDirectories(job.folder)) return TARNWICK_ERROR_TARGET;
    if (!tarnwick::WriteResumeFile(job)) return TARNWICK_ERROR_RESUME_FILE;
    return Start(std::move(job), true, handle);
}

int Tarnwick_Downloader_Load(TarnwickHandle* handle, const char* resumePath) {
    if (!handle) return TARNWICK_ERROR_ARGUMENT;
    *handle = nullptr;
    if (!resumePath || !*resumePath) return TARNWICK_ERROR_ARGUMENT;
    auto job = tarnwick::ReadResumeFile(resumePath);
    if (!job) return TARNWICK_ERROR_RESUME_FILE;
    if (!platform::MakeDirectories(job->folder)) return TARNWICK_ERROR_TARGET;
    return Start(std::move(*job), false, handle);
}

int Tarnwick_Downloader_GetState(TarnwickHandle handle) {
    return handle ? handle->downloader.State() : TARNWICK_STATE_FAILED;
}

long long Tarnwick_Downloader_GetFileSize(TarnwickHandle handle) {
    return handle ? handle->downloader.FileSize() : -1;
}

long long Tarnwick_Downloader_GetDownloadedSize(TarnwickHandle handle) {
    return handle ? handle->downloader.DownloadedSize() : 0;
}

long long Tarnwick_Downloader_GetLeftSize(TarnwickHandle handle) {
    if (!handle) return -1;
    const long long total = handle->downloader.FileSize();
    if (total < 0) return -1;
    const long long left = total - handle->downloader.DownloadedSize();
    return left > 0 ? left : 0;
}

int Tarnwick_Downloader_Release(TarnwickHandle handle, int deleteFiles) {
    if (!handle) return TARNWICK_ERROR_ARGUMENT;
    std::unique_ptr<TarnwickDownloader> owned(handle);
    owned->downloader.Stop();
    if (deleteFiles) owned->downloader.DeleteFiles();
    return TARNWICK_OK;
}

}  // extern "C"
