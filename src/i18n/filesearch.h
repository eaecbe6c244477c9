#pragma once
// The translator: the language file read into memory once, and an index over that copy so a
// lookup is one hash probe. A lookup answers what the first occurrence of LF + key + "=" in the
// file gives: the bytes after it up to the next CR or the end of the file, keys compared through
// the code page's lower-case table. The first line can never match (no LF stands before it).
// The file on disk may change or shrink afterwards: nothing is read from it again.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>
#include <vector>

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

    // For lookups from other threads while nothing changes the translator: prepareSharedLookups
    // builds the index (on the translator's own thread), after which lookupShared, which reads
    // only, gives the value of a key or an empty string (keys spanning lines are not found).
    void prepareSharedLookups();
    QString lookupShared(const QString &key) const;

    // Test seam: called with every non-empty key a lookup of any translator finds no text for
    // (the language file's completeness test collects them).
    static void setMissingKeyHook(std::function<void(const QString &key)> hook);

    // Offset of the first match of the pattern in the image, by a plain scan (keys holding a
    // line feed, tests and the benchmark).
    qsizetype find(const QByteArray &pattern);

private:
    // One key of the index: where its text starts in the image, its length, and where its value
    // starts. Offsets fit 32 bits because the image stays under 4 GiB. A value offset is never 0
    // (a line feed and a separator stand before it), so 0 marks a free slot.
    struct Entry
    {
        quint32 keyStart = 0;
        quint32 keyLength = 0;
        quint32 value = 0;
        quint32 hash = 0;
    };

    void release();
    void prepare(const QByteArray &pattern);
    const std::array<unsigned char, 256> &foldTable() const { return CaseSensitive ? m_identity : m_lower; }
    void buildIndex();
    // `sameStart` and `sameLength`: the earlier key the line's last key was found equal to, and
    // its length; a longer key of the same line compared with the same earlier line starts
    // there, so a line repeated with many separators costs its length, not its square.
    void insert(quint32 keyStart, quint32 keyLength, quint32 hash, quint32 value, quint32 &sameStart,
                quint32 &sameLength);
    // Offset of the value of the first LF + key + separator, or -1.
    qsizetype valueOffset(const QString &key);
    // The key's hash through the fold table; false when the key holds a line feed.
    bool keyHash(const QByteArray &probe, quint32 &hash) const;
    qsizetype probeIndex(const QByteArray &probe, quint32 hash) const;
    QString valueAt(qsizetype from) const;
    bool indexCurrent() const;

    QByteArray m_image;
    QString m_filename;

    // Every key a line can offer (the text between a line feed and each separator after it on
    // the same line) to the offset of its value, the first occurrence winning; open addressing
    // over keys that stay in the image, so even a line of many separators costs only an entry
    // per separator. Valid for the case switch and separator it was built with.
    std::vector<Entry> m_slots;
    qsizetype m_used = 0;
    bool m_indexBuilt = false;
    bool m_indexCaseSensitive = false;
    char m_indexSeparator = '=';

    QByteArray m_probe; // the key of a lookup in the code page; reused
    QByteArray m_pattern;
    bool m_patternCaseSensitive = false;
    std::array<qsizetype, 256> m_shift{};
    qsizetype m_mismatchShift = 1;
    std::array<unsigned char, 256> m_lower{};
    std::array<unsigned char, 256> m_identity{};
};

} // namespace kx
