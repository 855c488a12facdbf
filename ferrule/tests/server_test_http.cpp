#include "server_test_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace stream_testing {

namespace {

using Clock = std::chrono::steady_clock;

int ConnectImpl(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads what is there within `until`; -1 on close or error, 0 on time-out.
ssize_t ReadSome(int fd, std::string& into, Clock::time_point until) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return 0;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return 0;
    char buf[65536];
    const ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
    if (n <= 0) return -1;
    into.append(buf, static_cast<std::size_t>(n));
    return n;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits "status line + headers" off `text`; false while they are incomplete.
bool ParseHead(std::string& text, int& status, std::map<std::string, std::string>& headers) {
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    std::istringstream in(text.substr(0, end));
    std::string line;
    std::getline(in, line);
    std::istringstream first(line);
    std::string version;
    first >> version >> status;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        headers[Lower(line.substr(0, colon))] = value;
    }
    text.erase(0, end + 4);
    return true;
}

}  // namespace

int ConnectLoopback(int port) { return ConnectImpl(port); }

HttpResponse RawRequest(int port, const std::string& raw, std::chrono::milliseconds limit,
                        bool closeWrite) {
    HttpResponse r;
    const int fd = ConnectImpl(port);
    if (fd < 0) return r;
    SendAll(fd, raw);
    if (closeWrite) ::shutdown(fd, SHUT_WR);
    const auto until = Clock::now() + limit;
    std::string text;
    while (true) {
        const ssize_t n = ReadSome(fd, text, until);
        if (n < 0) {
            r.closed = true;
            break;
        }
        if (n == 0) break;
    }
    ::close(fd);
    r.ok = ParseHead(text, r.status, r.headers);
    r.body = text;
    return r;
}

HttpResponse Get(int port, const std::string& target, const std::string& extraHeaders,
                 std::chrono::milliseconds limit) {
    std::string raw =
        "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    if (!extraHeaders.empty()) raw += extraHeaders + "\r\n";
    raw += "\r\n";
    return RawRequest(port, raw, limit);
}

StreamReader::StreamReader(int port, const std::string& target, const std::string& extraHeaders) {
    fd_ = ConnectImpl(port);
    std::string raw =
        "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    if (!extraHeaders.empty()) raw += extraHeaders + "\r\n";
    raw += "\r\n";
    if (fd_ >= 0) SendAll(fd_, raw);
}

StreamReader::~StreamReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool StreamReader::ReadHeaders(std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    while (fd_ >= 0) {
        if (ParseHead(pending_, status_, headers_)) return true;
        if (ReadSome(fd_, pending_, until) <= 0) return false;
    }
    return false;
}

std::string StreamReader::ReadBody(std::size_t count, std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    while (fd_ >= 0 && pending_.size() < count) {
        if (ReadSome(fd_, pending_, until) <= 0) break;
    }
    const std::size_t n = std::min(count, pending_.size());
    std::string out = pending_.substr(0, n);
    pending_.erase(0, n);
    return out;
}

bool StreamReader::WaitClosed(std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    while (fd_ >= 0 && Clock::now() < until) {
        std::string ignored;
        if (ReadSome(fd_, ignored, until) < 0) return true;
    }
    return false;
}

std::string StreamReader::header(const std::string& lowerName) const {
    const auto it = headers_.find(lowerName);
    return it == headers_.end() ? std::string() : it->second;
}

TestFileServer::TestFileServer(const std::string& folder) : folder_(folder) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    ::listen(listen_fd_, 16);
    socklen_t len = sizeof(addr);
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

TestFileServer::~TestFileServer() {
    stop_ = true;
    ::shutdown(listen_fd_, SHUT_RDWR);
    thread_.join();
    ::close(listen_fd_);
}

std::string TestFileServer::Url(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

void TestFileServer::Redirect(const std::string& from, const std::string& to) {
    std::lock_guard<std::mutex> guard(lock_);
    redirects_["/" + from] = "/" + to;
}

void TestFileServer::SetPace(std::size_t bytes, std::chrono::milliseconds pause) {
    std::lock_guard<std::mutex> guard(lock_);
    paceBytes_ = bytes;
    pause_ = pause;
}

void TestFileServer::Serve() {
    while (!stop_) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept(listen_fd_, nullptr, nullptr);
        if (fd < 0) continue;
        ++requests_;
        std::string text;
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (text.find("\r\n\r\n") == std::string::npos && ReadSome(fd, text, until) > 0) {
        }
        const std::string reply = Answer(text);
        const std::size_t headEnd = reply.find("\r\n\r\n") + 4;
        SendBody(fd, reply.substr(0, headEnd), reply.substr(headEnd));
        ::close(fd);
    }
}

std::string TestFileServer::Answer(const std::string& request) {
    std::istringstream in(request);
    std::string method, target;
    in >> method >> target;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto moved = redirects_.find(target);
        if (moved != redirects_.end()) {
            return "HTTP/1.0 302 Found\r\nLocation: " + moved->second +
                   "\r\nContent-Length: 0\r\n\r\n";
        }
    }
    std::ifstream file(folder_ + target, std::ios::binary);
    if (target.find("..") != std::string::npos || !file) {
        return "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
    }
    std::ostringstream body;
    body << file.rdbuf();
    const std::string all = body.str();
    const std::size_t range = Lower(request).find("\r\nrange: bytes=");
    if (range == std::string::npos) {
        return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(all.size()) + "\r\n\r\n" +
               all;
    }
    const std::size_t from =
        std::min<std::size_t>(std::strtoull(request.c_str() + range + 15, nullptr, 10), all.size());
    return "HTTP/1.0 206 Partial Content\r\nContent-Length: " + std::to_string(all.size() - from) +
           "\r\nContent-Range: bytes " + std::to_string(from) + "-" +
           std::to_string(all.size() - 1) + "/" + std::to_string(all.size()) + "\r\n\r\n" +
           all.substr(from);
}

void TestFileServer::SendBody(int fd, const std::string& head, const std::string& body) {
    std::size_t pace = 0;
    std::chrono::milliseconds pause{0};
    {
        std::lock_guard<std::mutex> guard(lock_);
        pace = paceBytes_;
        pause = pause_;
    }
    if (!SendAll(fd, head)) return;
    for (std::size_t at = 0; at < body.size() && !stop_;) {
        const std::size_t n = pace == 0 ? body.size() - at : std::min(pace, body.size() - at);
        if (!SendAll(fd, body.substr(at, n))) return;
        at += n;
        if (pace != 0) std::this_thread::sleep_for(pause);
    }
}

std::string Base64Encode(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace stream_testing
