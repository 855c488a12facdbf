#include "http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace webservice_test {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void ParseHead(const std::string& head, HttpReply& reply) {
    size_t start = head.find("\r\n");
    const std::string statusLine = head.substr(0, start);
    const auto blank = statusLine.find(' ');
    if (blank != std::string::npos) reply.status = std::atoi(statusLine.c_str() + blank + 1);
    while (start != std::string::npos && start + 2 < head.size()) {
        const size_t end = head.find("\r\n", start + 2);
        const std::string line = head.substr(start + 2, end - start - 2);
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            const auto value = line.find_first_not_of(' ', colon + 1);
            reply.headers[Lower(line.substr(0, colon))] =
                value == std::string::npos ? "" : line.substr(value);
        }
        start = end;
    }
}

}  // namespace

std::string HttpReply::Header(const std::string& name) const {
    const auto found = headers.find(Lower(name));
    return found == headers.end() ? "" : found->second;
}

HttpConnection::HttpConnection(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

HttpConnection::~HttpConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool HttpConnection::Send(const std::string& bytes) {
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return fd_ >= 0;
}

bool HttpConnection::Fill(std::chrono::steady_clock::time_point deadline) {
    if (fd_ < 0 || closed_) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd item{fd_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&item, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[65536];
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
        closed_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<size_t>(got));
    return true;
}

HttpReply HttpConnection::Read(bool headOnly, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    HttpReply reply;
    size_t headEnd;
    while ((headEnd = buffer_.find("\r\n\r\n")) == std::string::npos)
        if (!Fill(deadline)) return reply;
    ParseHead(buffer_.substr(0, headEnd), reply);
    buffer_.erase(0, headEnd + 4);
    const size_t length =
        headOnly ? 0 : static_cast<size_t>(std::atoll(reply.Header("content-length").c_str()));
    while (buffer_.size() < length)
        if (!Fill(deadline)) {
            reply.status = 0;
            return reply;
        }
    reply.body = buffer_.substr(0, length);
    buffer_.erase(0, length);
    return reply;
}

bool HttpConnection::WaitForClose(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!closed_ && std::chrono::steady_clock::now() < deadline) Fill(deadline);
    return closed_;
}

HttpReply Request(int port, const std::string& method, const std::string& target,
                  const std::string& headerLines) {
    HttpConnection connection(port);
    connection.Send(method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headerLines +
                    "Connection: close\r\n\r\n");
    return connection.Read(method == "HEAD");
}

HttpReply Get(int port, const std::string& target, const std::string& headerLines) {
    return Request(port, "GET", target, headerLines);
}

}  // namespace webservice_test
