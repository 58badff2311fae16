#include "itunes/AesCbcDecryptor.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FERROWICK_AESNI 1
#include <immintrin.h>
#endif

namespace {
std::atomic<bool> s_hardwareAllowed{true};

#ifdef FERROWICK_AESNI
#define AESNI_FN __attribute__((target("aes,sse2")))

bool cpuHasAes()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("aes") != 0;
    }();
    return has;
}

// The AES-256 key expansion with the instructions' own helper; rcon must be a
// constant, hence the macro.
AESNI_FN inline __m128i expandLeft(__m128i t1, __m128i t2)
{
    t2 = _mm_shuffle_epi32(t2, 0xff);
    __m128i t4 = _mm_slli_si128(t1, 4);
    t1 = _mm_xor_si128(t1, t4);
    t4 = _mm_slli_si128(t4, 4);
    t1 = _mm_xor_si128(t1, t4);
    t4 = _mm_slli_si128(t4, 4);
    t1 = _mm_xor_si128(t1, t4);
    return _mm_xor_si128(t1, t2);
}

AESNI_FN inline __m128i expandRight(__m128i t1, __m128i t3)
{
    __m128i t2 = _mm_shuffle_epi32(_mm_aeskeygenassist_si128(t1, 0x0), 0xaa);
    __m128i t4 = _mm_slli_si128(t3, 4);
    t3 = _mm_xor_si128(t3, t4);
    t4 = _mm_slli_si128(t4, 4);
    t3 = _mm_xor_si128(t3, t4);
    t4 = _mm_slli_si128(t4, 4);
    t3 = _mm_xor_si128(t3, t4);
    return _mm_xor_si128(t3, t2);
}

AESNI_FN void makeDecryptionKeys(const unsigned char* key, unsigned char* out)
{
    __m128i ek[15];
    __m128i t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
    __m128i t3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
    ek[0] = t1;
    ek[1] = t3;
#define EXPAND_PAIR(i, rcon)                                                                                           \
    t1 = expandLeft(t1, _mm_aeskeygenassist_si128(t3, rcon));                                                        \
    ek[i] = t1;                                                                                                        \
    t3 = expandRight(t1, t3);                                                                                          \
    ek[i + 1] = t3;
    EXPAND_PAIR(2, 0x01)
    EXPAND_PAIR(4, 0x02)
    EXPAND_PAIR(6, 0x04)
    EXPAND_PAIR(8, 0x08)
    EXPAND_PAIR(10, 0x10)
    EXPAND_PAIR(12, 0x20)
#undef EXPAND_PAIR
    ek[14] = expandLeft(t1, _mm_aeskeygenassist_si128(t3, 0x40));

    // The equivalent inverse cipher: reversed, inner keys through InvMixColumns.
    auto* dk = reinterpret_cast<__m128i*>(out);
    _mm_store_si128(dk, ek[14]);
    for (int i = 1; i < 14; ++i)
        _mm_store_si128(dk + i, _mm_aesimc_si128(ek[14 - i]));
    _mm_store_si128(dk + 14, ek[0]);
    // The key schedule is the key: none of it stays on the stack.
    volatile unsigned char* wipe = reinterpret_cast<unsigned char*>(ek);
    for (size_t i = 0; i < sizeof ek; ++i)
        wipe[i] = 0;
}

AESNI_FN void decryptCbc(const unsigned char* roundKeys, unsigned char* buf, size_t blocks, unsigned char* ivBytes)
{
    const auto* rk = reinterpret_cast<const __m128i*>(roundKeys);
    __m128i k[15];
    for (int i = 0; i < 15; ++i)
        k[i] = _mm_load_si128(rk + i);
    auto* p = reinterpret_cast<__m128i*>(buf);
    __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ivBytes));
    size_t i = 0;
    for (; i + 8 <= blocks; i += 8) {
        // Unrolled, so that the eight blocks stay in registers.
        __m128i x[8];
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            x[j] = _mm_xor_si128(_mm_loadu_si128(p + i + j), k[0]);
#pragma GCC unroll 13
        for (int r = 1; r < 14; ++r) {
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                x[j] = _mm_aesdec_si128(x[j], k[r]);
        }
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            x[j] = _mm_aesdeclast_si128(x[j], k[14]);
        // In place: each block takes the ciphertext before it, so they are
        // written from the last, and the last ciphertext is kept first.
        const __m128i last = _mm_loadu_si128(p + i + 7);
#pragma GCC unroll 8
        for (int j = 7; j > 0; --j)
            _mm_storeu_si128(p + i + j, _mm_xor_si128(x[j], _mm_loadu_si128(p + i + j - 1)));
        _mm_storeu_si128(p + i, _mm_xor_si128(x[0], prev));
        prev = last;
    }
    for (; i < blocks; ++i) {
        const __m128i c = _mm_loadu_si128(p + i);
        __m128i x = _mm_xor_si128(c, k[0]);
        for (int r = 1; r < 14; ++r)
            x = _mm_aesdec_si128(x, k[r]);
        x = _mm_aesdeclast_si128(x, k[14]);
        _mm_storeu_si128(p + i, _mm_xor_si128(x, prev));
        prev = c;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ivBytes), prev);
}
#undef AESNI_FN
#endif
} // namespace

AesCbcDecryptor::AesCbcDecryptor()
{
    mbedtls_aes_init(&m_ctx);
    std::memset(m_roundKeys, 0, sizeof m_roundKeys);
}

AesCbcDecryptor::~AesCbcDecryptor()
{
    mbedtls_aes_free(&m_ctx);
    // The key schedule is the key.
    volatile unsigned char* p = m_roundKeys;
    for (size_t i = 0; i < sizeof m_roundKeys; ++i)
        p[i] = 0;
}

bool AesCbcDecryptor::usesAesInstructions()
{
#ifdef FERROWICK_AESNI
    return s_hardwareAllowed.load() && cpuHasAes();
#else
    return false;
#endif
}

void AesCbcDecryptor::setAesInstructionsAllowed(bool allowed)
{
    s_hardwareAllowed.store(allowed);
}

bool AesCbcDecryptor::setKey(const QByteArray& key)
{
    m_keySet = false;
    if (key.size() < 32)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(key.constData());
    m_hardware = usesAesInstructions();
#ifdef FERROWICK_AESNI
    if (m_hardware) {
        makeDecryptionKeys(bytes, m_roundKeys);
        m_keySet = true;
        return true;
    }
#endif
    m_keySet = mbedtls_aes_setkey_dec(&m_ctx, bytes, 256) == 0;
    return m_keySet;
}

bool AesCbcDecryptor::decryptInPlace(char* buf, size_t length, char* iv)
{
    if (!m_keySet || length % 16 != 0)
        return false;
    if (length == 0)
        return true;
    auto* p = reinterpret_cast<unsigned char*>(buf);
    auto* v = reinterpret_cast<unsigned char*>(iv);
#ifdef FERROWICK_AESNI
    if (m_hardware) {
        decryptCbc(m_roundKeys, p, length / 16, v);
        return true;
    }
#endif
    return mbedtls_aes_crypt_cbc(&m_ctx, MBEDTLS_AES_DECRYPT, length, v, p, p) == 0;
}
