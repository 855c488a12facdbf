// The host program's command line: "-win=" names the browser control's window, "-url=" the
// URL to play. The BT server passes each switch as an argument of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProxyCommandLine {
    std::int32_t targetWindow = 0;  // 0 when the switch is missing
    std::string url;                // UTF-8, "" when the switch is missing
};

// Arguments whose first five characters are "-win=" or "-url=" in any case set the window
// (the rest read as a signed decimal number up to its first other character) or the URL
// (the rest, unchanged); a later switch of the same kind wins; anything else is ignored.
ProxyCommandLine ParseProxyCommandLine(const std::vector<std::string>& arguments);
