#pragma once
// The translator: the language file read into memory once, and an index over that copy so a
// lookup is one hash probe. A lookup answers what the first occurrence of LF + key + "=" in the
// file gives: the bytes after it up to the next CR or the end of the file, keys compared through
// the code page's lower-case table. The first line can never match (no LF stands before it).
// The file on disk may change or shrink afterwards: nothing is read from it again.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>

namespace kx {

class TFileSearch
{
public:
    TFileSearch();
    TFileSearch(const TFileSearch &) = delete;
    TFileSearch &operator=(const TFileSearch &) = delete;

    // Reads the file as the image; an empty file, one that cannot be read or one of 4 GiB or
    // more leaves the translator empty.
    void setFilename(const QString &path);
    QString filename() const { return m_filename; }
    bool hasImage() const { return !m_image.isEmpty(); }

    bool CaseSensitive = false;
    char Ayirac = '=';

    // The bytes after LF + key + "=" up to the next CR; with fallback, the key itself when
    // nothing (or an empty value) is found. The result is kept in DonusDegeri as well.
    QString lookup(const QString &key, bool fallback);
    QString DonusDegeri;

    // Offset of the first match of the pattern in the image, by a plain scan (keys holding a
    // line feed, tests and the benchmark).
    qsizetype find(const QByteArray &pattern);

private:
    void release();
    void prepare(const QByteArray &pattern);
    void buildIndex();
    QByteArray folded(const char *data, qsizetype size) const;
    // Offset of the value of the first LF + key + separator, or -1.
    qsizetype valueOffset(const QString &key);

    QByteArray m_image;
    QString m_filename;

    // Every key a line can offer (the text between a line feed and each separator after it on
    // the same line), folded, to the offset of its value; the first occurrence wins. Built for
    // the case switch and separator it was made with.
    QHash<QByteArray, qsizetype> m_index;
    bool m_indexBuilt = false;
    bool m_indexCaseSensitive = false;
    char m_indexSeparator = '=';

    QByteArray m_probe; // the key of a lookup in the code page, folded; reused
    QByteArray m_pattern;
    bool m_patternCaseSensitive = false;
    std::array<qsizetype, 256> m_shift{};
    qsizetype m_mismatchShift = 1;
    std::array<unsigned char, 256> m_lower{};
};

} // namespace kx
