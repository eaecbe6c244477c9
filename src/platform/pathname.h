#pragma once
// File names on Linux are bytes, not text. Names written by other systems (old Windows disks,
// archives, network shares) are often in a single-byte code page and are no valid UTF-8. Every
// path the program hands to the system, or gets from it, passes through this pair, which keeps
// such names exactly: valid UTF-8 becomes its text, and every byte that is no part of a valid
// UTF-8 sequence becomes the lone surrogate U+DC80 + (byte - 0x80), which goes back to the same
// byte. Qt's own file classes would turn those bytes into U+FFFD and lose the file.

#include <QByteArray>
#include <QString>

namespace kx {

QString decodePath(const char *bytes, qsizetype size);
inline QString decodePath(const QByteArray &bytes)
{
    return decodePath(bytes.constData(), bytes.size());
}
QByteArray encodePath(const QString &path);

// The byte a character stands for when it is such an escape, else -1.
inline int escapedByte(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF ? int(c - 0xDC00) : -1;
}
inline char16_t escapeByte(unsigned char b)
{
    return char16_t(0xDC00 + b);
}

// The bytes are valid UTF-8 (as an archive's UTF-8 flag promises).
bool isValidUtf8(const char *bytes, qsizetype size);
inline bool isValidUtf8(const QByteArray &bytes)
{
    return isValidUtf8(bytes.constData(), bytes.size());
}

} // namespace kx
