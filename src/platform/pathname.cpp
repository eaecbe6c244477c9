#include "platform/pathname.h"

namespace kx {

namespace {

// Length of the valid UTF-8 sequence at p (at most `left` bytes), or 0 when there is none:
// overlong forms, surrogates and code points above U+10FFFF are not valid.
int sequenceAt(const unsigned char *p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (left < n || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < n; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return n;
}

} // namespace

bool isValidUtf8(const char *bytes, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    for (qsizetype i = 0; i < size;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int n = sequenceAt(p + i, size - i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

QString decodePath(const char *bytes, qsizetype size)
{
    if (isValidUtf8(bytes, size))
        return QString::fromUtf8(bytes, size);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const int n = sequenceAt(p + i, size - i);
        if (n == 0) {
            out.append(QChar(escapeByte(p[i])));
            ++i;
        } else {
            out.append(QString::fromUtf8(bytes + i, n));
            i += n;
        }
    }
    return out;
}

QByteArray encodePath(const QString &path)
{
    const char16_t *u = reinterpret_cast<const char16_t *>(path.constData());
    const qsizetype n = path.size();
    bool escaped = false;
    for (qsizetype i = 0; i < n && !escaped; ++i)
        escaped = escapedByte(u[i]) >= 0;
    if (!escaped)
        return path.toUtf8();
    QByteArray out;
    out.reserve(n * 3);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        const int b = i < n ? escapedByte(u[i]) : -1;
        // An escape is only one when it stands alone: a high surrogate before it would make the
        // pair a character of its own, which no decoding ever produces from these bytes.
        if (i < n && (b < 0 || (i > 0 && QChar::isHighSurrogate(u[i - 1]))))
            continue;
        out += QStringView(u + runStart, i - runStart).toUtf8();
        if (i < n)
            out += char(b);
        runStart = i + 1;
    }
    return out;
}

} // namespace kx
