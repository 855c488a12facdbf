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

size_t WriteToDescriptor(char* data, size_t size, size_t count, void* user) {
    const int fd = *static_cast<int*>(user);
    size_t left = size * count;
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written <= 0) return 0;
        data += written;
        left -= static_cast<size_t>(written);
    }
    return size * count;
}

}  // namespace

bool DownloadUrlToFile(const std::string& url, const std::string& path) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return false;
    // The temporary folder may be shared: never follow a link planted under our file's name.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
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
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &fd);

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
