// Command line of the web-service stand-in.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace webservice {

// "<pattern>=<value>": applies to every request whose target (path and query, raw or
// percent-decoded) contains the pattern; the first matching rule wins.
struct TargetRule {
    std::string pattern;
    long long value = 0;
};

struct Options {
    int port = 8600;                 // the player's built-in web-service port; 0 = choose
    std::vector<std::string> roots;  // searched in order, before the default site
    std::string siteRoot;            // the default site beside the program
    std::vector<std::pair<std::string, std::string>> variables;  // --set name=value
    std::vector<TargetRule> delays;                              // milliseconds
    std::vector<TargetRule> statuses;                            // forced HTTP status
    std::string logPath;        // one line per request when not empty
    int readTimeoutMs = 15000;  // for a whole request, and for an idle connection
    bool exitWithParent = false;
};

struct ParseResult {
    std::optional<Options> options;  // empty on error or after --help
    std::string message;             // the error, or the usage text for --help
    bool help = false;
};

ParseResult ParseOptions(const std::vector<std::string>& arguments);

std::string UsageText();

// The first rule whose pattern the target contains, if any.
const TargetRule* MatchRule(const std::vector<TargetRule>& rules, const std::string& rawTarget,
                            const std::string& decodedTarget);

}  // namespace webservice
