#include "platform/crypto.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "testsupport/temp_dir.h"

using namespace platform;

namespace {
const std::uint8_t kIv[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
std::uint8_t kKey[32] = {};
std::string Hex(const std::array<std::uint8_t, 20>& d) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (auto b : d) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}
}  // namespace

TEST(Digests, KnownVectors) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(Sha1(std::string("a\0b", 3))), Hex(Sha1(std::string("a\0b", 3))));
    EXPECT_NE(Hex(Sha1(std::string("a\0b", 3))), Hex(Sha1("a")));
}

TEST(Digests, FileDigestMatchesTextDigestAndMissingFileIsEmpty) {
    testsupport::TempDir dir;
    std::string big(200000, 'x');
    big[12345] = 'y';
    testsupport::WriteFile(dir.file("f"), big);
    EXPECT_EQ(Md5HexOfFile(dir.file("f")), Md5Hex(big));
    EXPECT_EQ(Md5HexOfFile(dir.file("missing")), "");
    EXPECT_EQ(Md5HexOfFile(dir.path()), "");  // a folder has no content to digest

    // An open file is digested whole, wherever its offset stands, and the offset stays.
    const int fd = open(dir.file("f").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(lseek(fd, 1000, SEEK_SET), 1000);
    EXPECT_EQ(Md5HexOfDescriptor(fd), Md5Hex(big));
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 1000);
    close(fd);
    EXPECT_EQ(Md5HexOfDescriptor(-1), "");
}

TEST(Aes, RoundTripsEveryLengthAroundTheBlockSize) {
    for (std::uint8_t i = 0; i < 32; ++i) kKey[i] = static_cast<std::uint8_t>(i * 7);
    for (size_t len : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 100u}) {
        const std::string plain(len, 'p');
        std::string cipher, back;
        ASSERT_TRUE(AesEncryptCbc256(kIv, kKey, plain, cipher));
        // PKCS#7 always adds 1..16 bytes: an aligned input gets a whole block.
        EXPECT_EQ(cipher.size(), (len / 16 + 1) * 16) << len;
        ASSERT_TRUE(AesDecryptCbc256(kIv, kKey, cipher, back)) << len;
        EXPECT_EQ(back, plain);
    }
}

TEST(Aes, KnownCiphertextForOneBlock) {
    // NIST SP 800-38A F.2.5, first block; our padding adds a second block after it.
    const std::uint8_t key[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                                  0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                                  0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
    const std::uint8_t iv[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const unsigned char plain[16] = {0x6b, 0xc1, 0xbe, 0xe2, 0x2e, 0x40, 0x9f, 0x96,
                                     0xe9, 0x3d, 0x7e, 0x11, 0x73, 0x93, 0x17, 0x2a};
    const unsigned char expected[16] = {0xf5, 0x8c, 0x4c, 0x04, 0xd6, 0xe5, 0xf1, 0xba,
                                        0x77, 0x9e, 0xab, 0xfb, 0x5f, 0x7b, 0xfb, 0xd6};
    std::string cipher;
    ASSERT_TRUE(
        AesEncryptCbc256(iv, key, std::string(reinterpret_cast<const char*>(plain), 16), cipher));
    ASSERT_EQ(cipher.size(), 32u);
    EXPECT_EQ(cipher.substr(0, 16), std::string(reinterpret_cast<const char*>(expected), 16));
}

TEST(Aes, DecryptionRefusesBadLengthAndBadPadding) {
    std::string out = "untouched";
    EXPECT_FALSE(AesDecryptCbc256(kIv, kKey, "", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(AesDecryptCbc256(kIv, kKey, std::string(15, 'x'), out));

    std::string cipher;
    ASSERT_TRUE(AesEncryptCbc256(kIv, kKey, "hello world", cipher));
    // A wrong key scrambles the last block, so its padding no longer checks out.
    std::uint8_t otherKey[32] = {1};
    std::string back;
    int accepted = 0;
    for (int i = 0; i < 16; ++i) {
        otherKey[31] = static_cast<std::uint8_t>(i);
        if (AesDecryptCbc256(kIv, otherKey, cipher, back)) ++accepted;
    }
    EXPECT_LE(accepted, 1);  // a random block passes the check about 1 time in 256

    // Flip the last byte of the previous block: the final padding byte changes.
    std::string tampered = cipher;
    tampered[15] = static_cast<char>(tampered[15] ^ 0x20);
    EXPECT_FALSE(AesDecryptCbc256(kIv, kKey, tampered, back));
    EXPECT_TRUE(back.empty());
}
