#include "platform/crypto.h"

#include <fcntl.h>
#include <mbedtls/aes.h>
#include <mbedtls/md5.h>
#include <mbedtls/sha1.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace platform {
namespace {

std::string ToHex(const unsigned char* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex += digits[data[i] >> 4];
        hex += digits[data[i] & 0x0F];
    }
    return hex;
}

constexpr size_t kBlock = 16;

bool RunCbc(int mode, const std::uint8_t iv[16], const std::uint8_t key[32], const std::string& in,
            std::string& out) {
    mbedtls_aes_context ctx;
    mbedtls_aes_init(&ctx);
    const int keyed = mode == MBEDTLS_AES_ENCRYPT ? mbedtls_aes_setkey_enc(&ctx, key, 256)
                                                  : mbedtls_aes_setkey_dec(&ctx, key, 256);
    unsigned char chain[kBlock];
    std::copy(iv, iv + kBlock, chain);
    out.resize(in.size());
    const int rc = keyed != 0
                       ? keyed
                       : mbedtls_aes_crypt_cbc(&ctx, mode, in.size(), chain,
                                               reinterpret_cast<const unsigned char*>(in.data()),
                                               reinterpret_cast<unsigned char*>(out.data()));
    mbedtls_aes_free(&ctx);
    if (rc != 0) out.clear();
    return rc == 0;
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[16];
    mbedtls_md5_ret(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return ToHex(digest, sizeof digest);
}

std::string Md5HexOfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string digest = Md5HexOfDescriptor(fd);
    ::close(fd);
    return digest;
}

std::string Md5HexOfDescriptor(int fd) {
    mbedtls_md5_context ctx;
    mbedtls_md5_init(&ctx);
    mbedtls_md5_starts_ret(&ctx);
    std::vector<unsigned char> buffer(64 * 1024);
    off_t offset = 0;
    ssize_t n = 0;
    while ((n = ::pread(fd, buffer.data(), buffer.size(), offset)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        mbedtls_md5_update_ret(&ctx, buffer.data(), static_cast<size_t>(n));
        offset += n;
    }
    unsigned char digest[16];
    mbedtls_md5_finish_ret(&ctx, digest);
    mbedtls_md5_free(&ctx);
    return n == 0 ? ToHex(digest, sizeof digest) : std::string();
}

std::array<std::uint8_t, 20> Sha1(const std::string& bytes) {
    std::array<std::uint8_t, 20> digest{};
    mbedtls_sha1_ret(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                     digest.data());
    return digest;
}

bool AesEncryptCbc256(const std::uint8_t iv[16], const std::uint8_t key[32], const std::string& in,
                      std::string& out) {
    // PKCS#7: always pad, a whole block when the input is already aligned.
    const size_t pad = kBlock - in.size() % kBlock;
    std::string padded = in;
    padded.append(pad, static_cast<char>(pad));
    return RunCbc(MBEDTLS_AES_ENCRYPT, iv, key, padded, out);
}

bool AesDecryptCbc256(const std::uint8_t iv[16], const std::uint8_t key[32], const std::string& in,
                      std::string& out) {
    out.clear();
    if (in.empty() || in.size() % kBlock != 0) return false;
    std::string plain;
    if (!RunCbc(MBEDTLS_AES_DECRYPT, iv, key, in, plain)) return false;
    const auto pad = static_cast<unsigned char>(plain.back());
    if (pad == 0 || pad > kBlock) return false;
    for (size_t i = plain.size() - pad; i < plain.size(); ++i)
        if (static_cast<unsigned char>(plain[i]) != pad) return false;
    plain.resize(plain.size() - pad);
    out = std::move(plain);
    return true;
}

}  // namespace platform
