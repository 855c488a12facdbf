// Digests and ciphers on mbedTLS.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform {

// 32 lower-case hexadecimal characters of the MD5 digest of `bytes`.
std::string Md5Hex(const std::string& bytes);

// MD5 digest of a whole file as lower-case hex; empty when the file cannot be read.
std::string Md5HexOfFile(const std::string& path);
// The same for an open file, read from its start (its offset is left as it was).
std::string Md5HexOfDescriptor(int fd);

// 20-byte SHA-1 digest of `bytes` (the digest behind the streaming service's task keys).
std::array<std::uint8_t, 20> Sha1(const std::string& bytes);

// AES-256-CBC with PKCS#7 padding (a full block is added to aligned input).
// Decryption checks the padding: a wrong length or bad padding answers false and leaves
// `out` empty.
bool AesEncryptCbc256(const std::uint8_t iv[16], const std::uint8_t key[32], const std::string& in,
                      std::string& out);
bool AesDecryptCbc256(const std::uint8_t iv[16], const std::uint8_t key[32], const std::string& in,
                      std::string& out);

}  // namespace platform
