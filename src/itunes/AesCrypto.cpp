#include "itunes/AesCrypto.h"

#include <cstring>

namespace {
constexpr int kKeyBits = 256;
constexpr int kKeyBytes = kKeyBits / 8;
const unsigned char kDefaultIV[8] = {0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6};
} // namespace

QByteArray g_aesKeyUnwrap(const QByteArray& kek, const QByteArray& wrapped)
{
    if (kek.size() < kKeyBytes || wrapped.size() < 24 || wrapped.size() % 8 != 0)
        return QByteArray();
    const int n = int(wrapped.size() / 8) - 1;

    mbedtls_aes_context ctx;
    mbedtls_aes_init(&ctx);
    if (mbedtls_aes_setkey_dec(&ctx, reinterpret_cast<const unsigned char*>(kek.constData()), kKeyBits) != 0) {
        mbedtls_aes_free(&ctx);
        return QByteArray();
    }

    unsigned char a[8];
    std::memcpy(a, wrapped.constData(), 8);
    QByteArray r = wrapped.mid(8);
    unsigned char* rp = reinterpret_cast<unsigned char*>(r.data());
    unsigned char block[16];
    for (int j = 5; j >= 0; --j) {
        for (int i = n; i >= 1; --i) {
            // A ^ t, t = n*j + i, big-endian in the low bytes of A.
            quint64 t = quint64(n) * quint64(j) + quint64(i);
            for (int k = 7; k >= 0 && t; --k, t >>= 8)
                a[k] ^= static_cast<unsigned char>(t & 0xFF);
            std::memcpy(block, a, 8);
            std::memcpy(block + 8, rp + 8 * (i - 1), 8);
            mbedtls_aes_crypt_ecb(&ctx, MBEDTLS_AES_DECRYPT, block, block);
            std::memcpy(a, block, 8);
            std::memcpy(rp + 8 * (i - 1), block + 8, 8);
        }
    }
    mbedtls_aes_free(&ctx);
    std::memset(block, 0, sizeof block);

    unsigned char diff = 0;
    for (int k = 0; k < 8; ++k)
        diff |= static_cast<unsigned char>(a[k] ^ kDefaultIV[k]);
    if (diff != 0)
        return QByteArray();
    return r;
}

QByteArray g_aesKeyWrap(const QByteArray& kek, const QByteArray& key)
{
    if (kek.size() < kKeyBytes || key.size() < 16 || key.size() % 8 != 0)
        return QByteArray();
    mbedtls_aes_context ctx;
    mbedtls_aes_init(&ctx);
    if (mbedtls_aes_setkey_enc(&ctx, reinterpret_cast<const unsigned char*>(kek.constData()), kKeyBits) != 0) {
        mbedtls_aes_free(&ctx);
        return QByteArray();
    }
    const int n = int(key.size() / 8);
    unsigned char a[8];
    std::memcpy(a, kDefaultIV, 8);
    QByteArray r = key;
    unsigned char* rp = reinterpret_cast<unsigned char*>(r.data());
    unsigned char block[16];
    for (int j = 0; j <= 5; ++j) {
        for (int i = 1; i <= n; ++i) {
            std::memcpy(block, a, 8);
            std::memcpy(block + 8, rp + 8 * (i - 1), 8);
            mbedtls_aes_crypt_ecb(&ctx, MBEDTLS_AES_ENCRYPT, block, block);
            std::memcpy(a, block, 8);
            quint64 t = quint64(n) * quint64(j) + quint64(i);
            for (int k = 7; k >= 0 && t; --k, t >>= 8)
                a[k] ^= static_cast<unsigned char>(t & 0xFF);
            std::memcpy(rp + 8 * (i - 1), block + 8, 8);
        }
    }
    mbedtls_aes_free(&ctx);
    std::memset(block, 0, sizeof block);
    return QByteArray(reinterpret_cast<const char*>(a), 8) + r;
}

QByteArray g_aesEncryptCbcPadded(const QByteArray& key, const QByteArray& plain)
{
    if (key.size() < kKeyBytes)
        return QByteArray();
    const int pad = 16 - int(plain.size() % 16);
    QByteArray data = plain + QByteArray(pad, char(pad));
    unsigned char iv[16] = {};
    mbedtls_aes_context ctx;
    mbedtls_aes_init(&ctx);
    mbedtls_aes_setkey_enc(&ctx, reinterpret_cast<const unsigned char*>(key.constData()), kKeyBits);
    auto* p = reinterpret_cast<unsigned char*>(data.data());
    const int rc = mbedtls_aes_crypt_cbc(&ctx, MBEDTLS_AES_ENCRYPT, size_t(data.size()), iv, p, p);
    mbedtls_aes_free(&ctx);
    return rc == 0 ? data : QByteArray();
}

bool g_removePkcs7Padding(QByteArray& data)
{
    if (data.size() < 16 || data.size() % 16 != 0)
        return false;
    const int pad = static_cast<unsigned char>(data.back());
    if (pad < 1 || pad > 16)
        return false;
    for (qsizetype i = data.size() - pad; i < data.size(); ++i) {
        if (static_cast<unsigned char>(data[i]) != pad)
            return false;
    }
    data.chop(pad);
    return true;
}
