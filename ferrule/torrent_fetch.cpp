#include "torrent_fetch.h"

#include <curl/curl.h>

#include <cstdio>

#include "file_utils.h"
#include "platform/regular_file.h"

namespace {

// Far larger than any real torrent of a video; stops a wrong URL from filling the disk.
constexpr std::size_t kMaxTorrentBytes = 64 * 1024 * 1024;
constexpr int kMaxDepth = 64;

// Bencode reader over [pos, end): true when one value was read whole.
class Bencode {
public:
    explicit Bencode(const std::string& bytes) : s_(bytes) {}

    bool IsTorrent() {
        if (pos_ >= s_.size() || s_[pos_] != 'd') return false;
        if (!Dict(0, true)) return false;
        return pos_ == s_.size() && hasInfo_;
    }

private:
    bool Value(int depth) {
        if (depth > kMaxDepth || pos_ >= s_.size()) return false;
        const char c = s_[pos_];
        if (c == 'i') return Integer();
        if (c == 'l') return List(depth);
        if (c == 'd') return Dict(depth, false);
        std::string ignored;
        return String(ignored);
    }

    bool Integer() {
        ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        const std::size_t digits = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
        if (pos_ == digits || pos_ >= s_.size() || s_[pos_] != 'e') return false;
        ++pos_;
        return true;
    }

    bool String(std::string& out) {
        std::size_t length = 0;
        const std::size_t digits = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
            length = length * 10 + static_cast<std::size_t>(s_[pos_] - '0');
            if (length > s_.size()) return false;
            ++pos_;
        }
        if (pos_ == digits || pos_ >= s_.size() || s_[pos_] != ':') return false;
        ++pos_;
        if (length > s_.size() - pos_) return false;
        out = s_.substr(pos_, length);
        pos_ += length;
        return true;
    }

    bool List(int depth) {
        ++pos_;
        while (pos_ < s_.size() && s_[pos_] != 'e') {
            if (!Value(depth + 1)) return false;
        }
        if (pos_ >= s_.size()) return false;
        ++pos_;
        return true;
    }

    bool Dict(int depth, bool top) {
        ++pos_;
        while (pos_ < s_.size() && s_[pos_] != 'e') {
            std::string key;
            if (!String(key)) return false;
            const bool isInfo = top && key == "info";
            if (isInfo && (pos_ >= s_.size() || s_[pos_] != 'd')) return false;
            if (!Value(depth + 1)) return false;
            if (isInfo) hasInfo_ = true;
        }
        if (pos_ >= s_.size()) return false;
        ++pos_;
        return true;
    }

    const std::string& s_;
    std::size_t pos_ = 0;
    bool hasInfo_ = false;
};

// How often a download looks at its abort flag: an easy transfer would look about once a
// second while a host says nothing, and a preparation given up must free its slot sooner.
constexpr int kAbortLookMs = 50;

struct Download {
    std::FILE* file = nullptr;
    std::size_t bytes = 0;
};

std::size_t OnData(char* data, std::size_t size, std::size_t count, void* user) {
    Download* d = static_cast<Download*>(user);
    const std::size_t n = size * count;
    d->bytes += n;
    if (d->bytes > kMaxTorrentBytes) return 0;
    return std::fwrite(data, 1, n, d->file);
}

// Runs the transfer to its end, or until `abort` is set.
CURLcode Perform(CURL* curl, const std::atomic<bool>& abort) {
    CURLM* multi = curl_multi_init();
    if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(multi, curl);
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int running = 1;
    while (!abort) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int queued = 0;
            const CURLMsg* message = curl_multi_info_read(multi, &queued);
            result = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result
                                                                        : CURLE_FAILED_INIT;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kAbortLookMs, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi, curl);
    curl_multi_cleanup(multi);
    return result;
}

bool DownloadTo(const std::string& url, const std::string& path, int limitMs,
                const std::atomic<bool>& abort) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return false;
    Download d;
    d.file = std::fopen(path.c_str(), "wb");
    if (d.file == nullptr) {
        curl_easy_cleanup(curl);
        return false;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limitMs));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limitMs));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &d);
    const CURLcode result = Perform(curl, abort);
    curl_easy_cleanup(curl);
    const bool closed = std::fclose(d.file) == 0;
    return result == CURLE_OK && closed;
}

}  // namespace

bool IsTorrentData(const std::string& bytes) { return Bencode(bytes).IsTorrent(); }

bool IsTorrentFile(const std::string& path) {
    // Whatever stands under the name by now: a FIFO must not stop the stream, nor a device
    // feed it without end.
    std::string bytes, error;
    return platform::ReadRegularFile(path, kMaxTorrentBytes, bytes, error) && IsTorrentData(bytes);
}

bool FetchTorrentFile(const std::vector<std::string>& urls, const std::string& target, int limitMs,
                      const std::atomic<bool>& abort) {
    const std::string part = target + ".part";
    for (const std::string& url : urls) {
        if (abort) break;
        const bool ok = DownloadTo(url, part, limitMs, abort) && IsTorrentFile(part);
        if (ok && std::rename(part.c_str(), target.c_str()) == 0) return true;
        ForceDeleteFile(part);
    }
    return false;
}
