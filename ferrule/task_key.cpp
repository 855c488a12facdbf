#include "task_key.h"

#include "platform/crypto.h"

std::string MakeTaskKey(const std::string& text) {
    if (text.empty()) return "0";
    static const char kHex[] = "0123456789ABCDEF";
    std::string key;
    for (const std::uint8_t byte : platform::Sha1(text)) {
        const char c = static_cast<char>(byte);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            key.push_back(c);
        } else {
            key.push_back(kHex[byte >> 4]);
            key.push_back(kHex[byte & 0x0F]);
        }
    }
    return key;
}
