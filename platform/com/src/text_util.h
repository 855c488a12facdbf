// Small text helpers shared by the layer's sources.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace com::detail {

inline std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

inline bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

}  // namespace com::detail
