#include "i18n/filesearch.h"
#include "core/codepage.h"

namespace kx {

TFileSearch::TFileSearch()
{
    for (int i = 0; i < 256; ++i)
        m_lower[i] = codepage::toLowerByte((unsigned char)i);
}

TFileSearch::~TFileSearch()
{
    release();
}

void TFileSearch::release()
{
    if (m_file && m_image && m_ownedImage.isEmpty())
        m_file->unmap(const_cast<uchar *>(m_image));
    m_file.reset();
    m_ownedImage.clear();
    m_image = nullptr;
    m_size = 0;
    m_filename.clear();
}

void TFileSearch::setFilename(const QString &path)
{
    release();
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return;
    const qint64 size = file->size();
    if (size <= 0 || size >= (qint64(1) << 32))
        return;
    uchar *mapped = file->map(0, size);
    if (mapped) {
        m_image = mapped;
    } else {
        m_ownedImage = file->readAll();
        if (m_ownedImage.size() != size) {
            m_ownedImage.clear();
            return;
        }
        m_image = reinterpret_cast<const uchar *>(m_ownedImage.constData());
    }
    m_size = qsizetype(size);
    m_file = std::move(file);
    m_filename = path;
}

void TFileSearch::prepare(const QByteArray &pattern)
{
    if (pattern == m_pattern && CaseSensitive == m_patternCaseSensitive)
        return;
    m_pattern = pattern;
    m_patternCaseSensitive = CaseSensitive;
    const qsizetype m = pattern.size();
    auto fold = [this](char c) { return CaseSensitive ? (unsigned char)c : m_lower[(unsigned char)c]; };
    m_shift.fill(m);
    for (qsizetype j = 0; j + 1 < m; ++j)
        m_shift[fold(pattern[j])] = m - 1 - j;
    const unsigned char last = fold(pattern[m - 1]);
    m_mismatchShift = m_shift[last];
    m_shift[last] = 0; // marks a candidate position
}

qsizetype TFileSearch::find(const QByteArray &pattern)
{
    const qsizetype m = pattern.size();
    if (!m_image || m == 0 || m_size < m)
        return -1;
    prepare(pattern);
    auto fold = [this](uchar c) { return CaseSensitive ? c : m_lower[c]; };
    const uchar *p = reinterpret_cast<const uchar *>(m_pattern.constData());
    qsizetype pos = m - 1;
    while (pos < m_size) {
        const qsizetype s = m_shift[fold(m_image[pos])];
        if (s != 0) {
            pos += s;
            continue;
        }
        const qsizetype start = pos - (m - 1);
        qsizetype j = 0;
        while (j < m - 1 && fold(m_image[start + j]) == fold(p[j]))
            ++j;
        if (j == m - 1)
            return start;
        pos += m_mismatchShift;
    }
    return -1;
}

QString TFileSearch::lookup(const QString &key, bool fallback)
{
    DonusDegeri.clear();
    const QByteArray pattern = '\n' + codepage::encode(key) + Ayirac;
    const qsizetype at = find(pattern);
    if (at >= 0) {
        const qsizetype from = at + pattern.size();
        qsizetype to = from;
        while (to < m_size && m_image[to] != '\r')
            ++to;
        DonusDegeri = codepage::decode(reinterpret_cast<const char *>(m_image) + from, to - from);
    }
    if (DonusDegeri.isEmpty() && fallback)
        DonusDegeri = key;
    return DonusDegeri;
}

} // namespace kx
