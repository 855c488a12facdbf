#include "web_requests.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "pipe_client.h"

namespace {

std::string Win(std::int32_t win) { return "win:" + std::to_string(win); }

}  // namespace

std::string SetUrlRequest(std::int32_t win, const std::string& url) {
    return "seturl::" + Win(win) + ",url:" + url;
}

std::string PlayRequest(std::int32_t win, const std::string& url) {
    return "play::" + Win(win) + ",url:" + url;
}

std::string GetStateRequest(std::int32_t win) { return "getstate::" + Win(win); }

std::string GetUrlRequest(std::int32_t win) { return "geturl::" + Win(win); }

std::string SetStateRequest(std::int32_t win, std::int32_t state) {
    return "setstate::" + Win(win) + ",state:" + std::to_string(state);
}

bool FitsPipe(const std::string& request) { return request.size() <= kPipeMaxText; }

std::optional<std::string> PipeExchange(const std::string& request) {
    char* raw = nullptr;
    if (!PipeCall(kBtServerPipeName, request.c_str(), &raw, 0)) return std::nullopt;
    const PipeReply reply(raw);
    return std::string(reply.get());
}

std::int32_t ReadLeadingInt(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    // One beyond the largest magnitude is -INT32_MIN; anything above it is cut there.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        value = std::min(kLimit, value * 10 + (text[at] - '0'));
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, kLimit - 1));
}
