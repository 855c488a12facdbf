#include "regsvr_options.h"

#include <cctype>

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Applies one switch (without its '-'); false when it is none of ours.
bool ApplySwitch(const std::string& name, RegsvrOptions& options) {
    const std::string lower = Lower(name);
    if (lower == "u") {
        options.unregister = true;
    } else if (lower == "n") {
        options.registerServer = false;
    } else if (lower == "i" || lower.rfind("i:", 0) == 0) {
        options.install = true;
        options.installCommandLine = lower == "i" ? "" : name.substr(2);
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::optional<RegsvrOptions> ParseRegsvrOptions(const std::vector<std::string>& arguments,
                                                std::string& error) {
    RegsvrOptions options;
    for (const std::string& argument : arguments) {
        if (argument.size() > 1 && argument[0] == '-') {
            if (!ApplySwitch(argument.substr(1), options)) {
                error = "unknown switch " + argument;
                return std::nullopt;
            }
        } else if (options.library.empty()) {
            options.library = argument;
        } else {
            error = "one library at a time";
            return std::nullopt;
        }
    }
    if (options.library.empty())
        error = "no library named";
    else if (!options.registerServer && !options.install)
        error = "-n needs -i";
    if (!error.empty()) return std::nullopt;
    return options;
}
