#pragma once
// The translator: the language file held in memory as one read-only mapped image, and a
// case-blind Boyer-Moore-Horspool scan of it for LF + key + "=". The value runs from there to
// the next CR or the end of the image. The first line can never match (no LF stands before it).

#include <QByteArray>
#include <QFile>
#include <QString>
#include <array>
#include <memory>

namespace kx {

class TFileSearch
{
public:
    TFileSearch();
    ~TFileSearch();
    TFileSearch(const TFileSearch &) = delete;
    TFileSearch &operator=(const TFileSearch &) = delete;

    // Loads the file as the image; an empty file, one that cannot be opened or one of 4 GiB or
    // more leaves the translator empty.
    void setFilename(const QString &path);
    QString filename() const { return m_filename; }
    bool hasImage() const { return m_size > 0; }

    bool CaseSensitive = false;
    char Ayirac = '=';

    // The bytes after LF + key + "=" up to the next CR; with fallback, the key itself when
    // nothing (or an empty value) is found. The result is kept in DonusDegeri as well.
    QString lookup(const QString &key, bool fallback);
    QString DonusDegeri;

    // Offset of the first match of the pattern in the image (tests and the benchmark).
    qsizetype find(const QByteArray &pattern);

private:
    void release();
    void prepare(const QByteArray &pattern);

    std::unique_ptr<QFile> m_file;
    const uchar *m_image = nullptr;
    qsizetype m_size = 0;
    QString m_filename;
    QByteArray m_ownedImage; // when the file system cannot map the file

    QByteArray m_pattern;
    bool m_patternCaseSensitive = false;
    std::array<qsizetype, 256> m_shift{};
    qsizetype m_mismatchShift = 1;
    std::array<unsigned char, 256> m_lower{};
};

} // namespace kx
