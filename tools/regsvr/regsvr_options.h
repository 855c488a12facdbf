// The registration tool's command line:
//   regsvr [-u] [-n] [-i[:command line]] library
// Without switches the library's DllRegisterServer runs; -u runs DllUnregisterServer
// instead; -i also runs DllInstall (installing, or uninstalling with -u) with the text after
// "i:"; -n leaves out DllRegisterServer / DllUnregisterServer and needs -i.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct RegsvrOptions {
    std::string library;
    bool unregister = false;
    bool install = false;            // -i given
    std::string installCommandLine;  // the text after "-i:"
    bool registerServer = true;      // false with -n
};

// std::nullopt, with `error` telling why, for a command line that does not fit the form.
std::optional<RegsvrOptions> ParseRegsvrOptions(const std::vector<std::string>& arguments,
                                                std::string& error);
