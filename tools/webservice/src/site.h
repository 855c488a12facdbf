// The folders that answers come from.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace webservice {

class Site {
public:
    explicit Site(std::vector<std::string> roots) : roots_(std::move(roots)) {}

    // The first regular file named `relative` in the roots, in order. A name with an empty,
    // "." or ".." component, a backslash or a NUL never leaves the roots: it finds nothing.
    std::optional<std::string> Find(const std::string& relative) const;

private:
    std::vector<std::string> roots_;
};

// True for a relative name made only of ordinary components.
bool IsSafeRelativeName(const std::string& relative);

}  // namespace webservice
