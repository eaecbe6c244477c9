#include "core/codepage.h"
#include "platform/pathname.h"

#include <QHash>
#include <array>

namespace kx::codepage {

namespace {

// Windows-1254 bytes 0x80..0xFF. Undefined positions keep the C1 control of the same number.
const char16_t kHighHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF,
};

const QHash<char16_t, char> &reverseTable()
{
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        for (int i = 0; i < 128; ++i)
            t.insert(kHighHalf[i], char(0x80 + i));
        return t;
    }();
    return table;
}

// -1 when the character has no byte in the code page.
int byteOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u;
    // A file name byte that was no UTF-8 (see platform/pathname.h) is written as that byte.
    if (const int b = escapedByte(u); b >= 0)
        return b;
    const auto &rev = reverseTable();
    auto it = rev.constFind(u);
    return it == rev.constEnd() ? -1 : (unsigned char)it.value();
}

} // namespace

QString decode(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char b = (unsigned char)data[i];
        dst[i] = QChar(b < 0x80 ? char16_t(b) : kHighHalf[b - 0x80]);
    }
    return out;
}

QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

void encodeInto(const QString &text, QByteArray &out)
{
    out.resize(text.size());
    char *dst = out.data();
    const QChar *src = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteOf(src[i]);
        dst[i] = b < 0 ? '?' : char(b);
    }
}

QByteArray encode(const QString &text)
{
    QByteArray out;
    encodeInto(text, out);
    return out;
}

QChar firstUnencodable(const QString &text)
{
    for (QChar c : text)
        if (byteOf(c) < 0)
            return c;
    return QChar();
}

bool canEncode(const QString &text)
{
    return firstUnencodable(text).isNull();
}

QStringList splitLines(const QByteArray &bytes)
{
    QStringList lines;
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\n') {
            lines.append(decode(p + start, i - start));
            if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(decode(p + start, n - start));
    return lines;
}

QByteArray joinLines(const QStringList &lines)
{
    QByteArray out;
    qsizetype total = 0;
    for (const QString &l : lines)
        total += l.size() + 2;
    out.reserve(total);
    for (const QString &l : lines) {
        out.append(encode(l));
        out.append("\r\n", 2);
    }
    return out;
}

unsigned char toLowerByte(unsigned char b)
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i) {
            t[i] = (unsigned char)i;
            const QChar c = decode(QByteArray(1, char(i))).at(0);
            const QChar lower = c.toLower();
            if (lower != c) {
                const int lb = byteOf(lower);
                if (lb >= 0)
                    t[i] = (unsigned char)lb;
            }
        }
        return t;
    }();
    return table[b];
}

} // namespace kx::codepage
