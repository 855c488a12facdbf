#include "async_http_client.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app_settings.h"
#include "file_utils.h"
#include "log.h"

namespace {

const char kUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.0.3705; .NET CLR 1.1.4322; "
    ".NET CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// How long one wait for the transfer's sockets may last; a stop wakes it at once.
constexpr int kPollMs = 1000;

std::string This(const void* self) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(self));
}

// Writes `size` bytes at `offset` of `path`, keeping what the file already holds.
bool WriteAt(const std::string& path, std::uint64_t offset, const char* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == size;
}

}  // namespace

CAsyncHttpClient::CAsyncHttpClient() = default;

CAsyncHttpClient::~CAsyncHttpClient() { CloseMainThread(); }

int CAsyncHttpClient::HttpGetFile(const std::string& url, std::uint64_t start) {
    std::lock_guard<std::mutex> workerGuard(workerLock_);
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (running_) return 0;  // an earlier download still runs
    }
    if (worker_.joinable()) worker_.join();  // a finished one
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = false;
        stopped_ = false;
        running_ = true;
        error_ = false;
        complete_ = false;
        buffer_.clear();
        buffer_.shrink_to_fit();
        buffered_ = 0;
        writtenOut_ = 0;
        received_ = 0;
        expectedLength_ = 0;
        url_ = url.substr(0, kMaxUrlLength);
        start_ = start;
        startTick_ = TickCountMs();
    }
    try {
        worker_ = std::thread([this, u = url_, start] { AsyncMainThread(u, start); });
    } catch (const std::system_error& e) {
        WriteLog(FormatLogTimestamp())
            .WriteLog(" CreateMainThread failed , dw = ")
            .WriteLog(static_cast<std::int32_t>(e.code().value()))
            .WriteLog(LogText::kLineEnd);
        std::lock_guard<std::mutex> guard(lock_);
        stopped_ = true;
        running_ = false;
        return 0;
    }
    WriteLog(FormatLogTimestamp())
        .WriteLog(This(this))
        .WriteLog(", start url: ")
        .WriteLog(url_)
        .WriteLog(LogText::kLineEnd);
    return 1;
}

void CAsyncHttpClient::RequestStop() {
    stop_ = true;
    std::lock_guard<std::mutex> guard(lock_);
    if (multi_ != nullptr) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void CAsyncHttpClient::CloseMainThread() {
    RequestStop();
    {
        // The stream and the task may both close the client, each on its own thread.
        std::lock_guard<std::mutex> workerGuard(workerLock_);
        if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
    }
    WriteLog(FormatLogTimestamp())
        .WriteLog(" Close MainThread: ")
        .WriteLog(This(this))
        .WriteLog(LogText::kLineEnd);
}

struct CAsyncHttpClient::Transfer {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    ~Transfer() {
        if (multi != nullptr && easy != nullptr) curl_multi_remove_handle(multi, easy);
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
    }
};

void CAsyncHttpClient::AsyncMainThread(std::string url, std::uint64_t start) {
    Transfer t;
    t.multi = curl_multi_init();
    t.easy = curl_easy_init();
    if (t.multi == nullptr || t.easy == nullptr) {
        Finish(false);
        return;
    }
    curl_easy_setopt(t.easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(t.easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(t.easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(t.easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(start));
    curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, &CAsyncHttpClient::OnData);
    curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(t.easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(t.easy, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(t.easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    // An error page is no part of the video.
    curl_easy_setopt(t.easy, CURLOPT_FAILONERROR, 1L);
    curl_multi_add_handle(t.multi, t.easy);
    Perform(t);
    Finish(true);
}

void CAsyncHttpClient::Perform(Transfer& t) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        multi_ = t.multi;
        easy_ = t.easy;
    }
    int running = 1;
    while (running != 0 && !stop_) {
        if (curl_multi_perform(t.multi, &running) != CURLM_OK) break;
        if (running == 0 || stop_) break;
        // Sleeps until a socket is ready, a time-out of the transfer is due, or a stop.
        if (curl_multi_poll(t.multi, nullptr, 0, kPollMs, nullptr) != CURLM_OK) break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(t.multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->data.result != CURLE_OK) {
            WriteLog(FormatLogTimestamp())
                .WriteLog(LogText::kPerformDownloadError)
                .WriteLog(This(this))
                .WriteLog(" ")
                .WriteLog(curl_easy_strerror(message->data.result))
                .WriteLog(LogText::kLineEnd);
        }
    }
    std::lock_guard<std::mutex> guard(lock_);
    multi_ = nullptr;
    easy_ = nullptr;
    WriteLog(FormatLogTimestamp())
        .WriteLog(" Http after perform: ")
        .WriteLog(This(this))
        .WriteLog(LogText::kLineEnd);
}

void CAsyncHttpClient::Finish(bool transferred) {
    std::lock_guard<std::mutex> guard(lock_);
    const bool whole = transferred && expectedLength_ > 0 &&
                       static_cast<std::uint64_t>(expectedLength_) == received_ && !error_;
    if (whole) {
        // What is buffered goes to the target file; without one it stays for its readers.
        if (!targetFile_.empty() && !WriteOutLocked(nullptr, 0)) error_ = true;
        complete_ = !error_;
    }
    WriteLog(FormatLogTimestamp())
        .WriteLog(complete_ ? LogText::kHttpGetFileSuccess : LogText::kHttpGetFileFailed)
        .WriteLog(This(this))
        .WriteLog(LogText::kLineEnd);
    stopped_ = true;
    running_ = false;
}

std::size_t CAsyncHttpClient::OnData(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<CAsyncHttpClient*>(self)->OnDownloadData(data, size * count);
}

std::size_t CAsyncHttpClient::OnDownloadData(const char* data, std::size_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    if (buffer_.empty()) buffer_.assign(kBufferBytes + 1, '\0');
    if (stop_) {
        WriteLog(FormatLogTimestamp())
            .WriteLog(" Http need Stop onDownloadData: ")
            .WriteLog(This(this))
            .WriteLog(LogText::kLineEnd);
        return 0;
    }
    if (received_ == 0 && expectedLength_ == 0) {
        // The length of what this request brings (the rest of the file from the start).
        curl_off_t length = -1;
        if (easy_ != nullptr) {
            curl_easy_getinfo(static_cast<CURL*>(easy_), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T,
                              &length);
        }
        expectedLength_ = length > 0 ? length : -1;
        WriteLog(FormatLogTimestamp())
            .WriteLog(This(this))
            .WriteLog(", Get ContentLength: ")
            .WriteLog(std::to_string(expectedLength_))
            .WriteLog(LogText::kLineEnd);
    }
    if (buffered_ + size > kBufferBytes) {
        if (!WriteOutLocked(data, size)) {
            error_ = true;
            return 0;
        }
    } else {
        std::memcpy(buffer_.data() + buffered_, data, size);
        buffered_ += size;
        buffer_[buffered_] = '\0';
    }
    received_ += size;
    if (byteLimit_ != 0 && received_ > byteLimit_) return 0;
    return size;
}

bool CAsyncHttpClient::SaveLocked(const char* data, std::size_t size) {
    if (targetFile_.empty() || size == 0) return true;
    // A folder that is merely on a fixed drive is no folder yet: make it.
    const std::string folder = GetDirectoryPart(targetFile_);
    if (!folder.empty()) CreateDirectoryPath(folder);
    if (WriteAt(targetFile_, start_ + writtenOut_, data, size)) {
        writtenOut_ += size;
        return true;
    }
    WriteLog(FormatLogTimestamp())
        .WriteLog(LogText::kOnDownloadDataFailed)
        .WriteLog(targetFile_)
        .WriteLog(LogText::kLineEnd);
    return false;
}

bool CAsyncHttpClient::WriteOutLocked(const char* data, std::size_t size) {
    if (!SaveLocked(buffer_.data(), buffered_)) return false;
    if (targetFile_.empty()) writtenOut_ += buffered_;  // nowhere to keep them: gone
    buffered_ = 0;
    if (!SaveLocked(data, size)) return false;
    if (targetFile_.empty()) writtenOut_ += size;
    return true;
}

bool CAsyncHttpClient::IsRunning() const {
    std::lock_guard<std::mutex> guard(lock_);
    return running_;
}

std::uint64_t CAsyncHttpClient::GetDownloadedBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

std::uint64_t CAsyncHttpClient::GetStartTick() const {
    std::lock_guard<std::mutex> guard(lock_);
    return startTick_;
}

std::size_t CAsyncHttpClient::CopyData(std::uint64_t offset, char* into, std::size_t count) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (offset < writtenOut_ || offset >= writtenOut_ + buffered_) return 0;
    const std::size_t at = static_cast<std::size_t>(offset - writtenOut_);
    const std::size_t n = std::min(count, buffered_ - at);
    std::memcpy(into, buffer_.data() + at, n);
    return n;
}

void CAsyncHttpClient::SetTargetFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    targetFile_ = path;
}

void CAsyncHttpClient::SetByteLimit(std::uint32_t limit) {
    std::lock_guard<std::mutex> guard(lock_);
    byteLimit_ = limit;
}

std::uint64_t CAsyncHttpClient::GetStartPosition() const {
    std::lock_guard<std::mutex> guard(lock_);
    return start_;
}

std::int64_t CAsyncHttpClient::GetExpectedLength() const {
    std::lock_guard<std::mutex> guard(lock_);
    return expectedLength_;
}

bool CAsyncHttpClient::IsComplete() const {
    std::lock_guard<std::mutex> guard(lock_);
    return complete_;
}

bool CAsyncHttpClient::HasError() const {
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}
