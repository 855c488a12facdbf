#include "page_token.h"

#include "platform/crypto.h"

namespace webservice {
namespace {

constexpr char kSalt[] = "{A41C7D2E-95B3-4F08-8E6A-2D5C09B7F314}";

// One byte read as a Latin-1 character, written in UTF-8.
std::string Latin1ToUtf8(unsigned char byte) {
    if (byte < 0x80) return std::string(1, static_cast<char>(byte));
    return {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
}

}  // namespace

std::string PageToken(const std::string& pageUrl) {
    if (pageUrl.size() < 9) return {};
    const auto marker = static_cast<unsigned char>(pageUrl[pageUrl.size() - 9]);
    return platform::Md5Hex(pageUrl + "-" + Latin1ToUtf8(marker) + "-" + kSalt);
}

}  // namespace webservice
