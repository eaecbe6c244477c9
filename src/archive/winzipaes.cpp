// The plain SHA-1 calls are marked deprecated in OpenSSL 3 but are the fast way to run the
// thousands of rounds of the key derivation.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "archive/winzipaes.h"
#include "platform/kxerror.h"

#include <QtEndian>
#include <immintrin.h>
#include <atomic>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstring>

namespace kx {

namespace {

// The HMAC-SHA1 states after the inner and outer padded key: every HMAC of the derivation
// starts from one of them.
void hmacKeyStates(const QByteArray &password, SHA_CTX &inner, SHA_CTX &outer)
{
    unsigned char key[64] = {};
    bool ok = true;
    if (password.size() > 64)
        ok = SHA1(reinterpret_cast<const unsigned char *>(password.constData()), size_t(password.size()), key) != nullptr;
    else
        std::memcpy(key, password.constData(), size_t(password.size()));
    unsigned char pad[64];
    for (int i = 0; i < 64; ++i)
        pad[i] = key[i] ^ 0x36;
    ok = ok && SHA1_Init(&inner) == 1 && SHA1_Update(&inner, pad, 64) == 1;
    for (int i = 0; i < 64; ++i)
        pad[i] = key[i] ^ 0x5c;
    ok = ok && SHA1_Init(&outer) == 1 && SHA1_Update(&outer, pad, 64) == 1;
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(pad, sizeof pad);
    if (!ok)
        throw Error(QStringLiteral("Sifreleme anahtari uretilemedi."));
}

} // namespace

void pbkdf2HmacSha1(const QByteArray &password, const unsigned char *salt, int saltSize, int rounds, unsigned char *out,
                    int outSize)
{
    // HMAC with the inner and outer key states computed once: each round is then two SHA-1
    // blocks and a copy of a small struct, where the general routine rebuilds its contexts.
    SHA_CTX inner, outer;
    hmacKeyStates(password, inner, outer);
    bool ok = true;

    // The rounds check their results all together: a failing SHA-1 is no rare event worth a
    // branch each, but it must not go unnoticed.
    auto hmac = [&](const unsigned char *data, size_t size, unsigned char *digest) {
        SHA_CTX c = inner;
        int r = SHA1_Update(&c, data, size);
        r &= SHA1_Final(digest, &c);
        c = outer;
        r &= SHA1_Update(&c, digest, SHA_DIGEST_LENGTH);
        r &= SHA1_Final(digest, &c);
        ok = ok && r == 1;
    };

    // Every round after the first hashes the 20 bytes of the round before. With SHA-1's padding
    // (and the 64 bytes of the key state before them) they fill one block whose tail never
    // changes, so a round is two bare block transforms, without the general routine's buffering.
    unsigned char padded[64] = {};
    padded[SHA_DIGEST_LENGTH] = 0x80;
    qToBigEndian(quint16((64 + SHA_DIGEST_LENGTH) * 8), padded + 62);
    const auto digestOf = [](const SHA_CTX &c, unsigned char *digest) {
        const quint32 h[5] = {quint32(c.h0), quint32(c.h1), quint32(c.h2), quint32(c.h3), quint32(c.h4)};
        for (int i = 0; i < 5; ++i)
            qToBigEndian(h[i], digest + 4 * i);
    };
    const auto hmacOfDigest = [&](unsigned char *u) {
        SHA_CTX c = inner;
        std::memcpy(padded, u, SHA_DIGEST_LENGTH);
        SHA1_Transform(&c, padded);
        digestOf(c, padded);
        c = outer;
        SHA1_Transform(&c, padded);
        digestOf(c, u);
    };

    for (quint32 block = 1; outSize > 0; ++block) {
        QByteArray first(reinterpret_cast<const char *>(salt), saltSize);
        first.append(char(block >> 24)).append(char(block >> 16)).append(char(block >> 8)).append(char(block));
        unsigned char u[SHA_DIGEST_LENGTH], t[SHA_DIGEST_LENGTH];
        hmac(reinterpret_cast<const unsigned char *>(first.constData()), size_t(first.size()), u);
        std::memcpy(t, u, sizeof t);
        for (int r = 1; r < rounds; ++r) {
            hmacOfDigest(u);
            for (int i = 0; i < SHA_DIGEST_LENGTH; ++i)
                t[i] ^= u[i];
        }
        OPENSSL_cleanse(padded, SHA_DIGEST_LENGTH);
        if (!ok)
            throw Error(QStringLiteral("Sifreleme anahtari uretilemedi."));
        const int n = std::min(outSize, SHA_DIGEST_LENGTH);
        std::memcpy(out, t, size_t(n));
        out += n;
        outSize -= n;
    }
}

namespace {

std::atomic<bool> g_wideAllowed{true};

// Sixteen SHA-1 computations side by side, one in each 32-bit lane of an AVX-512 register.
#define KX_WIDE __attribute__((target("avx512f")))

template <int N>
KX_WIDE inline __m512i rol(__m512i x)
{
    // The masked form with every lane set: the plain one trips a false warning of GCC 12.
    return _mm512_mask_rol_epi32(x, 0xFFFF, x, N);
}

// One round of SHA-1 in every lane; from the sixteenth on, it makes its own schedule word.
KX_WIDE inline void step16(int t, __m512i w[16], __m512i f, __m512i k, __m512i &a, __m512i &b, __m512i &c, __m512i &d,
                           __m512i &e)
{
    if (t >= 16)
        w[t & 15] = rol<1>(
            _mm512_xor_si512(_mm512_ternarylogic_epi32(w[(t - 3) & 15], w[(t - 8) & 15], w[(t - 14) & 15], 0x96), w[t & 15]));
    const __m512i sum =
        _mm512_add_epi32(_mm512_add_epi32(rol<5>(a), f), _mm512_add_epi32(_mm512_add_epi32(e, k), w[t & 15]));
    e = d;
    d = c;
    c = rol<30>(b);
    b = a;
    a = sum;
}

// One block into the sixteen states; w is the block's sixteen words, used up as the schedule.
KX_WIDE inline void compress16(__m512i s[5], __m512i w[16])
{
    __m512i a = s[0], b = s[1], c = s[2], d = s[3], e = s[4];
    const __m512i k1 = _mm512_set1_epi32(0x5A827999), k2 = _mm512_set1_epi32(0x6ED9EBA1),
                  k3 = _mm512_set1_epi32(int(0x8F1BBCDC)), k4 = _mm512_set1_epi32(int(0xCA62C1D6));
    for (int t = 0; t < 20; ++t)
        step16(t, w, _mm512_ternarylogic_epi32(b, c, d, 0xCA), k1, a, b, c, d, e); // b ? c : d
    for (int t = 20; t < 40; ++t)
        step16(t, w, _mm512_ternarylogic_epi32(b, c, d, 0x96), k2, a, b, c, d, e); // b ^ c ^ d
    for (int t = 40; t < 60; ++t)
        step16(t, w, _mm512_ternarylogic_epi32(b, c, d, 0xE8), k3, a, b, c, d, e); // majority
    for (int t = 60; t < 80; ++t)
        step16(t, w, _mm512_ternarylogic_epi32(b, c, d, 0x96), k4, a, b, c, d, e);
    s[0] = _mm512_add_epi32(s[0], a);
    s[1] = _mm512_add_epi32(s[1], b);
    s[2] = _mm512_add_epi32(s[2], c);
    s[3] = _mm512_add_epi32(s[3], d);
    s[4] = _mm512_add_epi32(s[4], e);
}

// A state and a 20-byte message (five words) with SHA-1's padding for 64 + 20 bytes.
KX_WIDE inline void load16(const __m512i state[5], const __m512i message[5], __m512i s[5], __m512i w[16])
{
    for (int i = 0; i < 5; ++i) {
        s[i] = state[i];
        w[i] = message[i];
    }
    w[5] = _mm512_set1_epi32(int(0x80000000));
    for (int i = 6; i < 15; ++i)
        w[i] = _mm512_setzero_si512();
    w[15] = _mm512_set1_epi32((64 + 20) * 8);
}

// HMAC of a 20-byte message in every lane (as five big-endian words), into m.
KX_WIDE inline void hmac16(const __m512i inner[5], const __m512i outer[5], __m512i m[5])
{
    __m512i w[16], s[5], digest[5];
    load16(inner, m, s, w);
    compress16(s, w);
    for (int i = 0; i < 5; ++i)
        digest[i] = s[i];
    load16(outer, digest, s, w);
    compress16(s, w);
    for (int i = 0; i < 5; ++i)
        m[i] = s[i];
}

KX_WIDE void pbkdf2Wide(const SHA_CTX &innerCtx, const SHA_CTX &outerCtx, const unsigned char *salts, int rounds,
                        unsigned char *out, int outSize)
{
    const quint32 innerWords[5] = {quint32(innerCtx.h0), quint32(innerCtx.h1), quint32(innerCtx.h2),
                                   quint32(innerCtx.h3), quint32(innerCtx.h4)};
    const quint32 outerWords[5] = {quint32(outerCtx.h0), quint32(outerCtx.h1), quint32(outerCtx.h2),
                                   quint32(outerCtx.h3), quint32(outerCtx.h4)};
    __m512i inner[5], outer[5];
    for (int i = 0; i < 5; ++i) {
        inner[i] = _mm512_set1_epi32(int(innerWords[i]));
        outer[i] = _mm512_set1_epi32(int(outerWords[i]));
    }
    alignas(64) quint32 lanes[5][kKeyLanes];
    for (int block = 1; (block - 1) * 20 < outSize; ++block) {
        // The first message of every lane: its salt and the block number, big-endian words.
        for (int lane = 0; lane < kKeyLanes; ++lane) {
            for (int i = 0; i < 4; ++i)
                lanes[i][lane] = qFromBigEndian<quint32>(salts + lane * 16 + i * 4);
            lanes[4][lane] = quint32(block);
        }
        __m512i u[5], t[5];
        for (int i = 0; i < 5; ++i)
            u[i] = _mm512_load_si512(lanes[i]);
        hmac16(inner, outer, u);
        for (int i = 0; i < 5; ++i)
            t[i] = u[i];
        for (int r = 1; r < rounds; ++r) {
            hmac16(inner, outer, u);
            for (int i = 0; i < 5; ++i)
                t[i] = _mm512_xor_si512(t[i], u[i]);
        }
        for (int i = 0; i < 5; ++i)
            _mm512_store_si512(lanes[i], t[i]);
        const int n = std::min(20, outSize - (block - 1) * 20);
        for (int lane = 0; lane < kKeyLanes; ++lane) {
            unsigned char digest[20];
            for (int i = 0; i < 5; ++i)
                qToBigEndian(lanes[i][lane], digest + 4 * i);
            std::memcpy(out + lane * outSize + (block - 1) * 20, digest, size_t(n));
            OPENSSL_cleanse(digest, sizeof digest);
        }
    }
    OPENSSL_cleanse(lanes, sizeof lanes);
}

#undef KX_WIDE

} // namespace

bool wideKeyDerivation()
{
    static const bool supported = __builtin_cpu_supports("avx512f");
    return supported && g_wideAllowed;
}

void setWideKeyDerivation(bool allowed)
{
    g_wideAllowed = allowed;
}

void pbkdf2HmacSha1Lanes(const QByteArray &password, const unsigned char *salts, int rounds, unsigned char *out,
                         int outSize)
{
    if (!wideKeyDerivation()) {
        for (int lane = 0; lane < kKeyLanes; ++lane)
            pbkdf2HmacSha1(password, salts + lane * 16, 16, rounds, out + lane * outSize, outSize);
        return;
    }
    SHA_CTX inner, outer;
    hmacKeyStates(password, inner, outer);
    pbkdf2Wide(inner, outer, salts, rounds, out, outSize);
    OPENSSL_cleanse(&inner, sizeof inner);
    OPENSSL_cleanse(&outer, sizeof outer);
}

namespace {

// The algorithms, looked up once for the whole program: an archive of many small files would
// otherwise spend a good part of its time finding them again for every entry. Fetched objects
// and a keyed context that is only copied are safe to share between threads.
struct Algorithms {
    EVP_CIPHER *aes[3] = {}; // 128, 192, 256
    EVP_MAC *hmac = nullptr;
    EVP_MAC_CTX *sha1Hmac = nullptr; // HMAC-SHA1 with a key of no use: copied, then keyed anew

    Algorithms()
    {
        aes[0] = EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr);
        aes[1] = EVP_CIPHER_fetch(nullptr, "AES-192-ECB", nullptr);
        aes[2] = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
        hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
        sha1Hmac = hmac ? EVP_MAC_CTX_new(hmac) : nullptr;
        char digest[] = "SHA1";
        const unsigned char none[1] = {0};
        OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_END};
        if (sha1Hmac && EVP_MAC_init(sha1Hmac, none, sizeof none, params) != 1) {
            EVP_MAC_CTX_free(sha1Hmac);
            sha1Hmac = nullptr;
        }
    }
};

const Algorithms &algorithms()
{
    static const Algorithms a;
    return a;
}

} // namespace

WinZipAes::WinZipAes(const QByteArray &password, const unsigned char *salt, int saltSize)
{
    unsigned char keys[66];
    pbkdf2HmacSha1(password, salt, saltSize, 1000, keys, saltSize * 4 + 2);
    init(keys, saltSize * 2);
    OPENSSL_cleanse(keys, sizeof keys);
}

WinZipAes::WinZipAes(const unsigned char *keys, int keySize)
{
    init(keys, keySize);
}

void WinZipAes::init(const unsigned char *keys, int keySize)
{
    const Algorithms &alg = algorithms();
    const EVP_CIPHER *cipher = alg.aes[keySize == 32 ? 2 : keySize == 24 ? 1 : 0];
    std::memcpy(verifier, keys + keySize * 2, 2);
    m_cipher.reset(EVP_CIPHER_CTX_new());
    if (!cipher || !m_cipher || EVP_EncryptInit_ex(m_cipher.get(), cipher, nullptr, keys, nullptr) != 1)
        throw Error(QStringLiteral("Sifreleme baslatilamadi."));
    EVP_CIPHER_CTX_set_padding(m_cipher.get(), 0);
    m_mac.reset(alg.sha1Hmac ? EVP_MAC_CTX_dup(alg.sha1Hmac) : nullptr);
    if (!m_mac || EVP_MAC_init(m_mac.get(), keys + keySize, size_t(keySize), nullptr) != 1)
        throw Error(QStringLiteral("Sifreleme baslatilamadi."));
}

void WinZipAes::refill()
{
    // A stream's worth of counter blocks at a time, encrypted in one call.
    unsigned char blocks[sizeof m_stream] = {};
    for (size_t b = 0; b < sizeof m_stream / 16; ++b) {
        quint64 c = ++m_counter;
        for (int i = 0; i < 8; ++i, c >>= 8)
            blocks[b * 16 + size_t(i)] = (unsigned char)(c & 0xFF);
    }
    int outLen = 0;
    if (EVP_EncryptUpdate(m_cipher.get(), m_stream, &outLen, blocks, int(sizeof blocks)) != 1
        || outLen != int(sizeof blocks))
        throw Error(QStringLiteral("Sifreleme hatasi."));
    m_used = 0;
}

void WinZipAes::apply(unsigned char *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        if (m_used == sizeof m_stream)
            refill();
        const size_t n = std::min(size - done, sizeof m_stream - m_used);
        // Eight bytes at a time: a byte loop kept this below the speed of the HMAC.
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            quint64 d, k;
            std::memcpy(&d, data + done + i, 8);
            std::memcpy(&k, m_stream + m_used + i, 8);
            d ^= k;
            std::memcpy(data + done + i, &d, 8);
        }
        for (; i < n; ++i)
            data[done + i] ^= m_stream[m_used + i];
        m_used += n;
        done += n;
    }
}

void WinZipAes::encrypt(unsigned char *data, size_t size)
{
    apply(data, size);
    if (EVP_MAC_update(m_mac.get(), data, size) != 1)
        throw Error(QStringLiteral("Sifreleme hatasi."));
}

void WinZipAes::decrypt(unsigned char *data, size_t size)
{
    if (EVP_MAC_update(m_mac.get(), data, size) != 1)
        throw Error(QStringLiteral("Sifreleme hatasi."));
    apply(data, size);
}

void WinZipAes::finish(unsigned char *code)
{
    unsigned char full[EVP_MAX_MD_SIZE];
    size_t len = 0;
    if (EVP_MAC_final(m_mac.get(), full, &len, sizeof full) != 1 || len < size_t(kCodeSize))
        throw Error(QStringLiteral("Sifreleme hatasi."));
    std::memcpy(code, full, kCodeSize);
}

} // namespace kx
