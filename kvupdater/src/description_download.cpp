#include "description_download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace kvupdater {
namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct Sink {
    int fd;
    size_t maxBytes;
    size_t written = 0;
};

size_t WriteToDescriptor(char* data, size_t size, size_t count, void* user) {
    auto& sink = *static_cast<Sink*>(user);
    size_t left = size * count;
    // An answer beyond the bound must not fill the temporary folder or be read by the run.
    if (left > sink.maxBytes - sink.written) return 0;
    sink.written += left;
    while (left > 0) {
        const ssize_t written = ::write(sink.fd, data, left);
        if (written <= 0) return 0;
        data += written;
        left -= static_cast<size_t>(written);
    }
    return size * count;
}

}  // namespace

bool DownloadUrlToFile(const std::string& url, const std::string& path, long long maxBytes) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return false;
    // The temporary folder may be shared and the name is predictable: whatever already has it
    // (a link, or a file someone else made and could change before the run reads it) is
    // replaced by a new file of our own, never written through.
    ::unlink(path.c_str());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 30L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 120L);
    // Always ask the server: a description must never come from a cache.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteToDescriptor);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
    Sink sink{fd, static_cast<size_t>(maxBytes)};
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);

    const CURLcode result = curl_easy_perform(c);
    curl_slist_free_all(headers);
    const bool closed = ::close(fd) == 0;
    if (result != CURLE_OK || !closed) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace kvupdater
