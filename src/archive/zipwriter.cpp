#include "archive/zipwriter.h"
#include "platform/fd.h"
#include "platform/headway.h"
#include "platform/pathname.h"
#include "archive/deflatechunk.h"
#include "platform/kxerror.h"
#include "platform/sourcefile.h"
#include "platform/tempname.h"
#include "archive/winzipaes.h"

#include <QFile>
#include <QFileInfo>

#include <libdeflate.h>
#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <list>
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
#include <vector>

namespace kx {

namespace {

constexpr quint32 kMax32 = 0xFFFFFFFFu;
constexpr int kSaltSize = 16;   // AES-256
constexpr int kMacSize = 10;
constexpr qint64 kAe2Below = 20; // bytes; WinZip's limit
// A file larger than this is cut into chunks of this size that are compressed side by side.
// Each joint costs the next chunk the history a single stream would have had: at 16 MiB the
// archive comes out no larger than zip -9's, at 4 MiB it was a little larger.
constexpr qint64 kChunk = qint64(16) << 20;
std::atomic<qint64> g_chunk{kChunk};
// How far a file is read past the size it had when it was opened: a file that is still being
// written is taken as it stood, not followed for ever.
constexpr qint64 kGrowth = qint64(64) << 20;
constexpr qsizetype kOutBuffer = qsizetype(1) << 20;

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


void writeAll(int fd, const char *data, size_t size, const QString &what)
{
    const Waiting waiting(what);
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error(QStringLiteral("\"%1\": %2"), {what, systemErrorText(errno)});
        }
        data += n;
        size -= size_t(n);
    }
}

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

QByteArray aesExtra(quint16 method, bool ae2)
{
    QByteArray e;
    put16(e, 0x9901);
    put16(e, 7);
    put16(e, ae2 ? 2 : 1);
    e.append("AE", 2);
    e.append(char(3)); // AES-256
    put16(e, method);
    return e;
}

// A source file opened once and shared by the jobs of its chunks.
struct OpenFile {
    SourceFile src;
    std::atomic<bool> failed{false};
    // Stored rather than deflated: decided by its first chunk before any other chunk is planned.
    bool stored = false;
};

// One piece of work: a whole file (chunk 0 of a file not yet opened), or a further chunk of a
// large one. Workers fill in the result; the writer takes jobs in archive order.
struct Job {
    qsizetype item = -1;
    int chunk = 0;
    bool last = true;   // the last chunk of its file
    qint64 offset = 0;  // in the file
    qint64 length = 0;  // planned; the last chunk reads on to the end of the file
    std::shared_ptr<OpenFile> file;
    bool taken = false;
    bool done = false;
    // Result.
    QByteArray data; // compressed, or stored, bytes
    quint32 crc = 0;
    qint64 read = 0;
    bool gone = false;  // chunk 0: no longer there or no plain file
    QString failure;    // the file cannot be read: it is left out
    // Chunk 0 only.
    struct stat st {};
    bool chunked = false;
    bool stored = false; // method 0 for the whole entry
    std::unique_ptr<WinZipAes> aes;
    unsigned char salt[kSaltSize] = {};
};

// What the central directory needs to know of an entry in the archive.
struct EntryRecord {
    quint64 offset = 0; // of the local header
    quint64 size = 0;
    quint64 packed = 0; // salt + verifier + data + authentication code
    quint16 dosTime = 0, dosDate = 0;
    quint16 method = 8;
    quint32 crc = 0;
    quint32 mode = 0100644;
    bool zip64 = false;
    // AE-2: no CRC in the headers. The CRC of a file of a few bytes would let anyone try a
    // dictionary against it without the password; the authentication code stands in for it.
    // Larger files keep it (AE-1), as WinZip does: it also checks what the compressor made,
    // which the authentication code, taken over the encrypted bytes, cannot.
    bool ae2 = false;
    quint32 storedCrc() const { return ae2 ? 0 : crc; }
    bool written = false;
};

// The archive's temporary, written front to back through a buffer.
class Output
{
public:
    Output(int fd, const QString &name) : m_fd(fd), m_name(name) { m_buffer.reserve(kOutBuffer); }
    quint64 position() const { return m_flushed + quint64(m_buffer.size()); }
    void write(const char *data, size_t size)
    {
        if (m_buffer.size() + qsizetype(size) > kOutBuffer) {
            flush();
            if (qsizetype(size) >= kOutBuffer / 2) {
                writeAll(m_fd, data, size, m_name);
                m_flushed += size;
                return;
            }
        }
        m_buffer.append(data, qsizetype(size));
    }
    void flush()
    {
        writeAll(m_fd, m_buffer.constData(), size_t(m_buffer.size()), m_name);
        m_flushed += quint64(m_buffer.size());
        m_buffer.clear();
    }
    // Bytes already written are changed in place (sizes known only at an entry's end).
    void patch(quint64 at, const QByteArray &bytes)
    {
        flush();
        const Waiting waiting(m_name);
        if (::pwrite(m_fd, bytes.constData(), size_t(bytes.size()), off_t(at)) != bytes.size())
            throw Error(QStringLiteral("\"%1\": %2"), {m_name, systemErrorText(errno)});
    }
    // Everything from `at` on goes again.
    void cutTo(quint64 at)
    {
        if (at >= m_flushed) {
            m_buffer.truncate(qsizetype(at - m_flushed));
            return;
        }
        m_buffer.clear();
        if (::ftruncate(m_fd, off_t(at)) != 0 || ::lseek(m_fd, off_t(at), SEEK_SET) < 0)
            throw Error(QStringLiteral("\"%1\": %2"), {m_name, systemErrorText(errno)});
        m_flushed = at;
    }

private:
    int m_fd;
    QString m_name;
    QByteArray m_buffer;
    quint64 m_flushed = 0;
};

// Reads `length` bytes at `offset`, or with `toEnd` on to the end of the file (at most kGrowth
// past `length`). Returns the count read, or -1 with errno set.
qint64 readRange(int fd, qint64 offset, qint64 length, bool toEnd, QByteArray &buffer)
{
    const qint64 limit = toEnd ? length + kGrowth : length;
    buffer.resize(qsizetype(std::max<qint64>(toEnd ? length + 1 : length, 1)));
    qint64 got = 0;
    while (got < limit) {
        if (got == buffer.size())
            buffer.resize(qsizetype(std::min<qint64>(limit, qint64(buffer.size()) * 2)));
        const ssize_t n = ::pread(fd, buffer.data() + got, size_t(buffer.size() - got), off_t(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += n;
        if (!toEnd && got == length)
            break;
    }
    return got;
}

// Encrypted; the name flagged as UTF-8 only when it is. A name that is no UTF-8 is stored as the
// file name's own bytes, unflagged, from a Unix system: readers take such names as they are.
quint16 entryFlags(const ZipWriteItem &item)
{
    return quint16((1 << 0) | (isValidUtf8(item.name) ? (1 << 11) : 0));
}

QByteArray localHeader(const ZipWriteItem &item, const EntryRecord &rec, qsizetype &crcAt, qsizetype &zip64At)
{
    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, 51);
    put16(header, entryFlags(item));
    put16(header, 99);
    put16(header, rec.dosTime);
    put16(header, rec.dosDate);
    crcAt = header.size();
    put32(header, rec.storedCrc());
    put32(header, rec.zip64 ? kMax32 : quint32(rec.packed));
    put32(header, rec.zip64 ? kMax32 : quint32(rec.size));
    put16(header, quint16(item.name.size()));
    QByteArray extra;
    zip64At = -1;
    if (rec.zip64) {
        put16(extra, 0x0001);
        put16(extra, 16);
        zip64At = header.size() + 2 + item.name.size() + extra.size();
        put64(extra, rec.size);
        put64(extra, rec.packed);
    }
    extra += aesExtra(rec.method, rec.ae2);
    put16(header, quint16(extra.size()));
    header += item.name;
    header += extra;
    return header;
}

QByteArray centralDirectory(const QList<ZipWriteItem> &items, const QList<EntryRecord> &records, quint64 cdOffset,
                            quint64 count)
{
    QByteArray cd;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const EntryRecord &rec = records[i];
        if (!rec.written)
            continue;
        const bool bigSizes = rec.zip64;
        const bool bigOffset = rec.offset >= kMax32;
        put32(cd, 0x02014b50);
        put16(cd, (3 << 8) | 51);
        put16(cd, 51);
        put16(cd, entryFlags(items[i]));
        put16(cd, 99);
        put16(cd, rec.dosTime);
        put16(cd, rec.dosDate);
        put32(cd, rec.storedCrc());
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
                put64(extra, rec.offset);
        }
        extra += aesExtra(rec.method, rec.ae2);
        put16(cd, quint16(extra.size()));
        put16(cd, 0);
        put16(cd, 0);
        put16(cd, 0);
        put32(cd, quint32(rec.mode) << 16);
        put32(cd, bigOffset ? kMax32 : quint32(rec.offset));
        cd += items[i].name;
        cd += extra;
    }
    const quint64 cdSize = quint64(cd.size());
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
    return cd;
}

constexpr int kKeySize = kSaltSize * 4 + 2; // AES key, HMAC key, verifier

// Salts and the keys derived from them, made sixteen at a time (the wide derivation costs about
// what four single ones do) and handed out one per entry. A worker that finds none left derives
// the next sixteen without holding the others up.
class KeyPool
{
public:
    explicit KeyPool(const QByteArray &password) : m_password(password)
    {
        // Room for a batch of every worker: keys are never left behind in a buffer given up.
        m_salts.reserve(8 * kKeyLanes * kSaltSize);
        m_keys.reserve(8 * kKeyLanes * kKeySize);
    }
    ~KeyPool()
    {
        if (!m_keys.empty())
            OPENSSL_cleanse(m_keys.data(), m_keys.size());
    }
    KeyPool(const KeyPool &) = delete;
    KeyPool &operator=(const KeyPool &) = delete;

    void take(unsigned char *salt, unsigned char *keys)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_salts.empty()) {
                pop(salt, keys);
                return;
            }
        }
        // One entry's key at a time where the processor cannot derive side by side.
        const int count = wideKeyDerivation() ? kKeyLanes : 1;
        unsigned char salts[kKeyLanes * kSaltSize];
        unsigned char derived[kKeyLanes * kKeySize];
        if (RAND_bytes(salts, count * kSaltSize) != 1)
            throw Error(QStringLiteral("Rastgele sayi uretilemedi."));
        if (count == kKeyLanes)
            pbkdf2HmacSha1Lanes(m_password, salts, 1000, derived, kKeySize);
        else
            pbkdf2HmacSha1(m_password, salts, kSaltSize, 1000, derived, kKeySize);
        std::memcpy(salt, salts, kSaltSize);
        std::memcpy(keys, derived, kKeySize);
        {
            std::lock_guard lock(m_mutex);
            m_salts.insert(m_salts.end(), salts + kSaltSize, salts + count * kSaltSize);
            m_keys.insert(m_keys.end(), derived + kKeySize, derived + count * kKeySize);
        }
        OPENSSL_cleanse(derived, sizeof derived);
    }

private:
    void pop(unsigned char *salt, unsigned char *keys)
    {
        std::memcpy(salt, m_salts.data() + m_salts.size() - kSaltSize, kSaltSize);
        std::memcpy(keys, m_keys.data() + m_keys.size() - kKeySize, kKeySize);
        OPENSSL_cleanse(m_keys.data() + m_keys.size() - kKeySize, kKeySize);
        m_salts.resize(m_salts.size() - kSaltSize);
        m_keys.resize(m_keys.size() - kKeySize);
    }

    const QByteArray &m_password;
    std::mutex m_mutex;
    std::vector<unsigned char> m_salts;
    std::vector<unsigned char> m_keys; // kKeySize for each salt
};

// The work shared by the workers and the writer.
class Pack
{
public:
    Pack(const QList<ZipWriteItem> &items, const QByteArray &password, std::atomic<qint64> &bytesDone,
         const std::atomic<bool> *cancel, int threads)
        : m_items(items), m_keys(password), m_bytesDone(bytesDone), m_cancel(cancel),
          m_limit(2 * threads + 2)
    {
    }

    void work();
    // The writer: every job in archive order, then the central directory. Throws the first
    // failure of the archive, or of a worker.
    ZipWriteResult write(Output &out, const std::function<void()> &tick);
    void fail(std::exception_ptr e)
    {
        std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = e;
        m_stop = true;
        m_wake.notify_all();
    }
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }

private:
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    Job *take();
    void run(Job &job, ChunkDeflater &deflater, QByteArray &in);
    void fill(Job &job, ChunkDeflater &deflater, const QByteArray &in, qint64 n);
    static bool incompressible(ChunkDeflater &deflater, int fd, qint64 size, const QByteArray *data);

    const QList<ZipWriteItem> &m_items;
    KeyPool m_keys;
    std::atomic<qint64> &m_bytesDone;
    const std::atomic<bool> *m_cancel;
    const int m_limit; // jobs taken and not yet written
    const qint64 m_chunk = g_chunk;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<Job> m_jobs;          // not yet written, in archive order
    std::list<Job>::iterator m_untaken = m_jobs.end();
    qsizetype m_nextItem = 0;       // the first item without a job yet
    int m_inFlight = 0;
    int m_opening = 0;              // first chunks that may still add chunks of their file
    bool m_stop = false;
    std::exception_ptr m_failure;
};

Job *Pack::take()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        if (m_stop)
            return nullptr;
        const bool planned = m_untaken != m_jobs.end();
        if (!planned && m_nextItem >= m_items.size() && m_opening == 0)
            return nullptr;
        if (planned || m_nextItem < m_items.size()) {
            // The job the writer waits for is always taken, whatever else is in flight.
            const bool front = planned ? m_untaken == m_jobs.begin() : m_jobs.empty();
            if (m_inFlight < m_limit || front)
                break;
        }
        m_wake.wait(lock);
    }
    if (m_untaken == m_jobs.end()) {
        Job job;
        job.item = m_nextItem++;
        m_untaken = m_jobs.insert(m_jobs.end(), std::move(job));
    }
    Job *job = &*m_untaken;
    job->taken = true;
    // Chunks of a large file go in before jobs taken while the file was opened; those are
    // passed over.
    while (m_untaken != m_jobs.end() && m_untaken->taken)
        ++m_untaken;
    ++m_inFlight;
    if (job->chunk == 0)
        ++m_opening;
    return job;
}

void Pack::work()
{
    try {
        ChunkDeflater deflater;
        QByteArray in;
        while (Job *job = take()) {
            if (cancelled())
                throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));
            run(*job, deflater, in);
            std::lock_guard lock(m_mutex);
            job->done = true;
            m_wake.notify_all();
        }
    } catch (...) {
        fail(std::current_exception());
    }
}

void Pack::fill(Job &job, ChunkDeflater &deflater, const QByteArray &in, qint64 n)
{
    job.read = n;
    job.crc = libdeflate_crc32(0, in.constData(), size_t(n));
    if (!job.file->stored) {
        deflater.compress(in.constData(), size_t(n), job.last, job.data);
        // A whole file that deflate did not make smaller is stored, as zip does. (Chunks of a
        // large file follow what its probe decided: the header is written before they are done.)
        if (job.chunk == 0 && !job.chunked && job.data.size() >= n) {
            job.data.clear();
            job.file->stored = true;
        }
    }
    if (job.file->stored)
        job.data = in.left(qsizetype(n));
    if (job.chunk == 0)
        job.stored = job.file->stored;
    m_bytesDone += n;
}

// Incompressible data (random, encrypted, already compressed) is found by a quick deflate of a
// few slices of the file, so that it never goes through the real compressor at all. `data` holds
// the file when it has been read whole; otherwise the slices are read here.
bool Pack::incompressible(ChunkDeflater &deflater, int fd, qint64 size, const QByteArray *data)
{
    const qint64 probe = qint64(kProbeSize);
    if (size <= probe)
        return false; // compressed whole and compared
    QList<qint64> at{0};
    if (size >= 3 * probe)
        at << (size / 2 - probe / 2) << (size - probe);
    QByteArray slice;
    for (qint64 offset : at) {
        const char *bytes = nullptr;
        if (data) {
            if (offset + probe > data->size())
                continue;
            bytes = data->constData() + offset;
        } else {
            if (readRange(fd, offset, probe, false, slice) != probe)
                return false; // shorter than it was: the chunks find out
            bytes = slice.constData();
        }
        if (deflater.shrinks(bytes, size_t(probe)))
            return false;
    }
    return true;
}

void Pack::run(Job &job, ChunkDeflater &deflater, QByteArray &in)
{
    const ZipWriteItem &item = m_items[job.item];
    // A job waits on its file: a source that stops answering is named by it.
    const Waiting waiting(item.file);
    if (job.chunk > 0) {
        if (job.file->failed)
            return;
        const qint64 n = readRange(job.file->src.fd, job.offset, job.length, job.last, in);
        if (n < 0 || (!job.last && n < job.length)) {
            job.failure = QStringLiteral("%1: %2").arg(item.file, n < 0 ? systemErrorText(errno) : QStringLiteral("okunurken kucukdu; yeniden deneyin."));
            job.file->failed = true;
            return;
        }
        fill(job, deflater, in, n);
        return;
    }

    // The first chunk opens the file; a large one is cut into chunks that any worker may take.
    struct Opened {
        Pack &pack;
        ~Opened()
        {
            std::lock_guard lock(pack.m_mutex);
            --pack.m_opening;
            pack.m_wake.notify_all();
        }
    } opened{*this};
    job.file = std::make_shared<OpenFile>();
    SourceFile &src = job.file->src;
    openSourceFile(encodePath(item.file), src);
    if (src.gone) {
        job.gone = true;
        return;
    }
    if (src.error != 0) {
        job.failure = QStringLiteral("%1: %2").arg(item.file, systemErrorText(src.error));
        return;
    }
    job.st = src.st;
    unsigned char keys[kKeySize];
    m_keys.take(job.salt, keys);
    job.aes = std::make_unique<WinZipAes>(keys, kSaltSize * 2);
    OPENSSL_cleanse(keys, sizeof keys);
    const qint64 size = job.st.st_size;
    job.file->stored = item.store;
    if (size > m_chunk) {
        // Decided before the chunks are planned: all of them follow it.
        if (!job.file->stored)
            job.file->stored = incompressible(deflater, src.fd, size, nullptr);
        job.chunked = true;
        job.last = false;
        job.length = m_chunk;
        const qint64 count = (size + m_chunk - 1) / m_chunk;
        std::lock_guard lock(m_mutex);
        auto at = std::next(std::find_if(m_jobs.begin(), m_jobs.end(), [&](const Job &j) { return &j == &job; }));
        std::list<Job> more;
        for (qint64 c = 1; c < count; ++c) {
            Job next;
            next.item = job.item;
            next.chunk = int(c);
            next.offset = c * m_chunk;
            next.length = std::min(m_chunk, size - next.offset);
            next.last = c == count - 1;
            next.file = job.file;
            more.push_back(std::move(next));
        }
        m_jobs.splice(at, more);
        // The new chunks may come before the first job not yet taken, or after untaken chunks of
        // another large file opened at the same time: the first untaken job is looked for anew.
        m_untaken = std::find_if(m_jobs.begin(), m_jobs.end(), [](const Job &j) { return !j.taken; });
        m_wake.notify_all();
    } else {
        job.length = size;
    }
    const qint64 n = readRange(src.fd, 0, job.length, job.last, in);
    if (n < 0 || (!job.last && n < job.length)) {
        job.failure = QStringLiteral("%1: %2").arg(item.file, n < 0 ? systemErrorText(errno) : QStringLiteral("okunurken kucukdu; yeniden deneyin."));
        job.file->failed = true;
        return;
    }
    if (!job.chunked && !job.file->stored)
        job.file->stored = incompressible(deflater, src.fd, n, &in);
    fill(job, deflater, in, n);
}

ZipWriteResult Pack::write(Output &out, const std::function<void()> &tick)
{
    QList<EntryRecord> records(m_items.size());
    QList<bool> gone(m_items.size(), false);
    QList<QString> failures(m_items.size());
    // The entry being written: its header's place and what has been written of it so far.
    struct Current {
        qsizetype item = -1;
        bool abandoned = false;
        EntryRecord rec;
        std::unique_ptr<WinZipAes> aes;
        qsizetype crcAt = 0, zip64At = -1;
    } cur;
    auto lastTick = std::chrono::steady_clock::now();
    auto maybeTick = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (tick && now - lastTick >= std::chrono::milliseconds(40)) {
            lastTick = now;
            tick();
        }
    };

    std::unique_lock lock(m_mutex);
    while (true) {
        if (m_failure)
            std::rethrow_exception(m_failure);
        if (m_jobs.empty() && m_nextItem >= m_items.size())
            break;
        if (m_jobs.empty() || !m_jobs.front().done) {
            m_wake.wait_for(lock, std::chrono::milliseconds(40));
            lock.unlock();
            if (cancelled())
                throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));
            maybeTick();
            lock.lock();
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        --m_inFlight;
        m_wake.notify_all();
        lock.unlock();

        const ZipWriteItem &item = m_items[job.item];
        if (job.chunk == 0) {
            cur = Current();
            cur.item = job.item;
            if (job.gone || !job.failure.isEmpty()) {
                gone[job.item] = job.gone;
                failures[job.item] = job.failure;
                cur.abandoned = true;
            } else {
                EntryRecord &rec = cur.rec;
                rec.offset = out.position();
                rec.mode = job.st.st_mode;
                rec.method = job.stored ? 0 : 8;
                dosTimeOf(job.st.st_mtime, rec.dosTime, rec.dosDate);
                // ZIP64 fields are kept for a file that may need them.
                rec.zip64 = quint64(job.st.st_size) >= kMax32 - (1u << 24);
                if (!job.chunked) {
                    // All is known: the header is written once, as it stays.
                    rec.crc = job.crc;
                    rec.size = quint64(job.read);
                    rec.ae2 = job.read < kAe2Below;
                    rec.packed = kSaltSize + 2 + quint64(job.data.size()) + kMacSize;
                }
                cur.aes = std::move(job.aes);
                const QByteArray header = localHeader(item, rec, cur.crcAt, cur.zip64At);
                out.write(header.constData(), size_t(header.size()));
                out.write(reinterpret_cast<const char *>(job.salt), kSaltSize);
                out.write(reinterpret_cast<const char *>(cur.aes->verifier), 2);
                rec.crc = 0;
                rec.size = 0;
                rec.packed = kSaltSize + 2;
            }
        }
        if (!cur.abandoned && !job.failure.isEmpty()) {
            // Failed half-way: the entry goes again, the archive goes on without it.
            out.cutTo(cur.rec.offset);
            failures[job.item] = job.failure;
            cur.abandoned = true;
        }
        if (!cur.abandoned) {
            EntryRecord &rec = cur.rec;
            cur.aes->encrypt(reinterpret_cast<unsigned char *>(job.data.data()), size_t(job.data.size()));
            out.write(job.data.constData(), size_t(job.data.size()));
            rec.packed += quint64(job.data.size());
            rec.crc = job.chunk == 0 ? job.crc : quint32(crc32_combine64(rec.crc, job.crc, job.read));
            rec.size += quint64(job.read);
            if (job.last) {
                unsigned char code[kMacSize];
                cur.aes->finish(code);
                out.write(reinterpret_cast<const char *>(code), kMacSize);
                rec.packed += kMacSize;
                if (!rec.zip64 && (rec.size >= kMax32 || rec.packed >= kMax32)) {
                    // Grown past what its header has room for while it was read: the next run
                    // takes it.
                    out.cutTo(rec.offset);
                    failures[job.item] = QStringLiteral("%1: %2").arg(item.file, QStringLiteral("okunurken buyudu; yeniden deneyin."));
                } else {
                    if (job.chunk > 0) {
                        QByteArray sizes;
                        put32(sizes, rec.storedCrc());
                        put32(sizes, rec.zip64 ? kMax32 : quint32(rec.packed));
                        put32(sizes, rec.zip64 ? kMax32 : quint32(rec.size));
                        out.patch(rec.offset + quint64(cur.crcAt), sizes);
                        if (rec.zip64) {
                            QByteArray z64;
                            put64(z64, rec.size);
                            put64(z64, rec.packed);
                            out.patch(rec.offset + quint64(cur.zip64At), z64);
                        }
                    }
                    rec.written = true;
                    records[job.item] = rec;
                }
                cur.abandoned = true; // done with it
            }
        }
        job = Job();
        maybeTick();
        lock.lock();
    }
    lock.unlock();
    // Everything is read: the last report says so.
    if (tick)
        tick();

    ZipWriteResult result;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (records[i].written)
            ++result.entries;
        else if (gone[i])
            result.skipped.append(m_items[i].file);
        else if (!failures[i].isEmpty())
            result.failed.append(failures[i]);
    }
    const QByteArray cd = centralDirectory(m_items, records, out.position(), quint64(result.entries));
    out.write(cd.constData(), size_t(cd.size()));
    out.flush();
    return result;
}

} // namespace

void setZipChunkSize(qint64 bytes)
{
    g_chunk = bytes > 0 ? bytes : kChunk;
}

ZipWriteResult writeAesZip(const QString &archive, const QList<ZipWriteItem> &items, const QByteArray &password,
                           std::atomic<qint64> &bytesDone, const std::function<void()> &tick, int threads,
                           const std::atomic<bool> *cancel)
{
    if (threads <= 0)
        threads = int(std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)));

    // The archive is written once, into a temporary in its folder that takes the archive's name
    // only when complete.
    const QFileInfo archiveInfo(archive);
    const QByteArray archiveName = encodePath(archiveInfo.fileName());
    Fd folder(::open(encodePath(archiveInfo.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, systemErrorText(errno)});
    const QByteArray tempName = temporaryName(archiveName);
    Fd temp(createTemporaryAt(folder.fd, tempName, 0644, O_WRONLY));
    if (temp.fd < 0)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, systemErrorText(errno)});
    struct Cleanup {
        int folder;
        const QByteArray &name;
        bool keep = false;
        ~Cleanup()
        {
            if (!keep)
                ::unlinkat(folder, name.constData(), 0);
        }
    } cleanup{folder.fd, tempName};

    Pack pack(items, password, bytesDone, cancel, threads);
    std::vector<std::thread> pool;
    ZipWriteResult result;
    std::exception_ptr failure;
    try {
        pool.reserve(size_t(threads));
        Headway *headway = Headway::current();
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([&pack, headway] {
                const HeadwayScope scope(headway);
                pack.work();
            });
        Output out(temp.fd, archive);
        result = pack.write(out, tick);
    } catch (...) {
        failure = std::current_exception();
    }
    pack.stop();
    for (std::thread &t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
    if (cancel && cancel->load())
        throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));

    const Waiting finishing(archive);
    if (::fsync(temp.fd) != 0)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, systemErrorText(errno)});
    const int closed = ::close(temp.fd);
    temp.fd = -1;
    if (closed != 0)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, systemErrorText(errno)});
    // A run given up while the archive was flushed leaves nothing under the archive's name.
    if (cancel && cancel->load())
        throw Error(QStringLiteral("Arsiv olusturma yarida kesildi."));
    // Only a complete archive takes the real name (a link there is replaced, not followed).
    if (::renameat(folder.fd, tempName.constData(), folder.fd, archiveName.constData()) != 0)
        throw Error(QStringLiteral("\"%1\": %2"), {archive, systemErrorText(errno)});
    cleanup.keep = true;
    ::fsync(folder.fd);
    return result;
}

} // namespace kx
