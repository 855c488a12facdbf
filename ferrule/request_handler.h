// Classifies a parsed request and answers the plain-file ones.
#pragma once

#include <cstdint>
#include <string>

namespace http::server {

struct reply;
struct request;

// What a request asks for.
enum request_kind { kind_file = 0, kind_stream = 1, kind_parse = 2 };

// A byte range as the request states it; the file size is needed to resolve it.
struct byte_range {
    bool found = false;        // a Range header or the "?start=" query
    bool from_header = false;  // Range header: `last` is inclusive; query: `last` is an end
    bool suffix = false;       // "bytes=-n": the last `first` bytes of the file
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool has_last = false;  // a Range header with a last byte, or a query with a non-zero end

    // The bytes [begin, end) of a file of `size` bytes, with the end clamped to the file.
    // False when the range is empty or lies past the end (answered 416).
    bool resolve(std::uint64_t size, std::uint64_t& begin, std::uint64_t& end) const;
};

// The handler's findings besides the reply.
struct request_target {
    request_kind kind = kind_file;
    byte_range range;
    std::string path;       // decoded, without the query the handler understood
    std::string extension;  // after the last '.' of the last path component; may be empty
    std::string file;       // a plain file to send after the reply's headers
    std::uint64_t file_size = 0;
};

class request_handler {
public:
    // `doc_root`: the folder whose files are served, without a trailing separator.
    explicit request_handler(const std::string& doc_root);
    request_handler(const request_handler&) = delete;
    request_handler& operator=(const request_handler&) = delete;

    // Fills `target`; fills `rep` for plain files and for errors (then `target.kind` stays
    // kind_file and the reply carries the error status). A plain file's reply holds its
    // headers only: the caller sends `target.file` after them, a piece at a time.
    void handle_request(const request& req, reply& rep, request_target& target);

    // Percent escapes and '+' decoded. False on an escape without two hexadecimal digits.
    static bool url_decode(const std::string& in, std::string& out);

    // Reads a Range header value ("bytes=a-b", "bytes=a-", "bytes=-n"; the first range of a
    // list). False when the value holds no number, so the header is ignored.
    static bool parse_range_header(const std::string& value, byte_range& range);

private:
    void serve_file(const request& req, reply& rep, request_target& target);

    std::string doc_root_;
};

}  // namespace http::server
