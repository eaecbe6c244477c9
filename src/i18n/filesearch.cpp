#include "i18n/filesearch.h"
#include "core/codepage.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace kx {

namespace {

// Keys are hashed a byte at a time (FNV-1a) so that every key of a line, each a prefix of the
// next, costs one step per byte while the line is walked; the finish spreads the bits for the
// slot number.
constexpr quint64 hashSeed = 0xcbf29ce484222325ULL;

inline quint64 hashStep(quint64 h, unsigned char c)
{
    return (h ^ c) * 0x100000001b3ULL;
}

inline quint32 hashFinish(quint64 h, quint64 length)
{
    h ^= length * 0x9e3779b97f4a7c15ULL;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return quint32(h);
}

constexpr qsizetype initialSlots = 1024;

std::function<void(const QString &)> &missingKeyHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

} // namespace

TFileSearch::TFileSearch()
{
    for (int i = 0; i < 256; ++i) {
        m_lower[i] = codepage::toLowerByte((unsigned char)i);
        m_identity[i] = (unsigned char)i;
    }
}

void TFileSearch::release()
{
    m_image.clear();
    m_filename.clear();
    std::vector<Entry>().swap(m_slots);
    m_used = 0;
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
    if (image.isEmpty() || image.size() >= (qint64(1) << 32) || file.error() != QFileDevice::NoError)
        return;
    m_image = std::move(image);
    m_filename = path;
}

void TFileSearch::insert(quint32 keyStart, quint32 keyLength, quint32 hash, quint32 value, quint32 &sameStart,
                         quint32 &sameLength)
{
    if (qsizetype(m_used + 1) * 2 > qsizetype(m_slots.size())) {
        std::vector<Entry> old(std::max<qsizetype>(initialSlots, qsizetype(m_slots.size()) * 2));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Entry &e : old) {
            if (e.value == 0)
                continue;
            size_t i = e.hash & mask;
            while (m_slots[i].value != 0)
                i = (i + 1) & mask;
            m_slots[i] = e;
        }
    }
    const auto &t = foldTable();
    const auto *img = reinterpret_cast<const unsigned char *>(m_image.constData());
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    for (; m_slots[i].value != 0; i = (i + 1) & mask) {
        const Entry &e = m_slots[i];
        if (e.hash != hash || e.keyLength != keyLength)
            continue;
        quint32 j = e.keyStart == sameStart ? sameLength : 0;
        while (j < keyLength && t[img[e.keyStart + j]] == t[img[keyStart + j]])
            ++j;
        if (j == keyLength) {
            sameStart = e.keyStart;
            sameLength = keyLength;
            return; // an earlier line gave this key already
        }
    }
    m_slots[i] = Entry{keyStart, keyLength, value, hash};
    ++m_used;
}

void TFileSearch::buildIndex()
{
    std::vector<Entry>().swap(m_slots);
    m_used = 0;
    m_indexBuilt = true;
    m_indexCaseSensitive = CaseSensitive;
    m_indexSeparator = Ayirac;
    // Line feeds and separators are found through the fold table too, as the scan compares
    // every byte of the pattern that way.
    const auto &t = foldTable();
    const unsigned char lineFeed = t['\n'];
    const unsigned char separator = t[(unsigned char)Ayirac];
    const auto *img = reinterpret_cast<const unsigned char *>(m_image.constData());
    const qsizetype n = m_image.size();
    qsizetype lf = 0;
    while (lf < n) {
        if (t[img[lf]] != lineFeed) {
            ++lf;
            continue;
        }
        // Every separator up to the next line feed ends a key this line answers: "a=b=c"
        // answers "a" with "b=c" and "a=b" with "c". A separator that is itself a line feed
        // ends both the key and the line.
        const qsizetype start = lf + 1;
        quint32 sameStart = 0;
        quint32 sameLength = 0;
        quint64 h = hashSeed;
        qsizetype p = start;
        for (; p < n; ++p) {
            const unsigned char c = t[img[p]];
            if (c == separator)
                insert(quint32(start), quint32(p - start), hashFinish(h, quint64(p - start)), quint32(p + 1), sameStart,
                       sameLength);
            if (c == lineFeed)
                break;
            h = hashStep(h, c);
        }
        lf = p; // the next line feed starts the next line's keys
    }
}

bool TFileSearch::keyHash(const QByteArray &probe, quint32 &hash) const
{
    const auto &t = foldTable();
    const unsigned char lineFeed = t['\n'];
    quint64 h = hashSeed;
    bool spansLines = false;
    for (char c : probe) {
        const unsigned char f = t[(unsigned char)c];
        spansLines = spansLines || f == lineFeed;
        h = hashStep(h, f);
    }
    hash = hashFinish(h, quint64(probe.size()));
    return !spansLines;
}

qsizetype TFileSearch::probeIndex(const QByteArray &probe, quint32 hash) const
{
    if (m_slots.empty())
        return -1;
    const auto &t = foldTable();
    const auto *img = reinterpret_cast<const unsigned char *>(m_image.constData());
    const auto *k = reinterpret_cast<const unsigned char *>(probe.constData());
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask; m_slots[i].value != 0; i = (i + 1) & mask) {
        const Entry &e = m_slots[i];
        if (e.hash != hash || e.keyLength != quint32(probe.size()))
            continue;
        quint32 j = 0;
        while (j < e.keyLength && t[img[e.keyStart + j]] == t[k[j]])
            ++j;
        if (j == e.keyLength)
            return e.value;
    }
    return -1;
}

QString TFileSearch::valueAt(qsizetype from) const
{
    const char *image = m_image.constData();
    const auto *cr = static_cast<const char *>(std::memchr(image + from, '\r', size_t(m_image.size() - from)));
    const qsizetype to = cr ? cr - image : m_image.size();
    return codepage::decode(image + from, to - from);
}

bool TFileSearch::indexCurrent() const
{
    return m_indexBuilt && m_indexCaseSensitive == CaseSensitive && m_indexSeparator == Ayirac;
}

qsizetype TFileSearch::valueOffset(const QString &key)
{
    // LF + key + separator must fit in the image (a key's code page form has one byte a
    // character).
    if (m_image.isEmpty() || key.size() + 2 > m_image.size())
        return -1;
    codepage::encodeInto(key, m_probe);
    quint32 hash = 0;
    // A key that holds a line feed spans lines; only a scan finds it.
    if (!keyHash(m_probe, hash)) {
        const QByteArray pattern = '\n' + m_probe + Ayirac;
        const qsizetype at = find(pattern);
        return at < 0 ? -1 : at + pattern.size();
    }
    if (!indexCurrent())
        buildIndex();
    return probeIndex(m_probe, hash);
}

void TFileSearch::prepareSharedLookups()
{
    if (!m_image.isEmpty() && !indexCurrent())
        buildIndex();
}

QString TFileSearch::lookupShared(const QString &key) const
{
    if (m_image.isEmpty() || key.isEmpty() || key.size() + 2 > m_image.size() || !indexCurrent())
        return QString();
    QByteArray probe;
    codepage::encodeInto(key, probe);
    quint32 hash = 0;
    if (!keyHash(probe, hash))
        return QString();
    const qsizetype at = probeIndex(probe, hash);
    return at < 0 ? QString() : valueAt(at);
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
    if (from >= 0)
        DonusDegeri = valueAt(from);
    if (DonusDegeri.isEmpty()) {
        if (missingKeyHook() && !key.isEmpty())
            missingKeyHook()(key);
        if (fallback)
            DonusDegeri = key;
    }
    return DonusDegeri;
}

void TFileSearch::setMissingKeyHook(std::function<void(const QString &key)> hook)
{
    missingKeyHook() = std::move(hook);
}

} // namespace kx
