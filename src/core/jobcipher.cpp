#include "core/jobcipher.h"

#include "core/blowfish_tables.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kx
{

namespace
{

constexpr int kBlock = 8;

std::uint32_t readWord(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

void writeWord(unsigned char *p, std::uint32_t w)
{
    p[0] = static_cast<unsigned char>(w >> 24);
    p[1] = static_cast<unsigned char>(w >> 16);
    p[2] = static_cast<unsigned char>(w >> 8);
    p[3] = static_cast<unsigned char>(w);
}

const Blowfish &jobFieldCipher()
{
    // The key is fixed, so expand it once; function-local statics initialise thread-safely.
    static const Blowfish cipher(QByteArrayView("mtkopyarx_5203917468"));
    return cipher;
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Job files were written by a decoder with its own rules, so QByteArray::fromBase64 is not used.
QByteArray decodeBase64(const QByteArray &text)
{
    QByteArray out;
    if (text.isEmpty() || text.size() % 4 != 0)
        return out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int pending = 0; // bits collected in 'bits' not yet emitted
    for (char c : text) {
        const int v = base64Value(c);
        // Any character outside the alphabet, '=' too, ends the data; only whole bytes are kept.
        if (v < 0)
            break;
        bits = (bits << 6) | std::uint32_t(v);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            out.append(static_cast<char>((bits >> pending) & 0xFF));
        }
    }
    return out;
}

} // namespace

Blowfish::Blowfish(QByteArrayView key)
{
    std::copy(std::begin(blowfish::kInitialP), std::end(blowfish::kInitialP), m_p.begin());
    for (int box = 0; box < 4; ++box)
        std::copy(std::begin(blowfish::kInitialS[box]), std::end(blowfish::kInitialS[box]), m_s[box].begin());

    if (!key.isEmpty()) {
        qsizetype k = 0;
        for (auto &p : m_p) {
            std::uint32_t word = 0;
            for (int i = 0; i < 4; ++i) {
                word = (word << 8) | static_cast<unsigned char>(key[k]);
                k = (k + 1) % key.size();
            }
            p ^= word;
        }
    }

    std::uint32_t left = 0, right = 0;
    for (std::size_t i = 0; i < m_p.size(); i += 2) {
        encrypt(left, right);
        m_p[i] = left;
        m_p[i + 1] = right;
    }
    for (auto &box : m_s) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            encrypt(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

std::uint32_t Blowfish::f(std::uint32_t x) const
{
    return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xFF]) ^ m_s[2][(x >> 8) & 0xFF]) + m_s[3][x & 0xFF];
}

void Blowfish::encrypt(std::uint32_t &left, std::uint32_t &right) const
{
    for (int i = 0; i < 16; ++i) {
        left ^= m_p[i];
        right ^= f(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= m_p[16];
    left ^= m_p[17];
}

void Blowfish::decrypt(std::uint32_t &left, std::uint32_t &right) const
{
    for (int i = 17; i > 1; --i) {
        left ^= m_p[i];
        right ^= f(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= m_p[1];
    left ^= m_p[0];
}

void Blowfish::encryptBlock(unsigned char *block) const
{
    std::uint32_t left = readWord(block), right = readWord(block + 4);
    encrypt(left, right);
    writeWord(block, left);
    writeWord(block + 4, right);
}

void Blowfish::decryptBlock(unsigned char *block) const
{
    std::uint32_t left = readWord(block), right = readWord(block + 4);
    decrypt(left, right);
    writeWord(block, left);
    writeWord(block + 4, right);
}

QByteArray EncryptJobField(const QByteArray &plain)
{
    if (plain.isEmpty())
        return {};
    const int pad = kBlock - int(plain.size() % kBlock);
    QByteArray data = plain;
    data.append(pad, static_cast<char>(pad));
    auto *bytes = reinterpret_cast<unsigned char *>(data.data());
    const Blowfish &cipher = jobFieldCipher();
    for (qsizetype at = 0; at < data.size(); at += kBlock)
        cipher.encryptBlock(bytes + at);
    return data.toBase64();
}

QByteArray DecryptJobField(const QByteArray &stored)
{
    QByteArray data = decodeBase64(stored);
    if (data.isEmpty())
        return data;

    // A damaged text can leave a tail shorter than a block; it is passed through as it is.
    auto *bytes = reinterpret_cast<unsigned char *>(data.data());
    const Blowfish &cipher = jobFieldCipher();
    for (qsizetype at = 0; at + kBlock <= data.size(); at += kBlock)
        cipher.decryptBlock(bytes + at);

    // Padding that does not look right is left in place rather than guessed at.
    const int n = static_cast<unsigned char>(data.back());
    if (n < 1 || n > kBlock || data.size() < n)
        return data;
    for (qsizetype i = data.size() - n; i < data.size() - 1; ++i) {
        if (static_cast<unsigned char>(data[i]) != n)
            return data;
    }
    data.chop(n);
    return data;
}

} // namespace kx
