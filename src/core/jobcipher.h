#pragma once
// The one enciphered field of a job file (the password of a network share or mail account).
// It is stored as Base64 of Blowfish-ECB over the password bytes, padded to whole blocks with
// n bytes of value n. Callers convert between QString and the job file's code page.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace kx
{

// Plain Blowfish: 64-bit blocks, 16 rounds, halves packed big-endian (first four bytes = left).
class Blowfish
{
public:
    // Key bytes are used cyclically; an empty key leaves the start values as they are.
    explicit Blowfish(QByteArrayView key);

    // Works on exactly eight bytes in place.
    void encryptBlock(unsigned char *block) const;
    void decryptBlock(unsigned char *block) const;

private:
    std::uint32_t f(std::uint32_t x) const;
    void encrypt(std::uint32_t &left, std::uint32_t &right) const;
    void decrypt(std::uint32_t &left, std::uint32_t &right) const;

    std::array<std::uint32_t, 18> m_p;
    std::array<std::array<std::uint32_t, 256>, 4> m_s;
};

// Empty in, empty out; otherwise pad, encipher and return single-line Base64.
QByteArray EncryptJobField(const QByteArray &plain);

// Tolerant of anything found in a job file: damaged text yields a shorter or empty result,
// never an exception.
QByteArray DecryptJobField(const QByteArray &stored);

} // namespace kx
