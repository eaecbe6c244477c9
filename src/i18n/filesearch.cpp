#include "i18n/filesearch.h"
#include "core/codepage.h"

#include <QFile>

namespace kx {

TFileSearch::TFileSearch()
{
    for (int i = 0; i < 256; ++i)
        m_lower[i] = codepage::toLowerByte((unsigned char)i);
}

void TFileSearch::release()
{
    m_image.clear();
    m_filename.clear();
    m_index.clear();
    m_indexBuilt = false;
}

void TFileSearch::setFilename(const QString &path)
{
    release();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qint64 size = file.size();
    if (size <= 0 || size >= (qint64(1) << 32))
        return;
    // Read once into memory: a file truncated or replaced while the program runs must not take
    // the program down, as a mapping of it would.
    QByteArray image = file.readAll();
    if (image.isEmpty() || file.error() != QFileDevice::NoError)
        return;
    m_image = std::move(image);
    m_filename = path;
}

QByteArray TFileSearch::folded(const char *data, qsizetype size) const
{
    QByteArray out(data, size);
    if (!CaseSensitive)
        for (char &c : out)
            c = char(m_lower[(unsigned char)c]);
    return out;
}

void TFileSearch::buildIndex()
{
    m_index.clear();
    m_indexBuilt = true;
    m_indexCaseSensitive = CaseSensitive;
    m_indexSeparator = Ayirac;
    const char *img = m_image.constData();
    const qsizetype n = m_image.size();
    for (qsizetype lf = 0; lf < n; ++lf) {
        if (img[lf] != '\n')
            continue;
        // Every separator up to the next line feed ends a key this line answers: "a=b=c"
        // answers "a" with "b=c" and "a=b" with "c".
        qsizetype p = lf + 1;
        for (; p < n && img[p] != '\n'; ++p) {
            if (img[p] != Ayirac)
                continue;
            const QByteArray key = folded(img + lf + 1, p - lf - 1);
            if (!m_index.contains(key))
                m_index.insert(key, p + 1);
        }
        lf = p - 1;
    }
}

qsizetype TFileSearch::valueOffset(const QString &key)
{
    if (m_image.isEmpty())
        return -1;
    codepage::encodeInto(key, m_probe);
    // A key that holds a line feed spans lines; only a scan finds it.
    if (m_probe.contains('\n')) {
        const QByteArray pattern = '\n' + m_probe + Ayirac;
        const qsizetype at = find(pattern);
        return at < 0 ? -1 : at + pattern.size();
    }
    if (!m_indexBuilt || m_indexCaseSensitive != CaseSensitive || m_indexSeparator != Ayirac)
        buildIndex();
    if (!CaseSensitive)
        for (char &c : m_probe)
            c = char(m_lower[(unsigned char)c]);
    return m_index.value(m_probe, -1);
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
    const qsizetype size = m_image.size();
    if (m_image.isEmpty() || m == 0 || size < m)
        return -1;
    prepare(pattern);
    const uchar *image = reinterpret_cast<const uchar *>(m_image.constData());
    auto fold = [this](uchar c) { return CaseSensitive ? c : m_lower[c]; };
    const uchar *p = reinterpret_cast<const uchar *>(m_pattern.constData());
    qsizetype pos = m - 1;
    while (pos < size) {
        const qsizetype s = m_shift[fold(image[pos])];
        if (s != 0) {
            pos += s;
            continue;
        }
        const qsizetype start = pos - (m - 1);
        qsizetype j = 0;
        while (j < m - 1 && fold(image[start + j]) == fold(p[j]))
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
    const qsizetype from = valueOffset(key);
    if (from >= 0) {
        qsizetype to = from;
        const qsizetype size = m_image.size();
        const char *image = m_image.constData();
        while (to < size && image[to] != '\r')
            ++to;
        DonusDegeri = codepage::decode(image + from, to - from);
    }
    if (DonusDegeri.isEmpty() && fallback)
        DonusDegeri = key;
    return DonusDegeri;
}

} // namespace kx
