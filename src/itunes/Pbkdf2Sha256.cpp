#include "itunes/Pbkdf2Sha256.h"

#include <mbedtls/md.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define FERROWICK_SHA_NI 1
#endif

namespace {
using BlockFn = void (*)(uint32_t state[8], const unsigned char block[64]);

constexpr uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
// How many rounds run between two checkpoints: often enough to cancel within
// a tenth of a second, rarely enough to cost nothing.
constexpr quint32 kCheckpointRounds = 16384;

alignas(16) constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t rotr(uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

// The SHA-256 block function of FIPS 180-4, section 6.2.2. mbed TLS keeps its
// own behind a private context (mbed TLS 3 hides the state), and the rounds
// below need a block function on a bare state.
void portableBlock(uint32_t state[8], const unsigned char block[64])
{
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 | uint32_t(block[4 * i + 2]) << 8 |
               uint32_t(block[4 * i + 3]);
#pragma GCC unroll 48
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#pragma GCC unroll 64
    for (int i = 0; i < 64; ++i) {
        const uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#ifdef FERROWICK_SHA_NI

__attribute__((target("sha,sse4.1,ssse3"))) void hardwareBlock(uint32_t state[8], const unsigned char block[64])
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    // The instructions keep the state as ABEF and CDGH.
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i s1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i s0 = _mm_alignr_epi8(tmp, s1, 8);
    s1 = _mm_blend_epi16(s1, tmp, 0xF0);
    const __m128i save0 = s0;
    const __m128i save1 = s1;

    __m128i w[4];
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        __m128i m;
        if (i < 4) {
            m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)), byteSwap);
        } else {
            m = _mm_sha256msg1_epu32(w[(i - 4) & 3], w[(i - 3) & 3]);
            m = _mm_add_epi32(m, _mm_alignr_epi8(w[(i - 1) & 3], w[(i - 2) & 3], 4));
            m = _mm_sha256msg2_epu32(m, w[(i - 1) & 3]);
        }
        w[i & 3] = m;
        __m128i k = _mm_add_epi32(m, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
        s1 = _mm_sha256rnds2_epu32(s1, s0, k);
        k = _mm_shuffle_epi32(k, 0x0E);
        s0 = _mm_sha256rnds2_epu32(s0, s1, k);
    }

    s0 = _mm_add_epi32(s0, save0);
    s1 = _mm_add_epi32(s1, save1);
    tmp = _mm_shuffle_epi32(s0, 0x1B);
    s1 = _mm_shuffle_epi32(s1, 0xB1);
    s0 = _mm_blend_epi16(tmp, s1, 0xF0);
    s1 = _mm_alignr_epi8(s1, tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), s0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), s1);
}
#endif

BlockFn blockFunction(Sha256Engine engine)
{
#ifdef FERROWICK_SHA_NI
    if (engine == Sha256Engine::Auto && g_sha256HasHardware())
        return hardwareBlock;
#endif
    (void)engine;
    return portableBlock;
}

void putBigEndian(unsigned char* out, const uint32_t state[8])
{
    for (int i = 0; i < 8; ++i) {
        out[4 * i] = static_cast<unsigned char>(state[i] >> 24);
        out[4 * i + 1] = static_cast<unsigned char>(state[i] >> 16);
        out[4 * i + 2] = static_cast<unsigned char>(state[i] >> 8);
        out[4 * i + 3] = static_cast<unsigned char>(state[i]);
    }
}

// A 32-byte message after one 64-byte block already hashed: the padding and
// the bit length (96 bytes) never change, only the first 32 bytes do.
void prepareSecondBlock(unsigned char block[64])
{
    std::memset(block, 0, 64);
    block[32] = 0x80;
    block[62] = 0x03; // 768 bits
}

struct HmacPads
{
    uint32_t inner[8];
    uint32_t outer[8];
};

HmacPads precomputePads(const QByteArray& password, BlockFn block)
{
    unsigned char key[64] = {};
    if (password.size() > 64)
        mbedtls_md(mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), reinterpret_cast<const unsigned char*>(password.constData()),
                   size_t(password.size()), key);
    else
        std::memcpy(key, password.constData(), size_t(password.size()));
    HmacPads pads;
    unsigned char pad[64];
    for (int i = 0; i < 64; ++i)
        pad[i] = key[i] ^ 0x36;
    std::memcpy(pads.inner, kInitial, sizeof kInitial);
    block(pads.inner, pad);
    for (int i = 0; i < 64; ++i)
        pad[i] = key[i] ^ 0x5c;
    std::memcpy(pads.outer, kInitial, sizeof kInitial);
    block(pads.outer, pad);
    std::memset(key, 0, sizeof key);
    std::memset(pad, 0, sizeof pad);
    return pads;
}

// The first round hashes a salt of any length: mbed TLS's HMAC does it,
// through its public interface only.
void firstRound(const QByteArray& password, const QByteArray& salt, quint32 blockIndex, unsigned char out[32])
{
    QByteArray message = salt;
    message.append(char(blockIndex >> 24)).append(char(blockIndex >> 16)).append(char(blockIndex >> 8)).append(char(blockIndex));
    const int rc = mbedtls_md_hmac(mbedtls_md_info_from_type(MBEDTLS_MD_SHA256),
                                   reinterpret_cast<const unsigned char*>(password.constData()), size_t(password.size()),
                                   reinterpret_cast<const unsigned char*>(message.constData()), size_t(message.size()), out);
    if (rc != 0)
        throw std::runtime_error("The backup password could not be checked (key derivation failed).");
}
} // namespace

bool g_sha256HasHardware()
{
#ifdef FERROWICK_SHA_NI
    // CPUID itself: clang before 15 knows no "sha" for __builtin_cpu_supports.
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1))
            return false;
        if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
            return false;
        return (b & (1u << 29)) != 0; // SHA extensions
    }();
    return has;
#else
    return false;
#endif
}

QByteArray g_pbkdf2HmacSha256(const QByteArray& password, const QByteArray& salt, quint32 iterations, int keyLength,
                              const KeyDerivationCheckpoint& checkpoint, Sha256Engine engine)
{
    if (keyLength <= 0 || iterations == 0)
        return QByteArray();
    const BlockFn block = blockFunction(engine);
    const HmacPads pads = precomputePads(password, block);
    const quint32 blocks = quint32((keyLength + 31) / 32);
    const quint64 total = quint64(iterations) * blocks;
    QByteArray result;
    unsigned char inner[64], outer[64], t[32];
    prepareSecondBlock(inner);
    prepareSecondBlock(outer);
    for (quint32 b = 1; b <= blocks; ++b) {
        firstRound(password, salt, b, outer);
        std::memcpy(t, outer, 32);
        std::memcpy(inner, outer, 32);
        uint32_t state[8];
        for (quint32 i = 1; i < iterations; ++i) {
            std::memcpy(state, pads.inner, sizeof state);
            block(state, inner);
            putBigEndian(outer, state);
            std::memcpy(state, pads.outer, sizeof state);
            block(state, outer);
            putBigEndian(inner, state);
            for (int k = 0; k < 32; ++k)
                t[k] ^= inner[k];
            if (checkpoint && i % kCheckpointRounds == 0)
                checkpoint(quint64(b - 1) * iterations + i, total);
        }
        result.append(reinterpret_cast<const char*>(t), 32);
    }
    std::memset(inner, 0, sizeof inner);
    std::memset(outer, 0, sizeof outer);
    std::memset(t, 0, sizeof t);
    result.truncate(keyLength);
    return result;
}
