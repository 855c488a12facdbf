#include "downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tarnwick/tarnwick.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace tarnwick {
namespace {

long long SizeOnDisk(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, size_t size, long long position) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, position);
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
        position += written;
    }
    return true;
}

}  // namespace

// What the libcurl callbacks of one attempt share.
struct Downloader::Transfer {
    Downloader* owner;
    CURL* curl;
    int fd;
    long long offset;  // bytes asked to be skipped with the Range request
    long long position = 0;
    bool started = false;  // the response's status has been looked at
    bool discard = false;  // an error response: its body is not the file
    bool writeFailed = false;
    bool tooLarge = false;  // the file would grow beyond the job's bound
};

Downloader::Downloader(DownloadJob job, bool fresh)
    : job_(std::move(job)),
      state_(TARNWICK_STATE_RUNNING),
      total_(job_.totalSize),
      done_(fresh ? 0 : SizeOnDisk(job_.TargetPath())) {
    worker_ = std::thread(&Downloader::Work, this, fresh);
}

Downloader::~Downloader() { Stop(); }

void Downloader::Stop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_ = true;
    }
    stopSignal_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void Downloader::DeleteFiles() {
    if (!job_.resumePath.empty()) std::remove(job_.resumePath.c_str());
    if (state_ != TARNWICK_STATE_COMPLETE) std::remove(job_.TargetPath().c_str());
}

bool Downloader::SleepUnlessStopped(int milliseconds) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopSignal_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                 [this] { return stop_.load(); });
}

void Downloader::NoteTotal(long long total) {
    if (total < 0 || total == job_.totalSize) return;
    total_ = total;
    job_.totalSize = total;
    WriteResumeFile(job_);
}

void Downloader::Work(bool fresh) {
    const std::string target = job_.TargetPath();
    if (fresh) {
        FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.get() < 0) {
            state_ = TARNWICK_STATE_FAILED;
            return;
        }
    }
    int failures = 0;
    while (!stop_) {
        const long long offset = SizeOnDisk(target);
        done_ = offset;
        switch (TransferFrom(offset)) {
            case Outcome::Complete:
                if (!job_.resumePath.empty()) std::remove(job_.resumePath.c_str());
                state_ = TARNWICK_STATE_COMPLETE;
                return;
            case Outcome::Stopped:
                return;
            case Outcome::Fail:
                state_ = TARNWICK_STATE_FAILED;
                return;
            case Outcome::Restart:
                // The server cannot continue the partial file: start it again from byte 0.
                if (::truncate(target.c_str(), 0) != 0) {
                    state_ = TARNWICK_STATE_FAILED;
                    return;
                }
                job_.totalSize = -1;
                total_ = -1;
                [[fallthrough]];
            case Outcome::Retry:
                if (++failures > job_.retryCount) {
                    state_ = TARNWICK_STATE_FAILED;
                    return;
                }
                if (!SleepUnlessStopped(1000)) return;
                break;
        }
    }
}

Downloader::Outcome Downloader::TransferFrom(long long offset) {
    FileDescriptor fd(::open(job_.TargetPath().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (fd.get() < 0 || !curl) return Outcome::Fail;

    Transfer transfer{this, curl.get(), fd.get(), offset};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, job_.url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(job_.connectTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(job_.stallTimeoutSeconds));
    if (!job_.userAgent.empty()) curl_easy_setopt(c, CURLOPT_USERAGENT, job_.userAgent.c_str());
    if (job_.maxBytesPerSecond > 0) {
        curl_easy_setopt(c, CURLOPT_MAX_RECV_SPEED_LARGE,
                         static_cast<curl_off_t>(job_.maxBytesPerSecond));
    }
    const std::string range = std::to_string(offset) + "-";
    if (offset > 0) curl_easy_setopt(c, CURLOPT_RANGE, range.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Downloader::OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Downloader::OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);

    const CURLcode result = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);

    if (stop_) return Outcome::Stopped;
    if (transfer.writeFailed || transfer.tooLarge) return Outcome::Fail;
    if (result == CURLE_OK) {
        if (status >= 200 && status < 300) {
            if (!transfer.started) transfer.position = offset;  // an empty body
            if (total_ >= 0 && transfer.position != total_) return Outcome::Retry;
            NoteTotal(transfer.position);
            done_ = transfer.position;
            return Outcome::Complete;
        }
        if (status == 416 && offset > 0) {
            // Asked for bytes after the end: either the file is already whole, or the
            // server's file changed since the partial one was written.
            return job_.totalSize == offset ? Outcome::Complete : Outcome::Restart;
        }
        if (status >= 500 || status == 408 || status == 429) return Outcome::Retry;
        return Outcome::Fail;
    }
    switch (result) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
        case CURLE_TOO_MANY_REDIRECTS:
            return Outcome::Fail;
        default:
            return Outcome::Retry;
    }
}

size_t Downloader::OnBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (!transfer.started) {
        transfer.started = true;
        long status = 0;
        curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status >= 300) {
            transfer.discard = true;
        } else {
            if (status == 206) {
                transfer.position = transfer.offset;
            } else if (transfer.offset > 0) {
                // The server sent the whole file instead of the rest.
                if (::ftruncate(transfer.fd, 0) != 0) {
                    transfer.writeFailed = true;
                    return 0;
                }
                transfer.position = 0;
            }
            curl_off_t length = -1;
            curl_easy_getinfo(transfer.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length >= 0) transfer.owner->NoteTotal(transfer.position + length);
        }
    }
    if (transfer.discard) return bytes;
    // Beyond the bound nothing is written: what fits goes to the file and the transfer ends,
    // whether the server said so in advance or keeps sending.
    const long long bound = transfer.owner->job_.maxFileBytes;
    const long long total = transfer.owner->total_;
    size_t fits = bytes;
    if (bound > 0 && (total > bound || transfer.position + static_cast<long long>(bytes) > bound)) {
        transfer.tooLarge = true;
        fits = total > bound || transfer.position >= bound
                   ? 0
                   : static_cast<size_t>(bound - transfer.position);
    }
    if (!WriteAll(transfer.fd, data, fits, transfer.position)) {
        transfer.writeFailed = true;
        return 0;
    }
    transfer.position += static_cast<long long>(fits);
    transfer.owner->done_ = transfer.position;
    return transfer.tooLarge ? 0 : bytes;
}

int Downloader::OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Downloader*>(user)->stop_ ? 1 : 0;
}

}  // namespace tarnwick
