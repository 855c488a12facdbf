// What the service answers to one request, before it is written out.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace webservice {

struct Request {
    std::string method;
    std::string target;  // as sent: path and query
    std::string range;   // the Range header, empty when absent
};

struct Answer {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;  // further header fields
    // The body is either `text` or the bytes [offset, offset + length) of `filePath`.
    std::string text;
    std::string filePath;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;

    bool HasFileBody() const { return !filePath.empty(); }
    std::uint64_t BodySize() const { return HasFileBody() ? length : text.size(); }
};

// A short plain-text answer with `status` and a one-line reason.
Answer TextAnswer(int status, const std::string& reason);

}  // namespace webservice
