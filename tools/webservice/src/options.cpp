#include "options.h"

#include <cctype>
#include <charconv>
#include <functional>
#include <map>

namespace webservice {
namespace {

constexpr long long kMaxDelayMs = 600000;

bool ParseNumber(const std::string& text, long long low, long long high, long long& out) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) return false;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

// "<left>=<right>" split at the last '=' (patterns may hold '=' themselves, values may not).
bool SplitAtLastEquals(const std::string& text, std::string& left, std::string& right) {
    const auto equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0) return false;
    left = text.substr(0, equals);
    right = text.substr(equals + 1);
    return true;
}

bool ParseRule(const std::string& text, long long low, long long high, TargetRule& rule) {
    std::string value;
    return SplitAtLastEquals(text, rule.pattern, value) &&
           ParseNumber(value, low, high, rule.value);
}

bool IsVariableName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return false;
    return true;
}

using Handler = std::function<std::string(Options&, const std::string&)>;

// Each handler answers an error text, empty when the value was taken.
const std::map<std::string, Handler>& ValueOptions() {
    static const std::map<std::string, Handler> handlers = {
        {"--port",
         [](Options& o, const std::string& v) -> std::string {
             long long port = 0;
             if (!ParseNumber(v, 0, 65535, port)) return "--port wants 0 to 65535";
             o.port = static_cast<int>(port);
             return {};
         }},
        {"--root",
         [](Options& o, const std::string& v) -> std::string {
             if (v.empty()) return "--root wants a folder";
             o.roots.push_back(v);
             return {};
         }},
        {"--set",
         [](Options& o, const std::string& v) -> std::string {
             const auto equals = v.find('=');
             const std::string name = v.substr(0, equals);
             if (equals == std::string::npos || !IsVariableName(name))
                 return "--set wants name=value (name of letters, digits, '_' and '.')";
             o.variables.emplace_back(name, v.substr(equals + 1));
             return {};
         }},
        {"--delay",
         [](Options& o, const std::string& v) -> std::string {
             TargetRule rule;
             if (!ParseRule(v, 0, kMaxDelayMs, rule))
                 return "--delay wants <pattern>=<ms> with ms from 0 to 600000";
             o.delays.push_back(rule);
             return {};
         }},
        {"--status",
         [](Options& o, const std::string& v) -> std::string {
             TargetRule rule;
             if (!ParseRule(v, 200, 599, rule))
                 return "--status wants <pattern>=<code> with code from 200 to 599";
             o.statuses.push_back(rule);
             return {};
         }},
        {"--log",
         [](Options& o, const std::string& v) -> std::string {
             if (v.empty()) return "--log wants a file";
             o.logPath = v;
             return {};
         }},
        {"--read-timeout",
         [](Options& o, const std::string& v) -> std::string {
             long long ms = 0;
             if (!ParseNumber(v, 1, 600000, ms)) return "--read-timeout wants 1 to 600000 ms";
             o.readTimeoutMs = static_cast<int>(ms);
             return {};
         }},
    };
    return handlers;
}

}  // namespace

std::string UsageText() {
    return "usage: webservice [options]\n"
           "Answers the player's web-service requests on 127.0.0.1 from files.\n"
           "  --port N               port to listen on (default 8600; 0 = choose one);\n"
           "                         the port is printed as the first line of stdout\n"
           "  --root DIR             folder searched for answers before the default site\n"
           "                         (repeatable, searched in the order given)\n"
           "  --set NAME=VALUE       value of ${NAME} in text answers (repeatable);\n"
           "                         ${origin}, ${base} and ${port} are expanded inside VALUE\n"
           "  --delay PATTERN=MS     hold answers to targets containing PATTERN for MS ms\n"
           "  --status PATTERN=CODE  answer targets containing PATTERN with status CODE\n"
           "  --log FILE             append \"METHOD TARGET\" for every request received\n"
           "  --read-timeout MS      time allowed for one request and for an idle connection\n"
           "                         (default 15000)\n"
           "  --exit-with-parent     end when the process that started this one ends\n"
           "  --help                 this text\n";
}

ParseResult ParseOptions(const std::vector<std::string>& arguments) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h") return {std::nullopt, UsageText(), true};
        if (name == "--exit-with-parent") {
            options.exitWithParent = true;
            continue;
        }
        const auto handler = ValueOptions().find(name);
        if (handler == ValueOptions().end()) return {std::nullopt, "unknown option " + name};
        if (i + 1 >= arguments.size()) return {std::nullopt, name + " wants a value"};
        const std::string error = handler->second(options, arguments[++i]);
        if (!error.empty()) return {std::nullopt, error};
    }
    return {options, {}};
}

const TargetRule* MatchRule(const std::vector<TargetRule>& rules, const std::string& rawTarget,
                            const std::string& decodedTarget) {
    for (const auto& rule : rules) {
        if (rawTarget.find(rule.pattern) != std::string::npos ||
            decodedTarget.find(rule.pattern) != std::string::npos)
            return &rule;
    }
    return nullptr;
}

}  // namespace webservice
