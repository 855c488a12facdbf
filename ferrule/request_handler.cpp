#include "request_handler.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <limits>

#include "log.h"
#include "mime_types.h"
#include "reply.h"
#include "request.h"

namespace http::server {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Leading decimal digits of `text` from `pos`, saturating at the largest 64-bit value.
// `pos` moves past the digits; `any` tells whether there was one.
std::uint64_t read_number(const std::string& text, std::size_t& pos, bool& any) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t n = 0;
    any = false;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        const unsigned digit = static_cast<unsigned>(text[pos] - '0');
        n = (n > (max - digit) / 10) ? max : n * 10 + digit;
        any = true;
        ++pos;
    }
    return n;
}

std::uint64_t number_at(const std::string& text, std::size_t pos) {
    bool any = false;
    return read_number(text, pos, any);
}

// The host part of a Host header value: "[v6]" with its brackets, or the name before the
// port; empty when the value is malformed.
std::string host_of(const std::string& value) {
    std::string host = lower(value);
    std::size_t end = host.size();
    if (!host.empty() && host[0] == '[') {
        end = host.find(']');
        if (end == std::string::npos) return std::string();
        ++end;
    } else {
        end = host.find(':');
        if (end == std::string::npos) end = host.size();
    }
    const std::string port = host.substr(end);
    if (!port.empty() &&
        (port[0] != ':' || port.find_first_not_of("0123456789", 1) != std::string::npos)) {
        return std::string();
    }
    return host.substr(0, end);
}

// Only the player on this machine may ask: a page elsewhere that makes a browser send a
// request here names its own host.
bool is_loopback_host(const request& req) {
    for (const header& h : req.headers) {
        if (lower(h.name) != "host") continue;
        const std::string host = host_of(h.value);
        return host == "127.0.0.1" || host == "localhost" || host == "[::1]";
    }
    return false;
}

// Settings, the log and the stream cache live beside the served files but are private.
bool is_private_path(const std::string& path) {
    std::size_t begin = 1;
    const std::size_t slash = path.find('/', begin);
    const std::string first =
        lower(path.substr(begin, slash == std::string::npos ? std::string::npos : slash - begin));
    if (slash != std::string::npos && (first == "ini" || first == "mediadata")) return true;
    const std::string name = lower(path.substr(path.rfind('/') + 1));
    return name == "d2izedavi.log";
}

}  // namespace

bool byte_range::resolve(std::uint64_t size, std::uint64_t& begin, std::uint64_t& end) const {
    if (from_header && suffix) {
        if (first == 0 || size == 0) return false;
        begin = first >= size ? 0 : size - first;
        end = size;
        return true;
    }
    begin = first;
    if (from_header) {
        if (has_last && last < first) return false;
        end = (has_last && last < size) ? last + 1 : size;
    } else {
        end = (has_last && last < size) ? last : size;
    }
    return begin < end;
}

request_handler::request_handler(const std::string& doc_root) : doc_root_(doc_root) {}

bool request_handler::parse_range_header(const std::string& value, byte_range& range) {
    std::string text = lower(value);
    const std::size_t eq = text.find('=');
    if (eq != std::string::npos) text.erase(0, eq + 1);
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos) text.erase(comma);

    std::size_t pos = text.find_first_not_of(" \t");
    if (pos == std::string::npos) return false;
    bool any = false;
    byte_range r;
    r.found = true;
    r.from_header = true;
    if (text[pos] == '-') {
        ++pos;
        r.suffix = true;
        r.first = read_number(text, pos, any);
        if (!any) return false;
    } else {
        r.first = read_number(text, pos, any);
        if (!any) return false;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos < text.size() && text[pos] == '-') {
            ++pos;
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
            r.last = read_number(text, pos, r.has_last);
        }
    }
    range = r;
    return true;
}

bool request_handler::url_decode(const std::string& in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%') {
            if (i + 3 > in.size()) return false;
            const int high = hex_value(in[i + 1]);
            const int low = hex_value(in[i + 2]);
            if (high < 0) return false;
            // A single hexadecimal digit followed by something else still counts as one.
            out += static_cast<char>(low < 0 ? high : high * 16 + low);
            i += 2;
        } else if (in[i] == '+') {
            out += ' ';
        } else {
            out += in[i];
        }
    }
    return true;
}

void request_handler::handle_request(const request& req, reply& rep, request_target& target) {
    WriteLog(FormatLogTimestamp()).WriteLog(req.uri).WriteLog(LogText::kLineEnd);

    for (const header& h : req.headers) {
        if (lower(h.name) != "range") continue;
        byte_range r;
        if (parse_range_header(h.value, r)) target.range = r;
    }

    std::string path;
    if (!url_decode(req.uri, path)) {
        rep = reply::stock_reply(reply::bad_request);
        return;
    }
    // A NUL would end the name that the file system sees: "/a%00.mp4" would open "/a".
    if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos ||
        path.find('\0') != std::string::npos) {
        rep = reply::stock_reply(reply::bad_request);
        return;
    }

    if (!target.range.found) {
        const std::size_t start_pos = path.find("?start=");
        if (start_pos != std::string::npos) {
            byte_range r;
            r.found = true;
            const std::size_t value_pos = start_pos + 7;
            r.first = number_at(path, value_pos);
            const std::size_t end_pos = path.find("&end=", value_pos);
            if (end_pos != std::string::npos) {
                r.last = number_at(path, end_pos + 5);
                r.has_last = r.last != 0;
            }
            target.range = r;
            path.erase(start_pos);
        }
    }
    const std::size_t parse_pos = path.find("?parse=true");
    const bool parse = parse_pos != std::string::npos;
    if (parse) path.erase(parse_pos);

    // Only a plain file may name a folder; a stream path ending in '/' is Base64.
    if (!target.range.found && !parse && !path.empty() && path.back() == '/') {
        path += "index.html";
    }

    const std::size_t last_slash = path.find_last_of('/');
    const std::size_t last_dot = path.find_last_of('.');
    target.extension.clear();
    if (last_dot != std::string::npos && last_dot > last_slash) {
        target.extension = path.substr(last_dot + 1);
    }
    target.path = path;

    if (target.range.found) {
        if (!is_loopback_host(req)) {
            rep = reply::stock_reply(reply::forbidden);
            return;
        }
        target.kind = kind_stream;
    } else if (parse) {
        // Nothing of the system sends such a request; it is answered plainly.
        target.kind = kind_parse;
        rep = reply::stock_reply(reply::not_found);
    } else {
        target.kind = kind_file;
        serve_file(req, rep, target);
    }
}

void request_handler::serve_file(const request& req, reply& rep, request_target& target) {
    if (!is_loopback_host(req) || is_private_path(target.path)) {
        rep = reply::stock_reply(reply::forbidden);
        return;
    }
    // Resolve links so that nothing outside the service's folder is handed out.
    const std::string full_path = doc_root_ + target.path;
    char resolved[PATH_MAX];
    char root[PATH_MAX];
    struct stat st;
    if (::realpath(full_path.c_str(), resolved) == nullptr ||
        ::realpath(doc_root_.c_str(), root) == nullptr || ::stat(resolved, &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        rep = reply::stock_reply(reply::not_found);
        return;
    }
    const std::string inside(resolved);
    std::string prefix(root);
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (inside.compare(0, prefix.size(), prefix) != 0 ||
        is_private_path("/" + inside.substr(prefix.size())) ||
        ::access(inside.c_str(), R_OK) != 0) {
        rep = reply::stock_reply(reply::not_found);
        return;
    }

    rep.status = reply::ok;
    rep.content.clear();
    rep.headers.resize(3);
    rep.headers[0].name = "Content-Length";
    rep.headers[0].value = std::to_string(st.st_size);
    rep.headers[1].name = "Content-Type";
    rep.headers[1].value = mime_types::extension_to_type(target.extension);
    rep.headers[2].name = "Accept-Ranges";
    rep.headers[2].value = "bytes";
    target.file = inside;
    target.file_size = static_cast<std::uint64_t>(st.st_size);
}

}  // namespace http::server
