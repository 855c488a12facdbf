#include "download_job.h"

#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/stat.h>

#include <algorithm>

namespace tarnwick {
namespace {

const char kSection[] = "download";

long long ReadLongLong(const std::string& path, const char* key, long long fallback) {
    const std::string text = platform::IniReadString(path, kSection, key);
    if (text.empty()) return fallback;
    try {
        return std::stoll(text);
    } catch (...) {
        return fallback;
    }
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

std::string DownloadJob::TargetPath() const { return platform::PathAppend(folder, fileName); }

bool WriteResumeFile(const DownloadJob& job) {
    if (job.resumePath.empty()) return true;
    const std::string content = std::string("[") + kSection + "]\n" + "url=" + job.url + "\n" +
                                "folder=" + job.folder + "\n" + "file=" + job.fileName + "\n" +
                                "user_agent=" + job.userAgent + "\n" +
                                "connect_timeout=" + std::to_string(job.connectTimeoutSeconds) +
                                "\n" + "stall_timeout=" + std::to_string(job.stallTimeoutSeconds) +
                                "\n" + "retries=" + std::to_string(job.retryCount) + "\n" +
                                "max_speed=" + std::to_string(job.maxBytesPerSecond) + "\n" +
                                "max_size=" + std::to_string(job.maxFileBytes) + "\n" +
                                "total=" + std::to_string(job.totalSize) + "\n";
    return platform::WriteFileAtomically(job.resumePath, content);
}

std::optional<DownloadJob> ReadResumeFile(const std::string& resumePath) {
    struct stat info {};
    if (resumePath.empty() || ::stat(resumePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    DownloadJob job;
    job.resumePath = resumePath;
    job.url = platform::IniReadString(resumePath, kSection, "url");
    job.folder = platform::IniReadString(resumePath, kSection, "folder");
    job.fileName = platform::IniReadString(resumePath, kSection, "file");
    if (job.url.empty() || job.folder.empty() || !IsPlainFileName(job.fileName)) {
        return std::nullopt;
    }
    job.userAgent = platform::IniReadString(resumePath, kSection, "user_agent");
    // The file is only text on disk: a stall timeout of 0 would let a dead transfer hang for
    // ever, so anything a fresh job could not hold falls back to the defaults.
    const int connectTimeout = platform::IniReadInt(resumePath, kSection, "connect_timeout", 0);
    if (connectTimeout > 0) job.connectTimeoutSeconds = connectTimeout;
    const int stallTimeout = platform::IniReadInt(resumePath, kSection, "stall_timeout", 0);
    if (stallTimeout > 0) job.stallTimeoutSeconds = stallTimeout;
    job.retryCount = std::max(0, platform::IniReadInt(resumePath, kSection, "retries", 0));
    job.maxBytesPerSecond = std::max(0LL, ReadLongLong(resumePath, "max_speed", 0));
    job.maxFileBytes = std::max(0LL, ReadLongLong(resumePath, "max_size", 0));
    job.totalSize = ReadLongLong(resumePath, "total", -1);
    return job;
}

}  // namespace tarnwick
