#include "site.h"

#include <sys/stat.h>

namespace webservice {

bool IsSafeRelativeName(const std::string& relative) {
    if (relative.empty() || relative.find('\0') != std::string::npos ||
        relative.find('\\') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        const std::string part = relative.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

std::optional<std::string> Site::Find(const std::string& relative) const {
    if (!IsSafeRelativeName(relative)) return std::nullopt;
    for (const auto& root : roots_) {
        const std::string path = root + "/" + relative;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return path;
    }
    return std::nullopt;
}

}  // namespace webservice
