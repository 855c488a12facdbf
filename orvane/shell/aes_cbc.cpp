#include "aes_cbc.h"

#include <cstdint>
#include <string>

#include "platform/crypto.h"

namespace {

using Cipher = bool (*)(const std::uint8_t*, const std::uint8_t*, const std::string&, std::string&);

bool Run(Cipher cipher, const QByteArray& iv, const QByteArray& key, const QByteArray& in,
         QByteArray& out) {
    out.clear();
    if (iv.size() != 16 || key.size() != 32) return false;
    std::string result;
    const bool ok =
        cipher(reinterpret_cast<const std::uint8_t*>(iv.constData()),
               reinterpret_cast<const std::uint8_t*>(key.constData()), in.toStdString(), result);
    if (ok) out = QByteArray(result.data(), static_cast<int>(result.size()));
    return ok;
}

}  // namespace

bool AesEncryptCbc256(const QByteArray& iv, const QByteArray& key, const QByteArray& in,
                      QByteArray& out) {
    return Run(platform::AesEncryptCbc256, iv, key, in, out);
}

bool AesDecryptCbc256(const QByteArray& iv, const QByteArray& key, const QByteArray& in,
                      QByteArray& out) {
    return Run(platform::AesDecryptCbc256, iv, key, in, out);
}
