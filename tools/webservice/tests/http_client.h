// A plain HTTP/1.1 client over one loopback connection, for the service's tests: it sends
// exactly the bytes it is given, so that tests can also send what no library would.
#pragma once

#include <chrono>
#include <map>
#include <string>

namespace webservice_test {

struct HttpReply {
    int status = 0;                              // 0 when no complete answer came
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string Header(const std::string& name) const;
};

class HttpConnection {
public:
    explicit HttpConnection(int port);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Send(const std::string& bytes);
    // Reads one answer (its body by Content-Length; none for `headOnly`), waiting at most `limit`.
    HttpReply Read(bool headOnly = false,
                   std::chrono::milliseconds limit = std::chrono::seconds(20));
    // True when the server ends the connection within `limit`.
    bool WaitForClose(std::chrono::milliseconds limit);

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string buffer_;
    bool closed_ = false;
};

// One request on a fresh connection: "<method> <target> HTTP/1.1" with Host and the given
// further header lines ("Name: value"), then its answer.
HttpReply Request(int port, const std::string& method, const std::string& target,
                  const std::string& headerLines = "");
HttpReply Get(int port, const std::string& target, const std::string& headerLines = "");

}  // namespace webservice_test
