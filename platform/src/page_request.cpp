#include "platform/page_request.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "host" and "port" of an http URL's authority ("[v6]" keeps its brackets); false when the
// URL is not http, carries user information, or its port is not a number.
bool HttpHostAndPort(const std::string& url, std::string& host, int& port) {
    const std::string scheme = "http://";
    const std::string text = Lower(url);
    if (text.compare(0, scheme.size(), scheme) != 0) return false;
    const std::size_t begin = scheme.size();
    const std::size_t end = std::min(text.find_first_of("/?#", begin), text.size());
    const std::string authority = text.substr(begin, end - begin);
    if (authority.empty() || authority.find('@') != std::string::npos) return false;
    std::size_t colon = authority.rfind(':');
    if (authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        colon = close + 1 < authority.size() ? close + 1 : std::string::npos;
        if (colon != std::string::npos && authority[colon] != ':') return false;
    }
    host = authority.substr(0, colon);
    if (colon == std::string::npos) {
        port = 80;
        return !host.empty();
    }
    const std::string digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    port = std::stoi(digits);
    return !host.empty();
}

bool IsBrowserAgent(const std::string& userAgent) {
    const std::string prefix = "mozilla/";
    const std::size_t begin = std::min(userAgent.find_first_not_of(" \t"), userAgent.size());
    return Lower(userAgent.substr(begin, prefix.size())) == prefix;
}

}  // namespace

bool IsWebPageRequest(const std::optional<std::string>& origin,
                      const std::optional<std::string>& referer,
                      const std::optional<std::string>& userAgent, const std::string& ownHost,
                      int ownPort) {
    if (origin) return true;
    // A browser that names no page has had it kept back; only the server's own pages may ask
    // from a browser, and they name the server.
    if (!referer) return userAgent && IsBrowserAgent(*userAgent);
    std::string host;
    int port = 0;
    return !HttpHostAndPort(*referer, host, port) || host != Lower(ownHost) || port != ownPort;
}

}  // namespace platform
