#pragma once
// Code page 857, the OEM code page of Turkish DOS and Windows. ZIP tools on those systems store
// entry names in it when the UTF-8 flag is not set, and older archivers took the password's
// bytes from it.

#include <QByteArray>
#include <QString>

namespace kx::cp857 {

// Never fails: the three bytes the code page leaves undefined become the escapes of
// platform/pathname.h, so such a name is written back as the bytes it had.
QString decode(const char *data, qsizetype size);
inline QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

// False when a character has no byte in the code page; `out` is then left incomplete.
bool encode(const QString &text, QByteArray &out);

} // namespace kx::cp857
