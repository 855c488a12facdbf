#include "command_line.h"

#include <strings.h>

#include "console.h"

namespace kvupdater {

UpdaterArguments ParseUpdaterArguments(const std::vector<std::string>& arguments) {
    UpdaterArguments result;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const char* name = arguments[i].c_str();
        const bool hasValue = i + 1 < arguments.size();
        if (::strcasecmp(name, "--conf") == 0) {
            if (hasValue) result.conf = arguments[++i];
            ConsolePrint("--conf：%s\n", result.conf.c_str());
        } else if (::strcasecmp(name, "--url") == 0) {
            if (hasValue) result.url = arguments[++i];
            ConsolePrint("--url：%s\n", result.url.c_str());
        } else if (::strcasecmp(name, "--check") == 0) {
            result.check = true;
            ConsolePrint("check：true\n");
        }
    }
    return result;
}

}  // namespace kvupdater
