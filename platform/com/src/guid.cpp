#include "com/guid.h"

#include <cstdio>
#include <tuple>

namespace com {

bool operator<(const GUID& a, const GUID& b) {
    auto key = [](const GUID& g) {
        return std::make_tuple(g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                               g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    };
    return key(a) < key(b);
}

std::optional<GUID> ParseGuid(std::string_view text) {
    GUID g;
    if (!detail::ParseGuidText(text, g)) return std::nullopt;
    return g;
}

std::string ToString(const GUID& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buffer;
}

}  // namespace com
