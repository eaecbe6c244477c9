#pragma once
// What the fuzz targets share: a check that stops the run with a readable reason (libFuzzer
// keeps the input that got there), the input as bytes, and a scratch file for the parsers that
// read from disk.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define KX_FUZZ_CHECK(cond)                                                                        \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace kx::fuzz {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Keys and section names as the program's own code writes them: plain ASCII, no separator.
inline bool plainName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_')
            return false;
    return true;
}

// A file of the target's own, rewritten with each input. Kept in memory where the system offers
// a folder for it: the parsers that save write with fsync, which on a disk slows a run tenfold.
inline QString scratchFile(const QString &name)
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/kx-fuzz-XXXXXX")
                                 : QString());
    if (!dir.isValid())
        std::abort();
    return dir.filePath(name);
}

inline void writeScratch(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        std::abort();
}

} // namespace kx::fuzz
