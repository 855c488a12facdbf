// A plain-socket HTTP client for the server tests. It runs on a thread of its own while the
// calling thread keeps Qt's event loop going, since the server answers on that loop.
#pragma once

#include <map>
#include <string>
#include <vector>

struct HttpTestReply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names lower-cased
    std::string body;

    std::string header(const std::string& name) const {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct HttpTestRequest {
    std::string raw;    // the bytes sent
    bool head = false;  // a HEAD request: its reply has no body
};

struct HttpTestExchange {
    std::vector<HttpTestReply> replies;  // complete replies, in order
    bool closedByServer = false;         // the server closed after the last reply
    bool parseError = false;
};

// Sends the requests one after the other on one connection, each after the previous reply;
// with `pipelined` all are sent at once. Gives up after `timeoutMs`. Once every request is
// answered it looks briefly whether the server closes, or with `untilClosed` waits for that
// close (within `timeoutMs`).
HttpTestExchange HttpExchange(int port, const std::vector<HttpTestRequest>& requests,
                              bool pipelined = false, int timeoutMs = 10000,
                              bool untilClosed = false);

// "GET <path> HTTP/1.1" with a Host header (and "Connection: close" when asked).
HttpTestRequest Get(const std::string& path, bool close = false);
HttpTestRequest Head(const std::string& path);
