// 128-bit identifiers of classes, interfaces, type libraries and applications, written as
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hexadecimal digits in either case).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace com {

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};

    constexpr bool IsNull() const {
        if (Data1 != 0 || Data2 != 0 || Data3 != 0) return false;
        for (std::uint8_t b : Data4)
            if (b != 0) return false;
        return true;
    }
};

using IID = GUID;
using CLSID = GUID;

constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
// An arbitrary but stable order, so that identifiers can key ordered containers.
bool operator<(const GUID& a, const GUID& b);

namespace detail {

constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hexadecimal characters at `pos`; false on any other character.
constexpr bool ReadHex(std::string_view text, std::size_t pos, int digits, std::uint32_t& out) {
    out = 0;
    for (int i = 0; i < digits; ++i) {
        int v = HexValue(text[pos + i]);
        if (v < 0) return false;
        out = out * 16 + static_cast<std::uint32_t>(v);
    }
    return true;
}

constexpr bool ParseGuidText(std::string_view text, GUID& out) {
    // {8-4-4-4-12}: 38 characters with the braces.
    if (text.size() != 38 || text[0] != '{' || text[37] != '}') return false;
    if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return false;
    std::uint32_t v = 0;
    if (!ReadHex(text, 1, 8, v)) return false;
    out.Data1 = v;
    if (!ReadHex(text, 10, 4, v)) return false;
    out.Data2 = static_cast<std::uint16_t>(v);
    if (!ReadHex(text, 15, 4, v)) return false;
    out.Data3 = static_cast<std::uint16_t>(v);
    const std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, bytePos[i], 2, v)) return false;
        out.Data4[i] = static_cast<std::uint8_t>(v);
    }
    return true;
}

}  // namespace detail

// The identifier of a literal; a malformed literal fails to compile when used in a constant
// expression (and throws std::invalid_argument otherwise).
constexpr GUID MakeGuid(std::string_view text) {
    GUID g;
    if (!detail::ParseGuidText(text, g)) throw std::invalid_argument("malformed GUID literal");
    return g;
}

// Parses the braced form; std::nullopt for anything else (no blanks, no missing braces).
std::optional<GUID> ParseGuid(std::string_view text);

// The braced form with upper-case digits.
std::string ToString(const GUID& guid);

}  // namespace com
