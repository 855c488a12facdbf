// What one download is about, and its record in the resume file.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

struct DownloadJob {
    std::string url;
    std::string folder;
    std::string fileName;
    std::string resumePath;  // empty: the download keeps no resume file
    std::string userAgent;
    int connectTimeoutSeconds = 15;
    int stallTimeoutSeconds = 30;
    int retryCount = 0;
    long long maxBytesPerSecond = 0;  // 0: unlimited
    long long maxFileBytes = 0;       // 0: unbounded
    long long totalSize = -1;         // -1 until a server has told it

    std::string TargetPath() const;
};

// A name that stays inside its folder: not empty, no '/', not "." or "..".
bool IsPlainFileName(const std::string& name);

// Writes the job to job.resumePath (nothing to do when it is empty). True when written.
bool WriteResumeFile(const DownloadJob& job);

// Reads a job back; nothing when the file is missing, lacks the URL or folder, or names no plain
// file. Settings that a fresh job could not have (timeouts of 0 or less, negative retries or
// speed) read as their defaults.
std::optional<DownloadJob> ReadResumeFile(const std::string& resumePath);

}  // namespace tarnwick
