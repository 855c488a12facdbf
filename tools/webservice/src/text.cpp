#include "text.h"

#include <cctype>
#include <cstdio>

namespace webservice {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::string NumericReference(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "&#%u;", static_cast<unsigned>(c));
    return buffer;
}

}  // namespace

std::optional<std::string> PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

QueryItems ParseQuery(const std::string& query) {
    QueryItems items;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string item = query.substr(start, end - start);
        if (!item.empty()) {
            const auto equals = item.find('=');
            const auto name = PercentDecode(item.substr(0, equals));
            const auto value =
                PercentDecode(equals == std::string::npos ? "" : item.substr(equals + 1));
            if (name && value) items.emplace_back(*name, *value);
        }
        start = end + 1;
    }
    return items;
}

std::optional<std::string> QueryValue(const QueryItems& items, const std::string& name) {
    for (const auto& [key, value] : items)
        if (key == name) return value;
    return std::nullopt;
}

std::optional<std::string> Base64Decode(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    size_t padding = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=') {
            // Padding only at the end, at most two characters.
            if (i + 2 < text.size() || ++padding > 2) return std::nullopt;
            continue;
        }
        const int value = Base64Value(text[i]);
        if (value < 0 || padding > 0) return std::nullopt;
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

std::string JsonEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<') {
            // Control characters must be escaped; '<' is, so that "</script>" cannot end a
            // script block that holds the value.
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '\\' || c < 0x20)
            out += NumericReference(c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string Extension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace webservice
