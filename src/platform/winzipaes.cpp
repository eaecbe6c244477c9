// The plain SHA-1 calls are marked deprecated in OpenSSL 3 but are the fast way to run the
// thousands of rounds of the key derivation.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "platform/winzipaes.h"
#include "platform/kxerror.h"

#include <QtEndian>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstring>

namespace kx {

void pbkdf2HmacSha1(const QByteArray &password, const unsigned char *salt, int saltSize, int rounds, unsigned char *out,
                    int outSize)
{
    // HMAC with the inner and outer key states computed once: each round is then two SHA-1
    // blocks and a copy of a small struct, where the general routine rebuilds its contexts.
    unsigned char key[64] = {};
    bool ok = true;
    if (password.size() > 64)
        ok = SHA1(reinterpret_cast<const unsigned char *>(password.constData()), size_t(password.size()), key) != nullptr;
    else
        std::memcpy(key, password.constData(), size_t(password.size()));
    unsigned char pad[64];
    SHA_CTX inner, outer;
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
    const int keySize = saltSize * 2; // 16, 24 or 32
    const Algorithms &alg = algorithms();
    const EVP_CIPHER *cipher = alg.aes[keySize == 32 ? 2 : keySize == 24 ? 1 : 0];
    unsigned char keys[66];
    const int total = keySize * 2 + 2;
    pbkdf2HmacSha1(password, salt, saltSize, 1000, keys, total);
    std::memcpy(verifier, keys + keySize * 2, 2);
    m_cipher.reset(EVP_CIPHER_CTX_new());
    if (!cipher || !m_cipher || EVP_EncryptInit_ex(m_cipher.get(), cipher, nullptr, keys, nullptr) != 1)
        throw Error(QStringLiteral("Sifreleme baslatilamadi."));
    EVP_CIPHER_CTX_set_padding(m_cipher.get(), 0);
    m_mac.reset(alg.sha1Hmac ? EVP_MAC_CTX_dup(alg.sha1Hmac) : nullptr);
    if (!m_mac || EVP_MAC_init(m_mac.get(), keys + keySize, size_t(keySize), nullptr) != 1)
        throw Error(QStringLiteral("Sifreleme baslatilamadi."));
    OPENSSL_cleanse(keys, sizeof keys);
}

void WinZipAes::refill()
{
    // Sixty-four counter blocks at a time, encrypted in one call.
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
        for (size_t i = 0; i < n; ++i)
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
