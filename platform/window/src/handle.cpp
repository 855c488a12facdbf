#include "window/handle.h"

#include <cstdint>

namespace platform::window {

std::string FormatHandle(WindowHandle handle) {
    return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(handle)));
}

std::optional<WindowHandle> ParseHandle(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) return std::nullopt;
    }
    if (negative || value == 0) return std::nullopt;
    return static_cast<WindowHandle>(value);
}

}  // namespace platform::window
