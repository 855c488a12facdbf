#include "template.h"

#include <cctype>

#include "text.h"

namespace webservice {
namespace {

bool IsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

std::string Escaped(const std::string& value, Escape escape) {
    switch (escape) {
        case Escape::kJson:
            return JsonEscape(value);
        case Escape::kHtml:
            return HtmlEscape(value);
        case Escape::kNone:
            break;
    }
    return value;
}

}  // namespace

std::string ExpandTemplate(const std::string& text, const VariableLookup& lookup, Escape escape) {
    std::string out;
    size_t position = 0;
    while (position < text.size()) {
        const size_t start = text.find("${", position);
        if (start == std::string::npos) break;
        size_t end = start + 2;
        while (end < text.size() && IsNameCharacter(text[end])) ++end;
        if (end == start + 2 || end >= text.size() || text[end] != '}') {
            out.append(text, position, start + 2 - position);
            position = start + 2;
            continue;
        }
        out.append(text, position, start - position);
        const auto value = lookup(text.substr(start + 2, end - start - 2));
        if (value) out += Escaped(*value, escape);
        position = end + 1;
    }
    if (position < text.size()) out.append(text, position, std::string::npos);
    return out;
}

bool IsTemplateExtension(const std::string& extension) {
    return extension == ".html" || extension == ".htm" || extension == ".js" ||
           extension == ".json" || extension == ".ini" || extension == ".txt" ||
           extension == ".m3u" || extension == ".m3u8";
}

Escape EscapeForExtension(const std::string& extension) {
    if (extension == ".js" || extension == ".json") return Escape::kJson;
    if (extension == ".html" || extension == ".htm") return Escape::kHtml;
    return Escape::kNone;
}

}  // namespace webservice
