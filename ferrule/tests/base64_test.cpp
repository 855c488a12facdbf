#include "base64.h"

#include <gtest/gtest.h>

TEST(Base64Decode, DecodesStandardTextWithAndWithoutPadding) {
    EXPECT_EQ(Base64Decode("YQ=="), "a");
    EXPECT_EQ(Base64Decode("YWI="), "ab");
    EXPECT_EQ(Base64Decode("YWJj"), "abc");
    EXPECT_EQ(Base64Decode("aHR0cDovLzEyNy4wLjAuMTo5MDAxL2EvYi50b3JyZW50"),
              "http://127.0.0.1:9001/a/b.torrent");
    EXPECT_EQ(Base64Decode("+/8="), std::string("\xfb\xff", 2));
    EXPECT_EQ(Base64Decode(""), "");
}

TEST(Base64Decode, SkipsLineBreaksBetweenGroups) {
    EXPECT_EQ(Base64Decode("YWJj\r\nZGVm\nZw=="), "abcdefg");
    EXPECT_EQ(Base64Decode("\r\n\r\nYQ==\r\n"), "a");
}

TEST(Base64Decode, IsLenientWithJunkAndShortText) {
    // Characters outside the alphabet count as zero bits.
    EXPECT_EQ(Base64Decode("Y*=="), std::string("\x60", 1));
    // A '=' ends the value even when more text follows.
    EXPECT_EQ(Base64Decode("YQ==YWJj"), "a");
    // Text ending inside a group keeps the completed bytes.
    EXPECT_EQ(Base64Decode("YWJ"), "ab");
    EXPECT_EQ(Base64Decode("YW"), "a");
    EXPECT_EQ(Base64Decode("Y"), "");
    EXPECT_EQ(Base64Decode(nullptr, 4), "");
    // Only the given length is read.
    EXPECT_EQ(Base64Decode("YWJjZGVm", 4), "abc");
}
