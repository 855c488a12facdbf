// Incremental parser of a request's start line and headers.
#pragma once

#include <cstddef>
#include <tuple>

namespace http::server {

struct request;

class request_parser {
public:
    enum result_type { good, bad, indeterminate };

    request_parser() = default;

    // Feeds [begin, end) until the request is complete or malformed. Answers the result and
    // the position after the last character consumed; the state is kept between calls.
    template <typename InputIterator>
    std::tuple<result_type, InputIterator> parse(request& req, InputIterator begin,
                                                 InputIterator end) {
        while (begin != end) {
            result_type result = consume(req, *begin++);
            if (result == good || result == bad) return std::make_tuple(result, begin);
        }
        return std::make_tuple(indeterminate, begin);
    }

    result_type consume(request& req, char input);

private:
    static bool is_char(int c);
    static bool is_ctl(int c);
    static bool is_tspecial(int c);
    static bool is_digit(int c);
    // Adds a digit to a version number; false when the number would grow past any real one.
    static bool add_digit(int& number, char digit);

    enum state {
        method_start,
        method,
        uri,
        http_version_h,
        http_version_t_1,
        http_version_t_2,
        http_version_p,
        http_version_slash,
        http_version_major_start,
        http_version_major,
        http_version_minor_start,
        http_version_minor,
        expecting_newline_1,
        header_line_start,
        header_lws,
        header_name,
        space_before_header_value,
        header_value,
        expecting_newline_2,
        expecting_newline_3
    } state_ = method_start;
};

}  // namespace http::server
