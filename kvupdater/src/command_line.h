// The updater's switches: "--conf <state file>", "--url <description URL>", "--check".
#pragma once

#include <string>
#include <vector>

namespace kvupdater {

struct UpdaterArguments {
    std::string conf;  // empty when missing
    std::string url;   // empty when missing
    bool check = false;
};

// Reads the switches (names compared ignoring case, each value being the next argument) and
// echoes each one on the console as it is found.
UpdaterArguments ParseUpdaterArguments(const std::vector<std::string>& arguments);

}  // namespace kvupdater
