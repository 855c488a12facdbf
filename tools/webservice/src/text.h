// Small text helpers for requests and answers: percent-decoding, queries, Base64, escaping.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace webservice {

using QueryItems = std::vector<std::pair<std::string, std::string>>;

// "%XX" becomes its byte; '+' stays '+' (Base64 values travel unescaped in queries).
// Empty optional for a broken escape.
std::optional<std::string> PercentDecode(const std::string& text);

// "a=1&b=2" into decoded pairs, in order; items whose escapes are broken are dropped.
QueryItems ParseQuery(const std::string& query);

// The first value of `name`, if present.
std::optional<std::string> QueryValue(const QueryItems& items, const std::string& name);

// Standard Base64 (RFC 4648, '=' padding required); empty optional for anything else.
std::optional<std::string> Base64Decode(const std::string& text);

// Escapes for the inside of a JSON (or JavaScript) double-quoted string.
std::string JsonEscape(const std::string& text);

// Escapes for HTML text and attribute values; also safe inside a double-quoted script string.
std::string HtmlEscape(const std::string& text);

// The file-name extension with its dot, in lower case ("" when none).
std::string Extension(const std::string& path);

}  // namespace webservice
