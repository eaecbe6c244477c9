#include "platform/zipengine.h"
#include "platform/pathname.h"
#include "platform/confined.h"
#include "platform/kxerror.h"
#include "platform/tempname.h"
#include "platform/winzipaes.h"
#include "platform/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <exception>
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
    int code = 0;
    ZipHandle h;
    h.za = zip_open(encodePath(archive).constData(), ZIP_RDONLY, &code);
    if (!h.za)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, openMessage(code)});
    ZipInfo info;
    info.entries = zip_get_num_entries(h.za, 0);
    for (zip_int64_t i = 0; i < info.entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(h.za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            info.totalSize += qint64(st.size);
    }
    return info;
}

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

namespace {

struct UnpackItem {
    zip_uint64_t index;
    QString name;   // as stored
    QString folder; // relative to the target, "" for the target itself
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
void finishSink(Sink &sink, const UnpackItem &item, const zip_stat_t &st, bool overwrite)
{
    if (st.valid & ZIP_STAT_MTIME) {
        const struct timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
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
void decryptAesEntry(zip_t *za, const UnpackItem &item, const zip_stat_t &st, const QByteArray &password, Sink &out,
                     QByteArray &buffer, const std::atomic<bool> *cancel)
{
    const int saltSize = st.encryption_method == ZIP_EM_AES_128 ? 8 : st.encryption_method == ZIP_EM_AES_192 ? 12 : 16;
    auto fail = [&](int code) { throw Error(QStringLiteral("\"%1\": %2"), {item.name, openMessage(code)}); };
    if (!(st.valid & ZIP_STAT_COMP_SIZE) || st.comp_size < zip_uint64_t(saltSize + 2 + WinZipAes::kCodeSize))
        fail(ZIP_ER_INCONS);
    if (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE)
        fail(ZIP_ER_COMPNOTSUPP);
    zip_file_t *zf = zip_fopen_index(za, item.index, ZIP_FL_ENCRYPTED);
    if (!zf)
        throw Error(QStringLiteral("\"%1\": %2"), {item.name, zipMessage(za)});
    struct Closer {
        zip_file_t *zf;
        ~Closer() { zip_fclose(zf); }
    } closer{zf};
    auto readOrFail = [&](char *data, zip_uint64_t size) {
        const zip_int64_t n = readFully(zf, data, size);
        if (n < 0)
            throw Error(QStringLiteral("\"%1\": %2"), {item.name, QString::fromLocal8Bit(zip_file_strerror(zf))});
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
        out.write(data, n);
    };
    while (left > 0) {
        if (cancel && cancel->load())
            throw Error(QStringLiteral("Arsiv acma yarida kesildi."));
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

void extractEntry(zip_t *za, ConfinedRoot &root, const UnpackItem &item, const QByteArray &password, bool overwrite,
                  QByteArray &buffer, const std::atomic<bool> *cancel)
{
    zip_stat_t st;
    zip_stat_init(&st);
    zip_stat_index(za, item.index, 0, &st);
    const QString where = root.path() + u'/' + (item.folder.isEmpty() ? QString() : item.folder + u'/')
                          + decodePath(item.file);
    Sink sink;
    openSink(sink, root.folder(item.folder), item, where);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD)
        && (st.encryption_method == ZIP_EM_AES_128 || st.encryption_method == ZIP_EM_AES_192
            || st.encryption_method == ZIP_EM_AES_256)) {
        decryptAesEntry(za, item, st, password, sink, buffer, cancel);
        finishSink(sink, item, st, overwrite);
        return;
    }
    zip_file_t *zf = zip_fopen_index(za, item.index, 0);
    if (!zf)
        throw Error(QStringLiteral("\"%1\": %2"), {item.name, zipMessage(za)});
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
            throw Error(QStringLiteral("\"%1\": %2"), {item.name, QString::fromLocal8Bit(zip_file_strerror(zf))});
        if (n == 0)
            break;
        sink.write(buffer.constData(), n);
    }
    closer.zf = nullptr;
    const int closeResult = zip_fclose(zf);
    if (closeResult != 0) // a CRC or authentication failure shows here
        throw Error(QStringLiteral("\"%1\": %2"), {item.name, openMessage(closeResult)});
    finishSink(sink, item, st, overwrite);
}

zip_t *openForReading(const QString &archive, const QByteArray &password, zip_flags_t flags)
{
    int code = 0;
    zip_t *za = zip_open(encodePath(archive).constData(), int(ZIP_RDONLY | flags), &code);
    if (!za)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, openMessage(code)});
    zip_set_default_password(za, password.isEmpty() ? nullptr : password.constData());
    return za;
}

} // namespace

UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QByteArray &password, bool overwrite,
                       const std::function<void(qint64, qint64)> &afterEntry, const std::atomic<bool> *cancel)
{
    ZipHandle h;
    h.za = openForReading(archive, password, ZIP_CHECKCONS);

    QString rootPath = targetFolder;
    while (rootPath.size() > 1 && rootPath.endsWith(u'/'))
        rootPath.chop(1);
    ConfinedRoot root(rootPath);
    UnpackResult result;
    const zip_int64_t count = zip_get_num_entries(h.za, 0);

    // First the names: refused ones, folders (made here, never through a link) and files
    // already there; what is left to write is shared out below.
    QList<UnpackItem> work;
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
        const bool isFolder = rel.endsWith(u'/');
        const QString clean = isFolder ? rel.chopped(1) : rel;
        const qsizetype slash = clean.lastIndexOf(u'/');
        const QString folder = isFolder ? clean : slash < 0 ? QString() : clean.left(slash);
        int dirFd;
        try {
            dirFd = root.folder(folder);
        } catch (const Error &) {
            // A link (or a file) where one of its folders should be: it would write elsewhere.
            result.refused.append(name);
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
        work.append({zip_uint64_t(i), name, folder, file});
    }

    // Every encrypted entry starts with its own key derivation, and most entries need inflating:
    // two threads, each with a handle of its own on the archive and a view of the target of its
    // own, share the entries. Whatever one of them throws stops both and reaches the caller.
    std::atomic<qint64> done{settled};
    std::atomic<bool> stop{false};
    std::exception_ptr errors[2];
    auto extractShare = [&](int who, zip_t *za, const std::function<void()> &after) {
        try {
            QByteArray buffer(1024 * 1024, Qt::Uninitialized);
            ConfinedRoot mine(rootPath);
            for (qsizetype k = who; k < work.size() && !stop; k += 2) {
                if (cancel && cancel->load())
                    throw Error(QStringLiteral("Arsiv acma yarida kesildi."));
                extractEntry(za, mine, work[k], password, overwrite, buffer, cancel);
                ++done;
                if (after)
                    after();
            }
        } catch (...) {
            errors[who] = std::current_exception();
            stop = true;
        }
    };
    // Declared after what it uses: on any way out it is joined before they go.
    ZipHandle second;
    std::jthread helper;
    if (work.size() > 1) {
        second.za = openForReading(archive, password, 0);
        helper = std::jthread([&] { extractShare(1, second.za, {}); });
    }
    const auto report = [&] {
        if (afterEntry)
            afterEntry(done, count);
    };
    extractShare(0, h.za, report);
    if (helper.joinable()) {
        // Keep the caller's progress going while the other half finishes.
        try {
            while (!stop && done < settled + work.size()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                report();
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
    return result;
}

} // namespace kx
