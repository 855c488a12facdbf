#include "base64.h"

namespace {

unsigned SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;
}

}  // namespace

std::string Base64Decode(const char* text, std::size_t length) {
    std::string out;
    if (text == nullptr) return out;
    std::size_t i = 0;
    while (i < length) {
        while (i < length && (text[i] == '\r' || text[i] == '\n')) ++i;
        if (i + 1 >= length || text[i] == '=') break;
        const unsigned c0 = SextetOf(text[i]);
        const unsigned c1 = SextetOf(text[i + 1]);
        out.push_back(static_cast<char>(((c0 << 2) | (c1 >> 4)) & 0xFF));
        i += 2;
        if (i >= length || text[i] == '=') break;
        const unsigned c2 = SextetOf(text[i++]);
        out.push_back(static_cast<char>((((c1 & 0x0F) << 4) | (c2 >> 2)) & 0xFF));
        if (i >= length || text[i] == '=') break;
        const unsigned c3 = SextetOf(text[i++]);
        out.push_back(static_cast<char>((((c2 & 0x03) << 6) | c3) & 0xFF));
    }
    return out;
}

std::string Base64Decode(const std::string& text) { return Base64Decode(text.data(), text.size()); }
