#pragma once
// WinZip's AES encryption of one ZIP entry: PBKDF2-HMAC-SHA1 (1000 rounds) over the password
// and the entry's salt gives the AES key, the HMAC key and a two-byte password verifier; the
// data runs through AES in counter mode with a little-endian block counter starting at 1, and
// the first ten bytes of the HMAC-SHA1 of the encrypted data close the entry. The salt is 8,
// 12 or 16 bytes for AES-128, -192 or -256.

#include <QByteArray>
#include <memory>

#include <openssl/evp.h>

namespace kx {

// PBKDF2 with HMAC-SHA1, as the key derivation of every entry needs it.
void pbkdf2HmacSha1(const QByteArray &password, const unsigned char *salt, int saltSize, int rounds, unsigned char *out,
                    int outSize);

// The same for sixteen 16-byte salts (AES-256 entries) at once: `salts` holds them one after
// the other, `out` gets outSize bytes (at most 80) for each. Where the processor has AVX-512
// the sixteen run side by side, one in each lane of its registers; elsewhere one by one.
constexpr int kKeyLanes = 16;
void pbkdf2HmacSha1Lanes(const QByteArray &password, const unsigned char *salts, int rounds, unsigned char *out,
                         int outSize);
// Whether the side-by-side routine runs; tests switch it off to check the other.
bool wideKeyDerivation();
void setWideKeyDerivation(bool allowed);

class WinZipAes
{
public:
    static constexpr int kCodeSize = 10;

    // Throws kx::Error when the key cannot be made.
    WinZipAes(const QByteArray &password, const unsigned char *salt, int saltSize);
    // From keys derived already: the AES key, the HMAC key (keySize bytes each), the verifier.
    WinZipAes(const unsigned char *keys, int keySize);

    // Encrypting and decrypting are the same XOR; the HMAC always runs over the encrypted bytes.
    void encrypt(unsigned char *data, size_t size);
    void decrypt(unsigned char *data, size_t size);
    // The ten-byte authentication code of everything seen.
    void finish(unsigned char *code);

    unsigned char verifier[2];

private:
    void init(const unsigned char *keys, int keySize);
    void apply(unsigned char *data, size_t size);
    void refill();

    struct CipherFree {
        void operator()(EVP_CIPHER_CTX *c) const { EVP_CIPHER_CTX_free(c); }
    };
    struct MacFree {
        void operator()(EVP_MAC_CTX *c) const { EVP_MAC_CTX_free(c); }
    };
    std::unique_ptr<EVP_CIPHER_CTX, CipherFree> m_cipher;
    std::unique_ptr<EVP_MAC_CTX, MacFree> m_mac;
    quint64 m_counter = 0;
    unsigned char m_stream[16 * 256];
    size_t m_used = sizeof m_stream;
};

} // namespace kx
