#include "task_key.h"

#include <gtest/gtest.h>

#include <cctype>

#include "platform/crypto.h"

namespace {

// Rebuilds the digest bytes from a key: letters and digits stand for themselves, anything
// else was written as two upper-case hexadecimal digits.
bool KeyMatchesDigest(const std::string& key, const std::array<std::uint8_t, 20>& digest) {
    std::size_t at = 0;
    for (const std::uint8_t byte : digest) {
        if (std::isalnum(byte) && byte < 0x80) {
            if (at >= key.size() || static_cast<std::uint8_t>(key[at]) != byte) return false;
            ++at;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            if (at + 1 >= key.size() || key[at] != kHex[byte >> 4] ||
                key[at + 1] != kHex[byte & 15]) {
                return false;
            }
            at += 2;
        }
    }
    return at == key.size();
}

}  // namespace

TEST(MakeTaskKey, EmptyTextGivesZero) { EXPECT_EQ(MakeTaskKey(""), "0"); }

TEST(MakeTaskKey, IsStableAndMadeFromTheDigest) {
    for (const std::string text :
         {"abc", "http://127.0.0.1:9001/btroot/L3RtcC9hLnRvcnJlbnQ=",
          "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567", "\xe4\xb8\xad"}) {
        const std::string key = MakeTaskKey(text);
        EXPECT_GE(key.size(), 20u) << text;
        EXPECT_LE(key.size(), 40u) << text;
        EXPECT_EQ(key, MakeTaskKey(text));
        EXPECT_TRUE(KeyMatchesDigest(key, platform::Sha1(text))) << key;
        for (const char c : key) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)));
    }
    EXPECT_NE(MakeTaskKey("abc"), MakeTaskKey("abd"));
}
