#include "download_job.h"

#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/stat.h>

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
    if (job.url.empty() || job.folder.empty() || job.fileName.empty()) return std::nullopt;
    job.userAgent = platform::IniReadString(resumePath, kSection, "user_agent");
    job.connectTimeoutSeconds =
        platform::IniReadInt(resumePath, kSection, "connect_timeout", job.connectTimeoutSeconds);
    job.stallTimeoutSeconds =
        platform::IniReadInt(resumePath, kSection, "stall_timeout", job.stallTimeoutSeconds);
    job.retryCount = platform::IniReadInt(resumePath, kSection, "retries", 0);
    job.maxBytesPerSecond = ReadLongLong(resumePath, "max_speed", 0);
    job.totalSize = ReadLongLong(resumePath, "total", -1);
    return job;
}

}  // namespace tarnwick
