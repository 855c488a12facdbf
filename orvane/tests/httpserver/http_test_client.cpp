#include "http_test_client.h"

#include <arpa/inet.h>
#include <http_parser.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <thread>

namespace {

struct ParseState {
    std::vector<HttpTestReply> replies;
    HttpTestReply current;
    std::string field;
    std::string value;
    bool inValue = false;
    std::vector<bool> headFlags;  // per expected reply: answer to a HEAD request
};

ParseState* State(http_parser* p) { return static_cast<ParseState*>(p->data); }

void StoreHeader(ParseState* s) {
    if (s->field.empty()) return;
    std::string name = s->field;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    s->current.headers[name] = s->value;
    s->field.clear();
    s->value.clear();
    s->inValue = false;
}

http_parser_settings Settings() {
    http_parser_settings settings;
    http_parser_settings_init(&settings);
    settings.on_message_begin = [](http_parser* p) {
        State(p)->current = HttpTestReply{};
        return 0;
    };
    settings.on_header_field = [](http_parser* p, const char* at, size_t n) {
        ParseState* s = State(p);
        if (s->inValue) StoreHeader(s);
        s->field.append(at, n);
        return 0;
    };
    settings.on_header_value = [](http_parser* p, const char* at, size_t n) {
        ParseState* s = State(p);
        s->inValue = true;
        s->value.append(at, n);
        return 0;
    };
    settings.on_headers_complete = [](http_parser* p) {
        ParseState* s = State(p);
        StoreHeader(s);
        s->current.status = static_cast<int>(p->status_code);
        const size_t index = s->replies.size();
        // 1 tells the parser that no body follows (the answer to a HEAD).
        return index < s->headFlags.size() && s->headFlags[index] ? 1 : 0;
    };
    settings.on_body = [](http_parser* p, const char* at, size_t n) {
        State(p)->current.body.append(at, n);
        return 0;
    };
    settings.on_message_complete = [](http_parser* p) {
        ParseState* s = State(p);
        s->replies.push_back(s->current);
        return 0;
    };
    return settings;
}

bool SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void RunClient(int port, const std::vector<HttpTestRequest>& requests, bool pipelined,
               int timeoutMs, bool untilClosed, HttpTestExchange& out) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return;
    }
    ParseState state;
    for (const auto& request : requests) state.headFlags.push_back(request.head);
    http_parser parser;
    http_parser_init(&parser, HTTP_RESPONSE);
    parser.data = &state;
    const http_parser_settings settings = Settings();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t next = 0;
    char buffer[65536];
    for (;;) {
        if (pipelined && next == 0) {
            std::string all;
            for (const auto& request : requests) all += request.raw;
            if (!SendAll(fd, all)) break;
            next = requests.size();
        } else if (!pipelined && next < requests.size() && state.replies.size() == next) {
            if (!SendAll(fd, requests[next].raw)) break;
            ++next;
        }
        const bool allAnswered = state.replies.size() >= requests.size();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        // Once everything is answered, wait only a moment to see whether the server closes,
        // unless the close is what the caller waits for.
        const bool glance = allAnswered && !untilClosed;
        const int wait = static_cast<int>(std::min<long long>(left, glance ? 300 : 100));
        const int ready = poll(&p, 1, wait);
        if (ready == 0) {
            if (glance) break;
            continue;
        }
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            http_parser_execute(&parser, &settings, nullptr, 0);  // end of a body told by close
            out.closedByServer = true;
            break;
        }
        const size_t parsed =
            http_parser_execute(&parser, &settings, buffer, static_cast<size_t>(n));
        if (HTTP_PARSER_ERRNO(&parser) != HPE_OK || parsed != static_cast<size_t>(n)) {
            out.parseError = true;
            break;
        }
    }
    close(fd);
    out.replies = state.replies;
}

}  // namespace

HttpTestExchange HttpExchange(int port, const std::vector<HttpTestRequest>& requests,
                              bool pipelined, int timeoutMs, bool untilClosed) {
    HttpTestExchange exchange;
    std::atomic<bool> finished{false};
    std::thread client([&] {
        RunClient(port, requests, pipelined, timeoutMs, untilClosed, exchange);
        finished = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!finished && timer.elapsed() < timeoutMs + 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    client.join();
    // Let the server side see the closed connection before the next exchange.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return exchange;
}

HttpTestRequest Get(const std::string& path, bool close) {
    return {"GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                (close ? "Connection: close\r\n" : "") + "\r\n",
            false};
}

HttpTestRequest Head(const std::string& path) {
    return {"HEAD " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", true};
}
