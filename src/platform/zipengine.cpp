#include "platform/zipengine.h"
#include "platform/kxerror.h"
#include "platform/winzipaes.h"
#include "platform/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

QString zipMessage(zip_t *za)
{
    return QString::fromLocal8Bit(zip_strerror(za));
}

QString openMessage(int code)
{
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&err));
    zip_error_fini(&err);
    return text;
}

struct ZipHandle {
    zip_t *za = nullptr;
    ~ZipHandle()
    {
        if (za)
            zip_discard(za);
    }
};

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

void packZip(const QString &archive, const QString &baseFolder, const QStringList &files, const QByteArray &password,
             const PackProgress &progress)
{
    QString base = baseFolder;
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    const qsizetype cut = base == QLatin1String("/") ? 1 : base.size() + 1;
    QList<ZipWriteItem> items;
    items.reserve(files.size());
    qint64 total = 0;
    for (const QString &file : files) {
        items.append({file, file.mid(cut).toUtf8(), storedWithoutCompression(file)});
        total += QFileInfo(file).size();
    }
    if (progress.started)
        progress.started();
    std::atomic<qint64> done{0};
    writeAesZip(archive, items, password, done, [&] {
        if (progress.advanced && total > 0)
            progress.advanced(std::min(1.0, double(done) / double(total)));
    });
    if (progress.finished)
        progress.finished();
}

ZipInfo inspectZip(const QString &archive)
{
    int code = 0;
    ZipHandle h;
    h.za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &code);
    if (!h.za)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, openMessage(code)));
    ZipInfo info;
    info.entries = zip_get_num_entries(h.za, 0);
    for (zip_int64_t i = 0; i < info.entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(h.za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            info.totalSize += qint64(st.size);
    }
    return info;
}

namespace {

// A stored name that stays inside the target folder, or empty when it would leave it.
QString safeRelative(const QString &name)
{
    QString n = name;
    n.replace(u'\\', u'/');
    if (n.startsWith(u'/') || (n.size() > 1 && n.at(1) == u':'))
        return QString();
    const QStringList parts = n.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    for (const QString &p : parts)
        if (p == QLatin1String("..") || p == QLatin1String("."))
            return QString();
    return parts.join(u'/') + (n.endsWith(u'/') ? QStringLiteral("/") : QString());
}

} // namespace

namespace {

struct UnpackItem {
    zip_uint64_t index;
    QString name;
    QString path;
};

// Writes one entry beside its target and renames it into place when complete. The temporary
// is named by the entry's index: the entry's own name may already be as long as a name can be.
// A file that is replaced is written beside it first and renamed into place when complete, so a
// failure never leaves the old one half overwritten. A new file is written under its own name
// (removed again on failure). The temporary is named by the entry's index: the entry's own name
// may already be as long as a name can be.
QString writePathFor(const UnpackItem &item)
{
    if (!QFileInfo::exists(item.path))
        return item.path;
    return QFileInfo(item.path).path() + QStringLiteral("/.kx-unzip-%1.tmp").arg(item.index);
}

// The entry's time on the finished file, and a temporary takes the real name.
void finishEntry(QFile &out, const UnpackItem &item, const zip_stat_t &st)
{
    if (st.valid & ZIP_STAT_MTIME) {
        const struct timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(out.fileName()).constData(), times, 0);
    }
    if (out.fileName() != item.path && ::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(item.path).constData()) != 0) {
        const QString msg = QString::fromLocal8Bit(std::strerror(errno));
        out.remove();
        throw Error(QStringLiteral("\"%1\": %2").arg(item.path, msg));
    }
}

// Reads exactly `size` bytes of an entry's stored data (fewer only at its end).
zip_int64_t readFully(zip_file_t *zf, char *data, zip_uint64_t size)
{
    zip_uint64_t done = 0;
    while (done < size) {
        const zip_int64_t n = zip_fread(zf, data + done, size - done);
        if (n < 0)
            return n;
        if (n == 0)
            break;
        done += zip_uint64_t(n);
    }
    return zip_int64_t(done);
}

// A WinZip AES entry, decrypted here rather than by libzip: its key derivation is the slow part
// of every entry, and OpenSSL's is several times faster. The stored bytes are read as they are.
void decryptAesEntry(zip_t *za, const UnpackItem &item, const zip_stat_t &st, const QByteArray &password, QFile &out,
                     QByteArray &buffer)
{
    const int saltSize = st.encryption_method == ZIP_EM_AES_128 ? 8 : st.encryption_method == ZIP_EM_AES_192 ? 12 : 16;
    auto fail = [&](int code) { throw Error(QStringLiteral("\"%1\": %2").arg(item.name, openMessage(code))); };
    if (!(st.valid & ZIP_STAT_COMP_SIZE) || st.comp_size < zip_uint64_t(saltSize + 2 + WinZipAes::kCodeSize))
        fail(ZIP_ER_INCONS);
    if (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE)
        fail(ZIP_ER_COMPNOTSUPP);
    zip_file_t *zf = zip_fopen_index(za, item.index, ZIP_FL_ENCRYPTED);
    if (!zf)
        throw Error(QStringLiteral("\"%1\": %2").arg(item.name, zipMessage(za)));
    struct Closer {
        zip_file_t *zf;
        ~Closer() { zip_fclose(zf); }
    } closer{zf};
    auto readOrFail = [&](char *data, zip_uint64_t size) {
        const zip_int64_t n = readFully(zf, data, size);
        if (n < 0)
            throw Error(QStringLiteral("\"%1\": %2").arg(item.name, QString::fromLocal8Bit(zip_file_strerror(zf))));
        if (zip_uint64_t(n) != size)
            fail(ZIP_ER_EOF);
    };

    unsigned char head[18];
    readOrFail(reinterpret_cast<char *>(head), zip_uint64_t(saltSize + 2));
    WinZipAes aes(password, head, saltSize);
    if (std::memcmp(aes.verifier, head + saltSize, 2) != 0)
        fail(ZIP_ER_WRONGPASSWD);

    const bool inflating = st.comp_method == ZIP_CM_DEFLATE;
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

    QByteArray plain(buffer.size(), Qt::Uninitialized);
    uLong crc = crc32(0, nullptr, 0);
    bool streamEnded = !inflating;
    zip_uint64_t left = st.comp_size - zip_uint64_t(saltSize + 2 + WinZipAes::kCodeSize);
    auto write = [&](const char *data, qint64 n) {
        crc = crc32(crc, reinterpret_cast<const Bytef *>(data), uInt(n));
        if (out.write(data, n) != n)
            throw Error(QStringLiteral("\"%1\": %2").arg(item.path, out.errorString()));
    };
    while (left > 0) {
        const zip_uint64_t n = std::min<zip_uint64_t>(left, zip_uint64_t(buffer.size()));
        readOrFail(buffer.data(), n);
        left -= n;
        aes.decrypt(reinterpret_cast<unsigned char *>(buffer.data()), size_t(n));
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
    unsigned char stored[WinZipAes::kCodeSize], computed[WinZipAes::kCodeSize];
    readOrFail(reinterpret_cast<char *>(stored), WinZipAes::kCodeSize);
    aes.finish(computed);
    if (std::memcmp(stored, computed, WinZipAes::kCodeSize) != 0)
        fail(ZIP_ER_CRC);
    // AE-1 (and libzip's own archives) carry the CRC too; AE-2 leaves it 0.
    if ((st.valid & ZIP_STAT_CRC) && st.crc != 0 && st.crc != zip_uint32_t(crc))
        fail(ZIP_ER_CRC);
}

void extractEntry(zip_t *za, const UnpackItem &item, const QByteArray &password, QByteArray &buffer)
{
    zip_stat_t st;
    zip_stat_init(&st);
    const bool statted = zip_stat_index(za, item.index, 0, &st) == 0;
    if (statted && (st.valid & ZIP_STAT_ENCRYPTION_METHOD)
        && (st.encryption_method == ZIP_EM_AES_128 || st.encryption_method == ZIP_EM_AES_192
            || st.encryption_method == ZIP_EM_AES_256)) {
        QFile out(writePathFor(item));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw Error(QStringLiteral("\"%1\": %2").arg(item.path, out.errorString()));
        try {
            decryptAesEntry(za, item, st, password, out, buffer);
        } catch (...) {
            out.remove();
            throw;
        }
        out.close();
        finishEntry(out, item, st);
        return;
    }
    zip_file_t *zf = zip_fopen_index(za, item.index, 0);
    if (!zf)
        throw Error(QStringLiteral("\"%1\": %2").arg(item.name, zipMessage(za)));
    QFile out(writePathFor(item));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        zip_fclose(zf);
        throw Error(QStringLiteral("\"%1\": %2").arg(item.path, out.errorString()));
    }
    while (true) {
        const zip_int64_t n = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
        if (n < 0) {
            const QString msg = QString::fromLocal8Bit(zip_file_strerror(zf));
            zip_fclose(zf);
            out.remove();
            throw Error(QStringLiteral("\"%1\": %2").arg(item.name, msg));
        }
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n) {
            const QString msg = out.errorString();
            zip_fclose(zf);
            out.remove();
            throw Error(QStringLiteral("\"%1\": %2").arg(item.path, msg));
        }
    }
    const int closeResult = zip_fclose(zf);
    out.close();
    if (closeResult != 0) { // a CRC or authentication failure shows here
        out.remove();
        throw Error(QStringLiteral("\"%1\": %2").arg(item.name, openMessage(closeResult)));
    }
    finishEntry(out, item, st);
}

zip_t *openForReading(const QString &archive, const QByteArray &password, zip_flags_t flags)
{
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), int(ZIP_RDONLY | flags), &code);
    if (!za)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, openMessage(code)));
    zip_set_default_password(za, password.isEmpty() ? nullptr : password.constData());
    return za;
}

} // namespace

UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QByteArray &password, bool overwrite,
                       const std::function<void(qint64, qint64)> &afterEntry)
{
    ZipHandle h;
    h.za = openForReading(archive, password, ZIP_CHECKCONS);

    QString root = targetFolder;
    while (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    UnpackResult result;
    const zip_int64_t count = zip_get_num_entries(h.za, 0);

    // First the names: refused ones, folders and files already there; what is left to write
    // is shared out below.
    QList<UnpackItem> work;
    QString lastDir;
    qint64 settled = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *rawName = zip_get_name(h.za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = QString::fromUtf8(rawName ? rawName : "");
        const QString rel = safeRelative(name);
        if (rel.isEmpty()) {
            result.refused.append(name);
            ++settled;
            continue;
        }
        const QString path = root + u'/' + rel;
        const QString dir = rel.endsWith(u'/') ? path : QFileInfo(path).path();
        if (dir != lastDir) {
            if (!QDir().mkpath(dir))
                throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi.").arg(dir));
            lastDir = dir;
        }
        if (rel.endsWith(u'/')) {
            ++settled;
            continue;
        }
        if (!overwrite && QFileInfo::exists(path)) {
            ++result.skippedExisting;
            ++settled;
            continue;
        }
        work.append({zip_uint64_t(i), name, path});
    }

    // Every encrypted entry starts with its own key derivation, and most entries need inflating:
    // two threads, each with a handle of its own on the archive, share the entries.
    std::atomic<qint64> done{settled};
    std::atomic<bool> stop{false};
    QString errors[2];
    auto extractShare = [&](int who, zip_t *za, const std::function<void()> &after) {
        QByteArray buffer(1024 * 1024, Qt::Uninitialized);
        try {
            for (qsizetype k = who; k < work.size() && !stop; k += 2) {
                extractEntry(za, work[k], password, buffer);
                ++done;
                if (after)
                    after();
            }
        } catch (const Error &e) {
            errors[who] = e.text();
            stop = true;
        }
    };
    std::thread helper;
    ZipHandle second;
    if (work.size() > 1) {
        second.za = openForReading(archive, password, 0);
        helper = std::thread([&] { extractShare(1, second.za, {}); });
    }
    const auto report = [&] {
        if (afterEntry)
            afterEntry(done, count);
    };
    extractShare(0, h.za, report);
    if (helper.joinable()) {
        // Keep the caller's progress and events going while the other half finishes.
        while (!stop && done < settled + work.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            report();
        }
        helper.join();
    }
    for (const QString &e : errors)
        if (!e.isEmpty())
            throw Error(e);
    result.written = done - settled;
    report();
    return result;
}

} // namespace kx
