// Text answers with ${name} placeholders.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace webservice {

enum class Escape { kNone, kJson, kHtml };

using VariableLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Replaces every ${name} (name of letters, digits, '_' and '.') with the looked-up value,
// escaped for where it lands; an unknown name gives an empty text. Anything else that
// starts with "${" stays as it is. Values are not expanded again.
std::string ExpandTemplate(const std::string& text, const VariableLookup& lookup, Escape escape);

// Text answers are templates (.html, .js, .json, .ini, .txt, .m3u, .m3u8); their escape
// follows the extension. Every other file is served byte for byte.
bool IsTemplateExtension(const std::string& extension);
Escape EscapeForExtension(const std::string& extension);

}  // namespace webservice
