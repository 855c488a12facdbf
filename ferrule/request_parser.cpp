#include "request_parser.h"

#include "request.h"

namespace http::server {

namespace {
// Far above any real HTTP version; stops a flood of digits from overflowing the number.
constexpr int kMaxVersionNumber = 9999;
}  // namespace

request_parser::result_type request_parser::consume(request& req, char input) {
    const int c = static_cast<unsigned char>(input);
    switch (state_) {
        case method_start:
            if (!is_char(c) || is_ctl(c) || is_tspecial(c)) return bad;
            state_ = method;
            req.method.push_back(input);
            return indeterminate;
        case method:
            if (input == ' ') {
                state_ = uri;
                return indeterminate;
            }
            if (!is_char(c) || is_ctl(c) || is_tspecial(c)) return bad;
            req.method.push_back(input);
            return indeterminate;
        case uri:
            if (input == ' ') {
                state_ = http_version_h;
                return indeterminate;
            }
            if (is_ctl(c)) return bad;
            req.uri.push_back(input);
            return indeterminate;
        case http_version_h:
            if (input != 'H') return bad;
            state_ = http_version_t_1;
            return indeterminate;
        case http_version_t_1:
            if (input != 'T') return bad;
            state_ = http_version_t_2;
            return indeterminate;
        case http_version_t_2:
            if (input != 'T') return bad;
            state_ = http_version_p;
            return indeterminate;
        case http_version_p:
            if (input != 'P') return bad;
            state_ = http_version_slash;
            return indeterminate;
        case http_version_slash:
            if (input != '/') return bad;
            req.http_version_major = 0;
            req.http_version_minor = 0;
            state_ = http_version_major_start;
            return indeterminate;
        case http_version_major_start:
            if (!is_digit(c) || !add_digit(req.http_version_major, input)) return bad;
            state_ = http_version_major;
            return indeterminate;
        case http_version_major:
            if (input == '.') {
                state_ = http_version_minor_start;
                return indeterminate;
            }
            if (!is_digit(c) || !add_digit(req.http_version_major, input)) return bad;
            return indeterminate;
        case http_version_minor_start:
            if (!is_digit(c) || !add_digit(req.http_version_minor, input)) return bad;
            state_ = http_version_minor;
            return indeterminate;
        case http_version_minor:
            if (input == '\r') {
                state_ = expecting_newline_1;
                return indeterminate;
            }
            if (!is_digit(c) || !add_digit(req.http_version_minor, input)) return bad;
            return indeterminate;
        case expecting_newline_1:
            if (input != '\n') return bad;
            state_ = header_line_start;
            return indeterminate;
        case header_line_start:
            if (input == '\r') {
                state_ = expecting_newline_3;
                return indeterminate;
            }
            if (!req.headers.empty() && (input == ' ' || input == '\t')) {
                state_ = header_lws;
                return indeterminate;
            }
            if (!is_char(c) || is_ctl(c) || is_tspecial(c)) return bad;
            req.headers.push_back(header());
            req.headers.back().name.push_back(input);
            state_ = header_name;
            return indeterminate;
        case header_lws:
            if (input == '\r') {
                state_ = expecting_newline_2;
                return indeterminate;
            }
            if (input == ' ' || input == '\t') return indeterminate;
            if (is_ctl(c)) return bad;
            state_ = header_value;
            req.headers.back().value.push_back(input);
            return indeterminate;
        case header_name:
            if (input == ':') {
                state_ = space_before_header_value;
                return indeterminate;
            }
            if (!is_char(c) || is_ctl(c) || is_tspecial(c)) return bad;
            req.headers.back().name.push_back(input);
            return indeterminate;
        case space_before_header_value:
            if (input != ' ') return bad;
            state_ = header_value;
            return indeterminate;
        case header_value:
            if (input == '\r') {
                state_ = expecting_newline_2;
                return indeterminate;
            }
            if (is_ctl(c)) return bad;
            req.headers.back().value.push_back(input);
            return indeterminate;
        case expecting_newline_2:
            if (input != '\n') return bad;
            state_ = header_line_start;
            return indeterminate;
        case expecting_newline_3:
            return input == '\n' ? good : bad;
        default:
            return bad;
    }
}

bool request_parser::is_char(int c) { return c >= 0 && c <= 127; }

bool request_parser::is_ctl(int c) { return (c >= 0 && c <= 31) || c == 127; }

bool request_parser::is_tspecial(int c) {
    switch (c) {
        case '(':
        case ')':
        case '<':
        case '>':
        case '@':
        case ',':
        case ';':
        case ':':
        case '\\':
        case '"':
        case '/':
        case '[':
        case ']':
        case '?':
        case '=':
        case '{':
        case '}':
        case ' ':
        case '\t':
            return true;
        default:
            return false;
    }
}

bool request_parser::is_digit(int c) { return c >= '0' && c <= '9'; }

bool request_parser::add_digit(int& number, char digit) {
    const int next = number * 10 + (digit - '0');
    if (next > kMaxVersionNumber) return false;
    number = next;
    return true;
}

}  // namespace http::server
