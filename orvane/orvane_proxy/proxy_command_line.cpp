#include "proxy_command_line.h"

#include <cctype>

#include "web_requests.h"

namespace {

bool HasSwitch(const std::string& argument, const char* name) {
    constexpr std::size_t kLength = 5;  // "-win=" / "-url="
    if (argument.size() < kLength) return false;
    for (std::size_t i = 0; i < kLength; ++i)
        if (std::tolower(static_cast<unsigned char>(argument[i])) != name[i]) return false;
    return true;
}

}  // namespace

ProxyCommandLine ParseProxyCommandLine(const std::vector<std::string>& arguments) {
    ProxyCommandLine line;
    for (const std::string& argument : arguments) {
        if (HasSwitch(argument, "-win="))
            line.targetWindow = ReadLeadingInt(argument.substr(5));
        else if (HasSwitch(argument, "-url="))
            line.url = argument.substr(5);
    }
    return line;
}
