// AES-256 in CBC mode with PKCS#7 padding.
#pragma once

#include <QByteArray>

// `iv` holds 16 bytes, `key` 32. Encryption always adds padding (a whole block to aligned
// input). Decryption answers false, with `out` empty, for a wrong length or bad padding.
bool AesEncryptCbc256(const QByteArray& iv, const QByteArray& key, const QByteArray& in,
                      QByteArray& out);
bool AesDecryptCbc256(const QByteArray& iv, const QByteArray& key, const QByteArray& in,
                      QByteArray& out);
