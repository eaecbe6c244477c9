#include "archive/zipengine.h"
#include "platform/confined.h"
#include "platform/fd.h"
#include "archive/cp857.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "platform/tempname.h"
#include "archive/winzipaes.h"
#include "archive/zipwriter.h"
#include "platform/headway.h"

#include <QSet>
#include <QtEndian>

#include <libdeflate.h>
#include <zip.h>
#include <zlib.h>

#include <openssl/crypto.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

ArchiveFailure archiveFailure(int code)
{
    // The library's own texts are English; the program says what went wrong in its own words,
    // which the language file translates.
    switch (code) {
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_NOPASSWD:
        return {QStringLiteral("\"%1\": Parola yanlis."), false};
    case ZIP_ER_CRC:
        return {QStringLiteral("\"%1\": Dosya bozuk; denetim toplami (CRC) tutmuyor."), false};
    case ZIP_ER_INCONS:
        return {QStringLiteral("\"%1\": Arsiv tutarsiz ya da bozuk."), false};
    case ZIP_ER_NOZIP:
        return {QStringLiteral("\"%1\": Dosya bir ZIP arsivi degil."), false};
    case ZIP_ER_EOF:
        return {QStringLiteral("\"%1\": Arsiv eksik; dosya beklenenden once bitiyor."), false};
    case ZIP_ER_ENCRNOTSUPP:
        return {QStringLiteral("\"%1\": Bu sifreleme yontemi desteklenmiyor."), false};
    case ZIP_ER_COMPNOTSUPP:
        return {QStringLiteral("\"%1\": Bu sikistirma yontemi desteklenmiyor."), false};
    case ZIP_ER_COMPRESSED_DATA:
        return {QStringLiteral("\"%1\": Sikistirilmis veri bozuk."), false};
    case ZIP_ER_MEMORY:
        return {QStringLiteral("\"%1\": Bellek yetersiz."), false};
    case ZIP_ER_MULTIDISK:
        return {QStringLiteral("\"%1\": Birden cok parcaya bolunmus arsivler desteklenmiyor."), false};
    case ZIP_ER_OPEN:
        return {QStringLiteral("\"%1\" dosyasi acilamadi. %2"), true};
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        return {QStringLiteral("\"%1\" dosyasi okunamadi. %2"), true};
    case ZIP_ER_TMPOPEN:
    case ZIP_ER_WRITE:
    case ZIP_ER_RENAME:
    case ZIP_ER_CLOSE:
        return {QStringLiteral("\"%1\" dosyasi yazilamadi. %2"), true};
    default:
        return {QStringLiteral("\"%1\": Arsiv islenemedi (arsiv kitapligi hatasi %2)."), false};
    }
}

[[noreturn]] void throwArchiveError(const QString &what, int code, int systemError)
{
    const ArchiveFailure f = archiveFailure(code);
    QString detail;
    if (f.withSystemText)
        detail = systemError != 0 ? systemErrorText(systemError) : QString();
    else
        detail = QString::number(code);
    throw Error(f.format, {what, detail});
}

namespace {

// The failure an archive handle or an entry's handle holds.
[[noreturn]] void throwFrom(const QString &what, zip_error_t *error)
{
    throwArchiveError(what, zip_error_code_zip(error), zip_error_code_system(error));
}

struct ZipHandle {
    zip_t *za = nullptr;
    ~ZipHandle()
    {
        if (za)
            zip_discard(za);
    }
};

quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}
quint64 le64(const char *p)
{
    return qFromLittleEndian<quint64>(p);
}

constexpr quint16 kAesMethod = 99;

// One entry as the central directory describes it.
struct CentralEntry {
    QString name; // as text; see entryName()
    quint16 flags = 0;
    quint16 method = 0; // of the compression, under the AES layer too
    quint32 crc = 0;
    quint64 packed = 0, size = 0, localOffset = 0;
    time_t mtime = time_t(-1);
    int aesStrength = 0; // 1, 2, 3 for AES-128, -192, -256; 0 for none
    int aesVersion = 0;  // AE-1 keeps the CRC, AE-2 leaves it 0
    bool folder = false;

    bool encrypted() const { return flags & 1; }
};

// The central directory of an archive, read without libzip: libzip refuses archives that every
// other tool reads (names flagged as UTF-8 that are not, as bsdtar writes raw file names; with
// its consistency check also archives written in one pass). Offsets are checked where they are
// used, so a damaged entry fails alone, with its name.
struct Directory {
    int fd = -1;
    quint64 fileSize = 0;
    qint64 shift = 0; // bytes before the archive proper (a self-extractor's program)
    QList<CentralEntry> entries;
    Directory() = default;
    Directory(const Directory &) = delete;
    ~Directory()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool readAt(int fd, quint64 offset, char *data, quint64 size)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size_t(std::min<quint64>(size, quint64(1) << 30)), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        offset += quint64(n);
        size -= quint64(n);
    }
    return true;
}

// Hosts of the "version made by" field whose tools wrote names in the OEM code page: FAT, HPFS,
// NTFS (10 in the format's own list, 11 as Info-ZIP and 7-Zip write it) and VFAT.
bool dosLikeHost(int host)
{
    return host == 0 || host == 6 || host == 10 || host == 11 || host == 14;
}

// A name as text: UTF-8 when flagged so, else read by the system that made the entry. A Unix name
// keeps its bytes (escaped where they are no UTF-8, as a flagged name that is none is too), so
// it is written back exactly as it was stored.
QString entryName(const QByteArray &raw, bool utf8, int host)
{
    return !utf8 && dosLikeHost(host) ? cp857::decode(raw) : decodePath(raw);
}

time_t fromDosTime(quint16 time, quint16 date)
{
    struct tm t {};
    t.tm_year = ((date >> 9) & 0x7f) + 80;
    t.tm_mon = ((date >> 5) & 0x0f) - 1;
    t.tm_mday = date & 0x1f;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3f;
    t.tm_sec = (time & 0x1f) * 2;
    t.tm_isdst = -1;
    return date == 0 ? time_t(-1) : mktime(&t);
}

[[noreturn]] void archiveFails(const QString &archive, int code)
{
    throwArchiveError(archive, code, code == ZIP_ER_READ || code == ZIP_ER_OPEN ? errno : 0);
}

// The fields of an extra block that matter here; a block cut short ends the walk.
void readExtra(const char *p, quint32 size, CentralEntry &e, const QByteArray &rawName, bool &utf8, bool big[3],
               const QString &archive)
{
    for (quint32 at = 0; at + 4 <= size;) {
        const quint16 id = le16(p + at), length = le16(p + at + 2);
        const char *d = p + at + 4;
        if (at + 4 + length > size)
            break;
        if (id == 0x0001) {
            // ZIP64: only the fields whose 32-bit values are full, in this order.
            quint64 *fields[3] = {&e.size, &e.packed, &e.localOffset};
            quint32 used = 0;
            for (int i = 0; i < 3; ++i) {
                if (!big[i])
                    continue;
                if (used + 8 > length)
                    archiveFails(archive, ZIP_ER_INCONS);
                *fields[i] = le64(d + used);
                big[i] = false;
                used += 8;
            }
        } else if (id == 0x9901 && length >= 7) {
            e.aesVersion = le16(d);
            e.aesStrength = quint8(d[4]);
            if (e.method == kAesMethod)
                e.method = le16(d + 5);
        } else if (id == 0x7075 && length >= 5 && d[0] == 1 && !utf8) {
            // Info-ZIP's UTF-8 name, valid while it belongs to the name stored beside it.
            const QByteArray name(d + 5, length - 5);
            const uLong rawCrc = crc32(0, reinterpret_cast<const Bytef *>(rawName.constData()), uInt(rawName.size()));
            if (le32(d + 1) == quint32(rawCrc) && isValidUtf8(name)) {
                e.name = decodePath(name);
                utf8 = true;
            }
        } else if (id == 0x5455 && length >= 5 && (d[0] & 1)) {
            // Unix time, exact where the DOS time has two-second steps and no time zone.
            e.mtime = time_t(qint32(le32(d + 1)));
        }
        at += 4 + length;
    }
}

void readDirectory(const QString &archive, Directory &dir)
{
    dir.fd = ::open(encodePath(archive).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (dir.fd < 0 || ::fstat(dir.fd, &st) != 0)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, QString::fromLocal8Bit(std::strerror(errno))});
    if (!S_ISREG(st.st_mode))
        archiveFails(archive, ZIP_ER_NOZIP);
    dir.fileSize = quint64(st.st_size);

    // The end record, searched from the back (a comment of up to 64 KiB may follow it).
    const quint64 tailSize = std::min<quint64>(dir.fileSize, 22 + 0xFFFF + 20);
    QByteArray tail(qsizetype(tailSize), Qt::Uninitialized);
    if (!readAt(dir.fd, dir.fileSize - tailSize, tail.data(), tailSize))
        archiveFails(archive, ZIP_ER_READ);
    qsizetype end = tail.size() - 22;
    while (end >= 0 && !(tail.at(end) == 'P' && tail.mid(end, 4) == QByteArrayLiteral("PK\x05\x06")))
        --end;
    if (end < 0)
        archiveFails(archive, ZIP_ER_NOZIP);
    const char *e = tail.constData() + end;
    if (le16(e + 4) != 0 || le16(e + 6) != 0)
        archiveFails(archive, ZIP_ER_MULTIDISK);
    quint64 count = le16(e + 10), cdSize = le32(e + 12), cdOffset = le32(e + 16);
    quint64 cdEnd = dir.fileSize - tailSize + quint64(end); // where the central directory should end
    if (end >= 20 && tail.mid(end - 20, 4) == QByteArrayLiteral("PK\x06\x07")) {
        const quint64 at = le64(e - 20 + 8);
        char z[56];
        if (dir.fileSize < 56 || at > dir.fileSize - 56 || !readAt(dir.fd, at, z, 56)
            || QByteArray(z, 4) != QByteArrayLiteral("PK\x06\x06"))
            archiveFails(archive, ZIP_ER_INCONS);
        count = le64(z + 32);
        cdSize = le64(z + 40);
        cdOffset = le64(z + 48);
        cdEnd = at;
    }
    // A directory of a gigabyte would list millions of entries: such a size is damage.
    if (cdSize > cdEnd || cdOffset > cdEnd - cdSize || cdSize > (quint64(1) << 30))
        archiveFails(archive, ZIP_ER_INCONS);
    // Anything in front of the archive (a self-extractor) moves every offset by as much; where
    // the directory stands at its stated offset, nothing is in front.
    char first[4] = {};
    if (cdSize >= 4 && !(readAt(dir.fd, cdOffset, first, 4) && QByteArray(first, 4) == QByteArrayLiteral("PK\x01\x02")))
        dir.shift = qint64(cdEnd - cdSize - cdOffset);
    QByteArray cd(qsizetype(cdSize), Qt::Uninitialized);
    if (!readAt(dir.fd, cdOffset + quint64(dir.shift), cd.data(), cdSize))
        archiveFails(archive, ZIP_ER_READ);

    dir.entries.reserve(qsizetype(std::min<quint64>(count, cdSize / 46)));
    for (qsizetype at = 0; at < cd.size();) {
        const char *r = cd.constData() + at;
        if (cd.size() - at < 46 || QByteArray(r, 4) != QByteArrayLiteral("PK\x01\x02")) {
            // What follows the stated number of entries (a signature record) is not theirs.
            if (quint64(dir.entries.size()) >= count && count > 0)
                break;
            archiveFails(archive, ZIP_ER_INCONS);
        }
        const quint16 nameSize = le16(r + 28), extraSize = le16(r + 30), commentSize = le16(r + 32);
        if (cd.size() - at - 46 < qsizetype(nameSize) + extraSize + commentSize)
            archiveFails(archive, ZIP_ER_INCONS);
        CentralEntry entry;
        const int host = quint8(r[5]);
        entry.flags = le16(r + 8);
        entry.method = le16(r + 10);
        entry.mtime = fromDosTime(le16(r + 12), le16(r + 14));
        entry.crc = le32(r + 16);
        entry.packed = le32(r + 20);
        entry.size = le32(r + 24);
        entry.localOffset = le32(r + 42);
        const QByteArray rawName(r + 46, nameSize);
        bool utf8 = entry.flags & (1 << 11);
        bool big[3] = {entry.size == 0xFFFFFFFFu, entry.packed == 0xFFFFFFFFu, entry.localOffset == 0xFFFFFFFFu};
        readExtra(r + 46 + nameSize, extraSize, entry, rawName, utf8, big, archive);
        if (big[0] || big[1] || big[2])
            archiveFails(archive, ZIP_ER_INCONS);
        if (entry.name.isNull())
            entry.name = entryName(rawName, utf8, host);
        // A folder without the closing separator shows in its attributes (DOS, or Unix mode).
        const quint32 attributes = le32(r + 38);
        entry.folder = entry.size == 0
                       && ((dosLikeHost(host) && (attributes & 0x10)) || (host == 3 && S_ISDIR(attributes >> 16)));
        dir.entries.append(entry);
        at += 46 + nameSize + extraSize + commentSize;
    }
}

// The older PKWARE encryption: three keys stirred by every plain byte.
class ZipCrypto
{
public:
    explicit ZipCrypto(const QByteArray &password)
    {
        for (const char c : password)
            update(quint8(c));
    }
    void decrypt(char *data, quint64 size)
    {
        for (quint64 i = 0; i < size; ++i) {
            const quint32 t = (m_keys[2] | 2) & 0xffff;
            data[i] = char(quint8(data[i]) ^ quint8((t * (t ^ 1)) >> 8));
            update(quint8(data[i]));
        }
    }

private:
    quint32 crcStep(quint32 crc, quint8 b) const { return quint32(m_table[(crc ^ b) & 0xff]) ^ (crc >> 8); }
    void update(quint8 b)
    {
        m_keys[0] = crcStep(m_keys[0], b);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xff)) * 134775813u + 1;
        m_keys[2] = crcStep(m_keys[2], quint8(m_keys[1] >> 24));
    }
    const z_crc_t *m_table = get_crc_table();
    quint32 m_keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

// The plain bytes of an entry go here.
using Output = std::function<void(const char *, qint64)>;

// Entries packed with a method other than store and deflate (bzip2, LZMA) are left to libzip,
// opened on the first of them: one handle for each thread.
struct OtherMethods {
    const QString &archive;
    ZipHandle handle;

    bool read(zip_uint64_t index, const CentralEntry &e, const QByteArray &password, const Output &out,
              QByteArray &buffer, const std::atomic<bool> *cancel)
    {
        if (!handle.za) {
            int code = 0;
            handle.za = zip_open(encodePath(archive).constData(), ZIP_RDONLY, &code);
            if (!handle.za)
                archiveFails(archive, code);
        }
        zip_t *za = handle.za;
        zip_file_t *zf = e.encrypted() ? zip_fopen_index_encrypted(za, index, 0,
                                                                   password.isEmpty() ? nullptr : password.constData())
                                       : zip_fopen_index(za, index, 0);
        if (!zf) {
            const int code = zip_error_code_zip(zip_get_error(za));
            if (e.encrypted() && (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD))
                return false;
            throwFrom(e.name, zip_get_error(za));
        }
        struct Closer {
            zip_file_t *zf;
            ~Closer()
            {
                if (zf)
                    zip_fclose(zf);
            }
        } closer{zf};
        while (true) {
            if (cancel && cancel->load())
                throw Error(QStringLiteral("Arsiv acma yarida kesildi."));
            const zip_int64_t n = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
            if (n < 0)
                throwFrom(e.name, zip_file_get_error(zf));
            if (n == 0)
                break;
            out(buffer.constData(), n);
        }
        closer.zf = nullptr;
        const int closed = zip_fclose(zf);
        if (closed != 0) // a CRC failure shows here
            throwArchiveError(e.name, closed, 0);
        return true;
    }
};

// Reads an entry's plain bytes into `out`, checked against its CRC, and for AES against its
// authentication code (AE-2 has that alone). False when the password does not fit, found before
// any byte is given out. Damage throws kx::Error with the entry's name. AES is decrypted here
// rather than by libzip: the key derivation is the slow part of every entry, and OpenSSL's is
// several times faster.
// Keys derived ahead for an AES-256 entry: the salt they were made from, then the AES key, the
// HMAC key and the verifier.
constexpr int kAes256Salt = 16;
constexpr int kAes256Keys = 2 * 32 + 2;
struct DerivedKeys {
    unsigned char salt[kAes256Salt];
    unsigned char keys[kAes256Keys];
};

bool readEntry(const Directory &dir, OtherMethods &others, qsizetype index, const QByteArray &password,
               const Output &out, QByteArray &buffer, const std::atomic<bool> *cancel,
               const DerivedKeys *derived = nullptr)
{
    const CentralEntry &e = dir.entries[index];
    auto fail = [&](int code) { throwArchiveError(e.name, code, 0); };
    const bool aes = e.encrypted() && e.aesStrength != 0;
    if (e.encrypted() && ((e.flags & (1 << 6)) || (!aes && (e.aesVersion != 0 || e.method == kAesMethod))))
        fail(ZIP_ER_ENCRNOTSUPP); // PKWARE's strong encryption, or an AES field that does not add up
    if (aes && (e.aesStrength > 3 || (e.method != ZIP_CM_STORE && e.method != ZIP_CM_DEFLATE)))
        fail(ZIP_ER_ENCRNOTSUPP);
    if (e.method != ZIP_CM_STORE && e.method != ZIP_CM_DEFLATE)
        return others.read(zip_uint64_t(index), e, password, out, buffer, cancel);

    char local[30];
    const quint64 localAt = e.localOffset + quint64(dir.shift);
    if (dir.fileSize < 30 || localAt > dir.fileSize - 30 || !readAt(dir.fd, localAt, local, 30)
        || QByteArray(local, 4) != QByteArrayLiteral("PK\x03\x04"))
        fail(ZIP_ER_INCONS);
    quint64 at = localAt + 30 + le16(local + 26) + le16(local + 28);
    if (at > dir.fileSize || e.packed > dir.fileSize - at)
        fail(ZIP_ER_EOF);
    quint64 left = e.packed;
    auto take = [&](char *data, quint64 n) {
        if (n > left || !readAt(dir.fd, at, data, n))
            fail(ZIP_ER_EOF);
        at += n;
        left -= n;
    };

    std::optional<WinZipAes> aesCipher;
    std::optional<ZipCrypto> pkCipher;
    if (aes) {
        const int saltSize = 4 + 4 * e.aesStrength;
        if (left < quint64(saltSize + 2 + WinZipAes::kCodeSize))
            fail(ZIP_ER_INCONS);
        unsigned char head[18];
        take(reinterpret_cast<char *>(head), quint64(saltSize + 2));
        if (derived && saltSize == kAes256Salt && std::memcmp(derived->salt, head, kAes256Salt) == 0)
            aesCipher.emplace(derived->keys, 32);
        else
            aesCipher.emplace(password, head, saltSize);
        if (std::memcmp(aesCipher->verifier, head + saltSize, 2) != 0)
            return false;
        left -= WinZipAes::kCodeSize; // read after the data
    } else if (e.encrypted()) {
        char head[12];
        if (left < 12)
            fail(ZIP_ER_INCONS);
        take(head, 12);
        pkCipher.emplace(password);
        pkCipher->decrypt(head, 12);
        // The last byte repeats the CRC's high byte, or with a data descriptor the time's; writers
        // differ, so either is taken. A wrong password gets through one time in 128 and then
        // fails on the CRC.
        const quint8 check = quint8(head[11]);
        if (check != quint8(e.crc >> 24) && check != quint8(le16(local + 10) >> 8))
            return false;
    }

    const bool inflating = e.method == ZIP_CM_DEFLATE;
    z_stream z{};
    if (inflating && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        fail(ZIP_ER_MEMORY);
    struct ZEnd {
        z_stream *z;
        bool on;
        ~ZEnd()
        {
            if (on)
                inflateEnd(z);
        }
    } zend{&z, inflating};

    quint32 crc = 0;
    quint64 written = 0;
    bool streamEnded = false;
    auto write = [&](const char *data, qint64 n) {
        crc = libdeflate_crc32(crc, data, size_t(n));
        written += quint64(n);
        out(data, n);
    };
    // An entry that fits the buffer is read at once and inflated in one call by libdeflate,
    // which is about twice as fast as zlib's inflate and writes the file in one piece.
    thread_local QByteArray whole;
    if (inflating && left <= quint64(buffer.size()) && e.size <= quint64(buffer.size())) {
        if (cancel && cancel->load())
            throw Error(QStringLiteral("Arsiv acma yarida kesildi."));
        const quint64 n = left;
        take(buffer.data(), n);
        if (aesCipher)
            aesCipher->decrypt(reinterpret_cast<unsigned char *>(buffer.data()), size_t(n));
        else if (pkCipher)
            pkCipher->decrypt(buffer.data(), n);
        thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor *)> inflater(
            libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
        if (!inflater)
            fail(ZIP_ER_MEMORY);
        if (whole.size() < buffer.size())
            whole.resize(buffer.size());
        size_t got = 0;
        if (libdeflate_deflate_decompress(inflater.get(), buffer.constData(), size_t(n), whole.data(),
                                          size_t(e.size), &got) != LIBDEFLATE_SUCCESS)
            fail(ZIP_ER_COMPRESSED_DATA);
        write(whole.constData(), qint64(got));
        streamEnded = true;
    }
    QByteArray plain;
    if (inflating && !streamEnded)
        plain.resize(buffer.size());
    while (left > 0 && !(inflating && streamEnded)) {
        if (cancel && cancel->load())
            throw Error(QStringLiteral("Arsiv acma yarida kesildi."));
        const quint64 n = std::min<quint64>(left, quint64(buffer.size()));
        take(buffer.data(), n);
        if (aesCipher)
            aesCipher->decrypt(reinterpret_cast<unsigned char *>(buffer.data()), size_t(n));
        else if (pkCipher)
            pkCipher->decrypt(buffer.data(), n);
        if (!inflating) {
            write(buffer.constData(), qint64(n));
            continue;
        }
        z.next_in = reinterpret_cast<Bytef *>(buffer.data());
        z.avail_in = uInt(n);
        while (z.avail_in > 0 && !streamEnded) {
            z.next_out = reinterpret_cast<Bytef *>(plain.data());
            z.avail_out = uInt(plain.size());
            const int r = inflate(&z, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR)
                fail(ZIP_ER_COMPRESSED_DATA);
            write(plain.constData(), qint64(plain.size()) - z.avail_out);
            streamEnded = r == Z_STREAM_END;
            if (r == Z_BUF_ERROR && z.avail_out != 0)
                break;
        }
    }
    // Whatever inflate still holds back.
    while (inflating && !streamEnded) {
        z.next_out = reinterpret_cast<Bytef *>(plain.data());
        z.avail_out = uInt(plain.size());
        const int r = inflate(&z, Z_FINISH);
        write(plain.constData(), qint64(plain.size()) - z.avail_out);
        if (r == Z_STREAM_END)
            streamEnded = true;
        else if (r != Z_OK && !(r == Z_BUF_ERROR && z.avail_out == 0))
            fail(ZIP_ER_COMPRESSED_DATA);
    }
    if (aesCipher) {
        // The code covers every stored byte, also any the deflate stream left unread.
        while (left > 0) {
            const quint64 n = std::min<quint64>(left, quint64(buffer.size()));
            take(buffer.data(), n);
            aesCipher->decrypt(reinterpret_cast<unsigned char *>(buffer.data()), size_t(n));
        }
        unsigned char stored[WinZipAes::kCodeSize], computed[WinZipAes::kCodeSize];
        left = WinZipAes::kCodeSize;
        take(reinterpret_cast<char *>(stored), WinZipAes::kCodeSize);
        aesCipher->finish(computed);
        if (std::memcmp(stored, computed, WinZipAes::kCodeSize) != 0)
            fail(ZIP_ER_CRC);
    }
    if (!(aes && e.aesVersion == 2) && crc != e.crc)
        fail(ZIP_ER_CRC);
    if (written != e.size)
        fail(ZIP_ER_INCONS);
    return true;
}

} // namespace


bool storedWithoutCompression(const QString &fileName)
{
    static const QStringList stored = {QStringLiteral("gif"), QStringLiteral("png"), QStringLiteral("z"),
                                       QStringLiteral("zip"), QStringLiteral("zoo"), QStringLiteral("arc"),
                                       QStringLiteral("lzh"), QStringLiteral("arj"), QStringLiteral("taz"),
                                       QStringLiteral("tgz"), QStringLiteral("lha"), QStringLiteral("rar"),
                                       QStringLiteral("ace"), QStringLiteral("cab"), QStringLiteral("gz"),
                                       QStringLiteral("gzip"), QStringLiteral("jar")};
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return false;
    return stored.contains(fileName.mid(dot + 1), Qt::CaseInsensitive);
}

PackResult packZip(const QString &archive, const QString &baseFolder, const QStringList &files,
                   const QByteArray &password, const PackProgress &progress, const std::atomic<bool> *cancel)
{
    QString base = baseFolder;
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    const qsizetype cut = base == QLatin1String("/") ? 1 : base.size() + 1;
    QList<ZipWriteItem> items;
    items.reserve(files.size());
    qint64 total = 0;
    for (const QString &file : files) {
        items.append({file, encodePath(file.mid(cut)), storedWithoutCompression(file)});
        Headway::stepHere();
        struct stat st;
        if (::stat(encodePath(file).constData(), &st) == 0)
            total += qint64(st.st_size);
    }
    if (progress.started)
        progress.started();
    std::atomic<qint64> done{0};
    const ZipWriteResult written = writeAesZip(
        archive, items, password, done,
        [&] {
            if (progress.advanced && total > 0)
                progress.advanced(std::min(1.0, double(done) / double(total)));
        },
        0, cancel);
    if (progress.finished)
        progress.finished();
    return {written.entries, written.skipped, written.failed};
}

ZipInfo inspectZip(const QString &archive)
{
    Directory dir;
    readDirectory(archive, dir);
    ZipInfo info;
    info.entries = dir.entries.size();
    for (const CentralEntry &e : std::as_const(dir.entries))
        info.totalSize += qint64(e.size);
    return info;
}

QString safeRelative(const QString &name)
{
    QString n = name;
    n.replace(u'\\', u'/');
    if (n.startsWith(u'/') || (n.size() > 1 && n.at(1) == u':'))
        return QString();
    QStringList parts = n.split(u'/', Qt::SkipEmptyParts);
    if (parts.contains(QStringLiteral("..")))
        return QString();
    // "./a" is "a", as bsdtar writes the names of a folder packed as ".".
    parts.removeAll(QStringLiteral("."));
    if (parts.isEmpty() || (parts.first().size() > 1 && parts.first().at(1) == u':'))
        return QString();
    return parts.join(u'/') + (n.endsWith(u'/') ? QStringLiteral("/") : QString());
}

namespace {

struct UnpackItem {
    qsizetype index; // in the central directory
    QString folder;  // relative to the target, "" for the target itself
    QByteArray file; // the entry's own name in that folder
};

// Where an entry's bytes go: a temporary beside the entry's final name, created in its folder
// without following links, renamed over the final name when complete.
struct Sink {
    int dirFd = -1;
    int fd = -1;
    QByteArray temp;     // the name being written; removed again should the entry fail
    bool direct = false; // written under the entry's own name (nothing was there)
    QString where; // for messages
    ~Sink()
    {
        if (fd >= 0) {
            ::close(fd);
            ::unlinkat(dirFd, temp.constData(), 0);
        }
    }
    void write(const char *data, qint64 n)
    {
        while (n > 0) {
            const ssize_t w = ::write(fd, data, size_t(n));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                throw Error(QStringLiteral("\"%1\": %2"), {where, QString::fromLocal8Bit(std::strerror(errno))});
            data += w;
            n -= w;
        }
    }
};

void openSink(Sink &sink, int dirFd, const UnpackItem &item, const QString &where)
{
    sink.dirFd = dirFd;
    sink.where = where;
    // A new file is written under its own name (one rename less for each of thousands of small
    // files); O_EXCL and O_NOFOLLOW make sure nothing there, a link least of all, is opened.
    sink.fd = ::openat(dirFd, item.file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (sink.fd >= 0) {
        sink.temp = item.file;
        sink.direct = true;
        return;
    }
    if (errno != EEXIST)
        throw Error(QStringLiteral("\"%1\": %2"), {where, QString::fromLocal8Bit(std::strerror(errno))});
    // Something is there: written beside it and renamed over it when complete.
    sink.temp = temporaryName(item.file);
    sink.fd = createTemporaryAt(dirFd, sink.temp, 0644);
    if (sink.fd < 0)
        throw Error(QStringLiteral("\"%1\": %2"), {where, QString::fromLocal8Bit(std::strerror(errno))});
}

// The entry's time on the finished file, and a temporary takes the real name: over whatever is
// there with overwrite (a link there is replaced), only when nothing is there without.
void finishSink(Sink &sink, const UnpackItem &item, time_t mtime, bool overwrite)
{
    if (mtime != time_t(-1)) {
        const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ::futimens(sink.fd, times);
    }
    const int closed = ::close(sink.fd);
    sink.fd = -1;
    int err = closed == 0 ? 0 : errno;
    if (err == 0 && !sink.direct) {
        const int renamed = overwrite
                                ? ::renameat(sink.dirFd, sink.temp.constData(), sink.dirFd, item.file.constData())
                                : ::renameat2(sink.dirFd, sink.temp.constData(), sink.dirFd, item.file.constData(),
                                              RENAME_NOREPLACE);
        err = renamed == 0 ? 0 : errno;
    }
    if (err != 0) {
        ::unlinkat(sink.dirFd, sink.temp.constData(), 0);
        throw Error(QStringLiteral("\"%1\": %2"), {sink.where, QString::fromLocal8Bit(std::strerror(err))});
    }
}

// The salt an AES-256 entry starts with; false for any other entry or one that cannot be read
// (it fails with its name when it is extracted).
bool aes256Salt(const Directory &dir, qsizetype index, unsigned char *salt)
{
    const CentralEntry &e = dir.entries[index];
    if (!e.encrypted() || e.aesStrength != 3 || (e.flags & (1 << 6)) ||
        (e.method != ZIP_CM_STORE && e.method != ZIP_CM_DEFLATE))
        return false;
    char local[30];
    const quint64 localAt = e.localOffset + quint64(dir.shift);
    if (dir.fileSize < 30 || localAt > dir.fileSize - 30 || !readAt(dir.fd, localAt, local, 30) ||
        QByteArray(local, 4) != QByteArrayLiteral("PK\x03\x04"))
        return false;
    const quint64 at = localAt + 30 + le16(local + 26) + le16(local + 28);
    return at + kAes256Salt <= dir.fileSize &&
           readAt(dir.fd, at, reinterpret_cast<char *>(salt), kAes256Salt);
}

// Keys for the AES-256 entries a thread is about to extract, derived sixteen at a time side by
// side (as the writer does) for the password that opened the archive: the key derivation is most
// of what a small entry costs.
class KeyAhead
{
public:
    explicit KeyAhead(const QByteArray &password) : m_password(password) {}
    ~KeyAhead() { OPENSSL_cleanse(m_keys, sizeof m_keys); }
    KeyAhead(const KeyAhead &) = delete;
    KeyAhead &operator=(const KeyAhead &) = delete;

    // The keys for work[k], deriving them with those of the entries up to `end` when they are
    // not there yet. Null when there are none for it.
    const DerivedKeys *keysFor(const Directory &dir, const QList<UnpackItem> &work, qsizetype k,
                               qsizetype end)
    {
        if (!wideKeyDerivation())
            return nullptr;
        for (int i = 0; i < m_count; ++i)
            if (m_index[i] == k)
                return &m_keys[i];
        OPENSSL_cleanse(m_keys, sizeof m_keys);
        m_count = 0;
        unsigned char salts[kKeyLanes * kAes256Salt] = {};
        for (qsizetype j = k; j < end && m_count < kKeyLanes; ++j) {
            if (!aes256Salt(dir, work[j].index, m_keys[m_count].salt)) {
                if (j == k)
                    return nullptr; // no AES-256 entry: nothing to derive ahead
                continue;
            }
            std::memcpy(salts + m_count * kAes256Salt, m_keys[m_count].salt, kAes256Salt);
            m_index[m_count++] = j;
        }
        unsigned char out[kKeyLanes * kAes256Keys];
        pbkdf2HmacSha1Lanes(m_password, salts, 1000, out, kAes256Keys);
        for (int i = 0; i < m_count; ++i)
            std::memcpy(m_keys[i].keys, out + i * kAes256Keys, kAes256Keys);
        OPENSSL_cleanse(out, sizeof out);
        return &m_keys[0];
    }

private:
    const QByteArray &m_password;
    DerivedKeys m_keys[kKeyLanes];
    qsizetype m_index[kKeyLanes] = {};
    int m_count = 0;
};

void extractEntry(const Directory &dir, OtherMethods &others, ConfinedRoot &root, const UnpackItem &item,
                  const QList<QByteArray> &passwords, bool overwrite, QByteArray &buffer,
                  const std::atomic<bool> *cancel, const DerivedKeys *derived = nullptr)
{
    const CentralEntry &e = dir.entries[item.index];
    const QString where = root.path() + u'/' + (item.folder.isEmpty() ? QString() : item.folder + u'/')
                          + decodePath(item.file);
    Sink sink;
    openSink(sink, root.folder(item.folder), item, where);
    const Output out = [&sink](const char *data, qint64 n) { sink.write(data, n); };
    for (const QByteArray &password : passwords) {
        // Keys derived ahead belong to the first password.
        const DerivedKeys *keys = &password == &passwords.first() ? derived : nullptr;
        if (readEntry(dir, others, item.index, password, out, buffer, cancel, keys)) {
            finishSink(sink, item, e.mtime, overwrite);
            return;
        }
    }
    throw Error(QStringLiteral("\"%1\": Parola yanlis."), {e.name});
}

// The password the archive was made with, put first: the smallest encrypted entries are read
// whole (into nothing) with each candidate until one passes its checks. The older encryption's
// one-byte check lets a wrong password through now and then, so that check alone would not do.
QList<QByteArray> likeliestFirst(const Directory &dir, OtherMethods &others, const QList<UnpackItem> &work,
                                 QList<QByteArray> passwords, const std::atomic<bool> *cancel)
{
    if (passwords.size() < 2)
        return passwords;
    QList<QPair<quint64, qsizetype>> encrypted; // stored size, entry
    for (const UnpackItem &item : work)
        if (dir.entries[item.index].encrypted())
            encrypted.append({dir.entries[item.index].packed, item.index});
    std::sort(encrypted.begin(), encrypted.end());
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    const Output nowhere = [](const char *, qint64) {};
    // A damaged entry fits no password: a few are tried before giving up.
    for (qsizetype k = 0; k < std::min<qsizetype>(encrypted.size(), 3); ++k) {
        for (qsizetype p = 0; p < passwords.size(); ++p) {
            bool fits = false;
            try {
                fits = readEntry(dir, others, encrypted[k].second, passwords[p], nowhere, buffer, cancel);
            } catch (const Error &) {
                if (cancel && cancel->load())
                    throw;
            }
            if (fits) {
                passwords.move(p, 0);
                return passwords;
            }
        }
    }
    return passwords;
}

// Takes back the folders an unpacking made (listed parents first) where they stayed empty,
// walking from the target without following links.
void removeEmptyFolders(const QString &rootPath, const QStringList &made)
{
    const int rootFd = ::open(encodePath(rootPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return;
    for (auto it = made.crbegin(); it != made.crend(); ++it) {
        const QStringList parts = it->split(u'/');
        int parent = rootFd;
        for (qsizetype i = 0; i + 1 < parts.size() && parent >= 0; ++i) {
            const int next = ::openat(parent, encodePath(parts[i]).constData(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (parent != rootFd)
                ::close(parent);
            parent = next;
        }
        if (parent < 0)
            continue;
        ::unlinkat(parent, encodePath(parts.last()).constData(), AT_REMOVEDIR); // fails when not empty
        if (parent != rootFd)
            ::close(parent);
    }
    ::close(rootFd);
}

// "./" and the like: the target folder itself.
bool namesTheTarget(const QString &name)
{
    QString n = name;
    n.replace(u'\\', u'/');
    if (!n.endsWith(u'/') || n.startsWith(u'/'))
        return false;
    const QStringList parts = n.split(u'/', Qt::SkipEmptyParts);
    return std::all_of(parts.begin(), parts.end(), [](const QString &p) { return p == QLatin1String("."); });
}

} // namespace

UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QList<QByteArray> &passwords,
                       bool overwrite, const std::function<void(qint64, qint64)> &afterEntry,
                       const std::atomic<bool> *cancel)
{
    Directory dir;
    readDirectory(archive, dir);

    QString rootPath = targetFolder;
    while (rootPath.size() > 1 && rootPath.endsWith(u'/'))
        rootPath.chop(1);
    ConfinedRoot root(rootPath);
    UnpackResult result;
    const qint64 count = dir.entries.size();

    // First the names: refused ones, folders (made here, never through a link) and files
    // already there; what is left to write is shared out below.
    QList<UnpackItem> work;
    QStringList made;    // folders this call made, parents first
    QSet<QString> known; // folders looked at already
    qint64 settled = 0;
    try {
        for (qsizetype i = 0; i < dir.entries.size(); ++i) {
            const CentralEntry &e = dir.entries[i];
            QString rel = safeRelative(e.name);
            if (rel.isEmpty()) {
                if (!namesTheTarget(e.name))
                    result.refused.append(e.name);
                ++settled;
                continue;
            }
            if (e.folder && !rel.endsWith(u'/'))
                rel += u'/';
            const bool isFolder = rel.endsWith(u'/');
            const QString clean = isFolder ? rel.chopped(1) : rel;
            const qsizetype slash = clean.lastIndexOf(u'/');
            const QString folder = isFolder ? clean : slash < 0 ? QString() : clean.left(slash);
            QString part;
            for (const QString &component : folder.split(u'/', Qt::SkipEmptyParts)) {
                part += (part.isEmpty() ? QString() : QStringLiteral("/")) + component;
                if (known.contains(part))
                    continue;
                known.insert(part);
                struct stat st;
                if (::fstatat(root.folder(QString()), encodePath(part).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
                    && errno == ENOENT)
                    made.append(part);
            }
            int dirFd;
            try {
                dirFd = root.folder(folder);
            } catch (const Error &) {
                // A link (or a file) where one of its folders should be: it would write elsewhere.
                result.refused.append(e.name);
                ++settled;
                continue;
            }
            if (isFolder) {
                ++settled;
                continue;
            }
            const QByteArray file = encodePath(clean.mid(slash + 1));
            struct stat st;
            if (!overwrite && ::fstatat(dirFd, file.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                ++result.skippedExisting;
                ++settled;
                continue;
            }
            work.append({i, folder, file});
        }
    } catch (...) {
        removeEmptyFolders(rootPath, made);
        throw;
    }

    // Every encrypted entry starts with its own key derivation, and most entries need inflating:
    // two threads, each with a view of the target of its own, share the entries. Whatever one of
    // them throws stops both and reaches the caller.
    std::atomic<qint64> done{settled};
    std::atomic<bool> stop{false};
    std::exception_ptr errors[2];
    QList<QByteArray> order;
    // The threads take the entries in runs as they get free: up to sixteen small ones at a time
    // (their keys are derived together), a large one alone, so that neither waits for the other
    // at the end however the sizes fall.
    std::mutex mutex;
    std::condition_variable wake;
    qsizetype next = 0;
    bool helperDone = false;
    auto takeRun = [&](qsizetype &from, qsizetype &to) {
        constexpr quint64 kRunBytes = quint64(1) << 20;
        std::lock_guard lock(mutex);
        from = to = next;
        quint64 bytes = 0;
        while (to < work.size() && to - from < kKeyLanes &&
               (to == from || bytes + dir.entries[work[to].index].packed <= kRunBytes))
            bytes += dir.entries[work[to++].index].packed;
        next = to;
        return from < to;
    };
    auto extractShare = [&](int who, const std::function<void()> &after) {
        try {
            QByteArray buffer(1024 * 1024, Qt::Uninitialized);
            ConfinedRoot mine(rootPath);
            OtherMethods others{archive, {}};
            KeyAhead ahead(order.first());
            qsizetype from = 0, to = 0;
            while (!stop && takeRun(from, to)) {
                for (qsizetype k = from; k < to && !stop; ++k) {
                    if (cancel && cancel->load())
                        throw Error(QStringLiteral("Arsiv acma yarida kesildi."));
                    extractEntry(dir, others, mine, work[k], order, overwrite, buffer, cancel,
                                 ahead.keysFor(dir, work, k, to));
                    ++done;
                    if (after)
                        after();
                }
            }
        } catch (...) {
            errors[who] = std::current_exception();
            stop = true;
        }
        if (who == 1) {
            std::lock_guard lock(mutex);
            helperDone = true;
            wake.notify_all();
        }
    };
    try {
        {
            OtherMethods others{archive, {}};
            order = likeliestFirst(dir, others, work, passwords.isEmpty() ? QList<QByteArray>{QByteArray()} : passwords,
                                   cancel);
        }
        // Declared after what it uses: on any way out it is joined before they go.
        std::jthread helper;
        if (work.size() > 1)
            helper = std::jthread([&] { extractShare(1, {}); });
        const auto report = [&] {
            if (afterEntry)
                afterEntry(done, count);
        };
        extractShare(0, report);
        if (helper.joinable()) {
            // Keep the caller's progress going while the other half finishes.
            try {
                std::unique_lock lock(mutex);
                while (!helperDone) {
                    wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return helperDone; });
                    lock.unlock();
                    report();
                    lock.lock();
                }
            } catch (...) {
                stop = true;
                helper.join();
                throw;
            }
            helper.join();
        }
        for (const std::exception_ptr &e : errors)
            if (e)
                std::rethrow_exception(e);
        result.written = done - settled;
        report();
    } catch (...) {
        removeEmptyFolders(rootPath, made);
        throw;
    }
    return result;
}

} // namespace kx
