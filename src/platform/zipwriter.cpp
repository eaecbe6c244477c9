#include "platform/zipwriter.h"
#include "platform/kxerror.h"
#include "platform/sourcefile.h"
#include "platform/tempname.h"
#include "platform/winzipaes.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kx {

namespace {

constexpr quint32 kMax32 = 0xFFFFFFFFu;
constexpr int kSaltSize = 16;   // AES-256
constexpr int kMacSize = 10;
constexpr size_t kChunk = 1 << 20;

QString sysText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray &b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

void put64(QByteArray &b, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

void writeAll(int fd, const char *data, size_t size, const QString &what)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error(QStringLiteral("\"%1\": %2").arg(what, sysText(errno)));
        }
        data += n;
        size -= size_t(n);
    }
}

// What the central directory needs to know of an entry written into a part.
struct EntryRecord {
    qsizetype item = -1;
    int part = 0;
    quint64 offset = 0; // of the local header, within its part
    quint64 size = 0;
    quint64 packed = 0; // salt + verifier + data + authentication code
    quint16 dosTime = 0, dosDate = 0;
    quint16 method = 8;
    quint32 crc = 0;
    quint32 mode = 0100644;
    bool zip64 = false;
    bool written = false; // in the archive; otherwise skipped or failed
};

// The outcome of one entry that is not in the archive.
struct EntryMiss {
    bool gone = false;
    QString failure;
};

void dosTimeOf(time_t t, quint16 &time, quint16 &date)
{
    struct tm tmv;
    localtime_r(&t, &tmv);
    if (tmv.tm_year < 80) {
        time = 0;
        date = (1 << 5) | 1;
        return;
    }
    time = quint16((tmv.tm_hour << 11) | (tmv.tm_min << 5) | (tmv.tm_sec / 2));
    date = quint16(((tmv.tm_year - 80) << 9) | ((tmv.tm_mon + 1) << 5) | tmv.tm_mday);
}

QByteArray aesExtra(quint16 method)
{
    QByteArray e;
    put16(e, 0x9901);
    put16(e, 7);
    put16(e, 1); // AE-1: the CRC is kept as well, and readers check it
    e.append("AE", 2);
    e.append(char(3)); // AES-256
    put16(e, method);
    return e;
}


// Writes one complete entry (local header, salt, verifier, data, code) at the end of `out`. A
// source that has gone (or is no plain file) is left out; one that cannot be read is left out as
// a failure of its own, and whatever of it was written already is cut off again. Failures of the
// archive itself throw.
EntryRecord writeEntry(int out, quint64 offset, const ZipWriteItem &item, const QByteArray &password,
                       std::atomic<qint64> &bytesDone, QByteArray &inBuf, QByteArray &outBuf, const QString &partPath,
                       const std::atomic<bool> &stop, const std::atomic<bool> *cancel, EntryMiss &miss)
{
    EntryRecord rec;
    SourceFile in;
    openSourceFile(QFile::encodeName(item.file), in);
    if (in.gone) {
        miss.gone = true;
        return rec;
    }
    if (in.error != 0) {
        miss.failure = QStringLiteral("%1: %2").arg(item.file, sysText(in.error));
        return rec;
    }
    const struct stat &st = in.st;
    rec.offset = offset;
    rec.mode = st.st_mode;
    rec.method = item.store ? 0 : 8;
    dosTimeOf(st.st_mtime, rec.dosTime, rec.dosDate);
    // Sizes are patched in when known; ZIP64 fields are reserved up front for a large file.
    rec.zip64 = quint64(st.st_size) >= kMax32 - (1u << 24);

    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, 51);
    put16(header, (1 << 0) | (1 << 11));
    put16(header, 99);
    put16(header, rec.dosTime);
    put16(header, rec.dosDate);
    const qsizetype crcAt = header.size();
    put32(header, 0);
    put32(header, 0);
    put32(header, 0);
    put16(header, quint16(item.name.size()));
    QByteArray extra;
    qsizetype zip64At = -1;
    if (rec.zip64) {
        put16(extra, 0x0001);
        put16(extra, 16);
        zip64At = extra.size();
        put64(extra, 0);
        put64(extra, 0);
    }
    extra += aesExtra(rec.method);
    put16(header, quint16(extra.size()));
    header += item.name;
    const qsizetype extraAt = header.size();
    header += extra;

    unsigned char salt[kSaltSize];
    if (RAND_bytes(salt, kSaltSize) != 1)
        throw Error(QStringLiteral("Rastgele sayi uretilemedi."));
    WinZipAes aes(password, salt, kSaltSize);
    QByteArray lead = header;
    lead.append(reinterpret_cast<const char *>(salt), kSaltSize);
    lead.append(reinterpret_cast<const char *>(aes.verifier), 2);
    writeAll(out, lead.constData(), size_t(lead.size()), partPath);

    quint64 packed = kSaltSize + 2;
    quint64 read = 0;
    z_stream z{};
    if (!item.store && deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Error(QStringLiteral("Sikistirma baslatilamadi."));
    struct ZEnd {
        z_stream *z;
        bool on;
        ~ZEnd()
        {
            if (on)
                deflateEnd(z);
        }
    } zend{&z, !item.store};

    // The entry is left out of the archive as a failure of its own file: what was written of it
    // goes again, the archive goes on without it.
    auto leaveOut = [&](const QString &reason) {
        miss.failure = QStringLiteral("%1: %2").arg(item.file, reason);
        if (::ftruncate(out, off_t(offset)) != 0 || ::lseek(out, off_t(offset), SEEK_SET) < 0)
            throw Error(QStringLiteral("\"%1\": %2").arg(partPath, sysText(errno)));
        return EntryRecord();
    };
    auto put = [&](char *data, size_t n) {
        aes.encrypt(reinterpret_cast<unsigned char *>(data), n);
        writeAll(out, data, n, partPath);
        packed += n;
    };
    bool eof = false;
    while (!eof) {
        // Cancelled, or another worker failed: no reason to finish a large file first.
        if (stop.load(std::memory_order_relaxed) || (cancel && cancel->load(std::memory_order_relaxed)))
            throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));
        ssize_t n = ::read(in.fd, inBuf.data(), size_t(inBuf.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return leaveOut(sysText(errno));
        }
        eof = n == 0;
        read += quint64(n);
        if (n > 0)
            rec.crc = quint32(crc32(rec.crc, reinterpret_cast<const Bytef *>(inBuf.constData()), uInt(n)));
        bytesDone += n;
        if (item.store) {
            if (n > 0)
                put(inBuf.data(), size_t(n));
            continue;
        }
        z.next_in = reinterpret_cast<Bytef *>(inBuf.data());
        z.avail_in = uInt(n);
        do {
            z.next_out = reinterpret_cast<Bytef *>(outBuf.data());
            z.avail_out = uInt(outBuf.size());
            if (deflate(&z, eof ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR)
                throw Error(QStringLiteral("\"%1\": sikistirma hatasi.").arg(item.file));
            const size_t produced = size_t(outBuf.size()) - z.avail_out;
            if (produced > 0)
                put(outBuf.data(), produced);
        } while (z.avail_out == 0);
    }
    unsigned char code[kMacSize];
    aes.finish(code);
    writeAll(out, reinterpret_cast<const char *>(code), kMacSize, partPath);
    packed += kMacSize;
    rec.size = read;
    rec.packed = packed;

    // Grown past what its header has room for while it was read: the next run takes it.
    if (!rec.zip64 && (read >= kMax32 || packed >= kMax32))
        return leaveOut(QStringLiteral("okunurken buyudu; yeniden deneyin."));
    QByteArray sizes;
    put32(sizes, rec.crc);
    if (rec.zip64) {
        put32(sizes, kMax32);
        put32(sizes, kMax32);
    } else {
        put32(sizes, quint32(packed));
        put32(sizes, quint32(read));
    }
    if (::pwrite(out, sizes.constData(), 12, off_t(offset + quint64(crcAt))) != 12)
        throw Error(QStringLiteral("\"%1\": %2").arg(partPath, sysText(errno)));
    if (rec.zip64) {
        QByteArray z64;
        put64(z64, read);
        put64(z64, packed);
        if (::pwrite(out, z64.constData(), 16, off_t(offset + quint64(extraAt + zip64At))) != 16)
            throw Error(QStringLiteral("\"%1\": %2").arg(partPath, sysText(errno)));
    }
    rec.written = true;
    return rec;
}

// Appends the first `size` bytes of the part `in` at the position of `out`.
void appendPart(int out, int in, quint64 size, const QString &archive)
{
    off_t from = 0;
    QByteArray buf;
    while (size > 0) {
        ssize_t n = -1;
        if (buf.isEmpty()) {
            n = ::copy_file_range(in, &from, out, nullptr, size_t(std::min<quint64>(size, 1u << 30)), 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                buf.resize(qsizetype(kChunk));
                continue;
            }
        } else {
            n = ::pread(in, buf.data(), size_t(std::min<quint64>(size, kChunk)), from);
            if (n > 0) {
                writeAll(out, buf.constData(), size_t(n), archive);
                from += n;
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(n < 0 ? errno : EIO)));
        size -= quint64(n);
    }
}

quint64 recordLength(const ZipWriteItem &item, const EntryRecord &rec)
{
    return 30 + quint64(item.name.size()) + (rec.zip64 ? 20 : 0) + 11 + rec.packed;
}

} // namespace

ZipWriteResult writeAesZip(const QString &archive, const QList<ZipWriteItem> &items, const QByteArray &password,
                           std::atomic<qint64> &bytesDone, const std::function<void()> &tick, int threads,
                           const std::atomic<bool> *cancel)
{
    if (threads <= 0)
        threads = int(std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)));
    threads = int(std::min<qsizetype>(threads, std::max<qsizetype>(1, items.size())));

    // Every part is a temporary in the archive's folder; the largest becomes the archive, the
    // others are appended to it, and it takes the archive's name only when complete.
    const QFileInfo archiveInfo(archive);
    const QByteArray archiveName = QFile::encodeName(archiveInfo.fileName());
    Fd folder(::open(QFile::encodeName(archiveInfo.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(errno)));
    QList<QByteArray> partNames;
    QList<QString> partPaths; // for messages
    for (int p = 0; p < threads; ++p) {
        partNames.append(temporaryName("part" + QByteArray::number(p)));
        partPaths.append(archiveInfo.absolutePath() + u'/' + QFile::decodeName(partNames.last()));
    }
    std::vector<Fd> parts(static_cast<size_t>(threads));
    QList<bool> made(threads, false); // parts that exist under their names
    struct Cleanup {
        int folder;
        const QList<QByteArray> &names;
        const QList<bool> &made;
        ~Cleanup()
        {
            for (qsizetype p = 0; p < names.size(); ++p)
                if (made[p])
                    ::unlinkat(folder, names[p].constData(), 0);
        }
    } cleanup{folder.fd, partNames, made};

    // Largest first, handed out one at a time, so the workers finish close together.
    QList<qsizetype> order(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        order[i] = i;
    QList<qint64> sizes(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        sizes[i] = QFileInfo(items[i].file).size();
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return sizes[a] > sizes[b]; });

    std::mutex mutex;
    std::condition_variable wake;
    qsizetype next = 0;
    int running = 0;
    // The first thing that went wrong with the archive itself, whatever its type: it reaches the
    // caller once every worker has stopped.
    std::exception_ptr failure;
    std::atomic<bool> stop{false};
    QList<EntryRecord> records(items.size());
    QList<EntryMiss> misses(items.size());
    QList<quint64> partSizes(threads, 0);
    auto fail = [&](std::exception_ptr e) {
        std::lock_guard lock(mutex);
        if (!failure)
            failure = e;
        stop = true;
    };

    auto worker = [&](int part) {
        try {
            QByteArray inBuf(qsizetype(kChunk), Qt::Uninitialized), outBuf(qsizetype(kChunk), Qt::Uninitialized);
            Fd &out = parts[size_t(part)];
            out.fd = createTemporaryAt(folder.fd, partNames[part], 0644, O_RDWR);
            if (out.fd < 0)
                throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(errno)));
            made[part] = true;
            quint64 offset = 0;
            while (true) {
                qsizetype index;
                {
                    std::lock_guard lock(mutex);
                    if (stop || next >= order.size())
                        break;
                    index = order[next++];
                }
                if (cancel && cancel->load())
                    throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));
                EntryRecord rec = writeEntry(out.fd, offset, items[index], password, bytesDone, inBuf, outBuf,
                                             partPaths[part], stop, cancel, misses[index]);
                if (!rec.written)
                    continue;
                rec.item = index;
                rec.part = part;
                offset += recordLength(items[index], rec);
                records[index] = rec;
            }
            partSizes[part] = offset;
        } catch (...) {
            fail(std::current_exception());
        }
        std::lock_guard lock(mutex);
        --running;
        wake.notify_all();
    };

    std::vector<std::thread> pool;
    try {
        pool.reserve(size_t(threads));
        for (int p = 0; p < threads; ++p) {
            {
                std::lock_guard lock(mutex);
                ++running;
            }
            try {
                pool.emplace_back(worker, p);
            } catch (...) {
                std::lock_guard lock(mutex);
                --running;
                throw;
            }
        }
        std::unique_lock lock(mutex);
        while (running > 0) {
            wake.wait_for(lock, std::chrono::milliseconds(40));
            if (cancel && cancel->load())
                stop = true;
            lock.unlock();
            if (tick)
                tick();
            lock.lock();
        }
    } catch (...) {
        // Whatever stops the waiting (a thread that could not be made, the progress report)
        // stops the workers too; they are joined below in any case.
        fail(std::current_exception());
    }
    for (std::thread &t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
    if (cancel && cancel->load())
        throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));

    ZipWriteResult result;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (records[i].written)
            ++result.entries;
        else if (misses[i].gone)
            result.skipped.append(items[i].file);
        else if (!misses[i].failure.isEmpty())
            result.failed.append(misses[i].failure);
    }

    // The largest part is the start of the archive; the others follow it, then the central
    // directory in the order the files were given.
    int base = 0;
    for (int p = 1; p < threads; ++p)
        if (partSizes[p] > partSizes[base])
            base = p;
    Fd &out = parts[size_t(base)];
    if (::ftruncate(out.fd, off_t(partSizes[base])) != 0 || ::lseek(out.fd, off_t(partSizes[base]), SEEK_SET) < 0)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(errno)));
    QList<quint64> partBase(threads, 0);
    quint64 position = partSizes[base];
    for (int p = 0; p < threads; ++p) {
        if (p == base)
            continue;
        partBase[p] = position;
        appendPart(out.fd, parts[size_t(p)].fd, partSizes[p], archive);
        position += partSizes[p];
        if (tick)
            tick();
    }

    const quint64 cdOffset = position;
    QByteArray cd;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const EntryRecord &rec = records[i];
        if (!rec.written)
            continue;
        const quint64 offset = partBase[rec.part] + rec.offset;
        const bool bigSizes = rec.zip64;
        const bool bigOffset = offset >= kMax32;
        put32(cd, 0x02014b50);
        put16(cd, (3 << 8) | 51);
        put16(cd, 51);
        put16(cd, (1 << 0) | (1 << 11));
        put16(cd, 99);
        put16(cd, rec.dosTime);
        put16(cd, rec.dosDate);
        put32(cd, rec.crc);
        put32(cd, bigSizes ? kMax32 : quint32(rec.packed));
        put32(cd, bigSizes ? kMax32 : quint32(rec.size));
        put16(cd, quint16(items[i].name.size()));
        QByteArray extra;
        if (bigSizes || bigOffset) {
            put16(extra, 0x0001);
            put16(extra, quint16((bigSizes ? 16 : 0) + (bigOffset ? 8 : 0)));
            if (bigSizes) {
                put64(extra, rec.size);
                put64(extra, rec.packed);
            }
            if (bigOffset)
                put64(extra, offset);
        }
        extra += aesExtra(rec.method);
        put16(cd, quint16(extra.size()));
        put16(cd, 0);
        put16(cd, 0);
        put16(cd, 0);
        put32(cd, quint32(rec.mode) << 16);
        put32(cd, bigOffset ? kMax32 : quint32(offset));
        cd += items[i].name;
        cd += extra;
    }
    const quint64 cdSize = quint64(cd.size());
    const quint64 count = quint64(result.entries);
    if (count >= 0xFFFF || cdOffset >= kMax32 || cdSize >= kMax32) {
        const quint64 zip64End = cdOffset + cdSize;
        put32(cd, 0x06064b50);
        put64(cd, 44);
        put16(cd, (3 << 8) | 51);
        put16(cd, 45);
        put32(cd, 0);
        put32(cd, 0);
        put64(cd, count);
        put64(cd, count);
        put64(cd, cdSize);
        put64(cd, cdOffset);
        put32(cd, 0x07064b50);
        put32(cd, 0);
        put64(cd, zip64End);
        put32(cd, 1);
    }
    put32(cd, 0x06054b50);
    put16(cd, 0);
    put16(cd, 0);
    put16(cd, quint16(std::min<quint64>(count, 0xFFFF)));
    put16(cd, quint16(std::min<quint64>(count, 0xFFFF)));
    put32(cd, quint32(std::min<quint64>(cdSize, kMax32)));
    put32(cd, quint32(std::min<quint64>(cdOffset, kMax32)));
    put16(cd, 0);
    writeAll(out.fd, cd.constData(), size_t(cd.size()), archive);
    if (::fsync(out.fd) != 0)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(errno)));
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(errno)));
    // Only a complete archive takes the real name (a link there is replaced, not followed).
    if (::renameat(folder.fd, partNames[base].constData(), folder.fd, archiveName.constData()) != 0)
        throw Error(QStringLiteral("\"%1\": %2").arg(archive, sysText(errno)));
    made[base] = false;
    ::fsync(folder.fd);
    return result;
}

} // namespace kx
