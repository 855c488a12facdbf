#include "string_utils.h"

#include <cctype>

namespace {
const char kWhiteSpace[] = " \t\n\r";
}

std::string TrimLeft(const std::string& text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string TrimRight(const std::string& text) {
    const auto last = text.find_last_not_of(kWhiteSpace);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string TrimString(const std::string& text) { return TrimLeft(TrimRight(text)); }

std::string ToLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters) {
    std::vector<std::string> pieces;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        const auto start = text.find_first_not_of(delimiters, pos);
        if (start == std::string::npos) break;
        auto end = text.find_first_of(delimiters, start);
        if (end == std::string::npos) end = text.size();
        pieces.push_back(text.substr(start, end - start));
        pos = end;
    }
    return pieces;
}

void SplitText(const std::string& text, char separator, std::list<std::string>& into,
               bool skipEmpty) {
    std::string rest = text;
    if (rest.empty() || rest.back() != separator) rest.push_back(separator);
    std::string::size_type start = 0;
    for (auto pos = rest.find(separator); pos != std::string::npos;
         pos = rest.find(separator, start)) {
        std::string piece = rest.substr(start, pos - start);
        if (!piece.empty() || !skipEmpty) into.push_back(std::move(piece));
        start = pos + 1;
    }
}

std::string IntToString(int n) { return std::to_string(n); }
