// The archive engine: encrypted packing that other tools accept, unpacking with the right
// password only, the older PKWARE encryption, entries that would leave the target, damaged
// archives and existing files.
#include "testfiles.h"
#include "testsystem.h"
#include "platform/kxerror.h"
#include "archive/winzipaes.h"
#include "archive/zipengine.h"
#include "archive/deflatechunk.h"
#include "archive/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QSet>
#include <QTest>
#include <QtEndian>

#include <atomic>
#include <exception>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <zlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zip.h>

#include <openssl/evp.h>

using namespace kx;
using namespace kxtest;

namespace {

const QByteArray kPassword("Gizli-Parola.7");

// An archive written with libzip itself, for names and forms the engine would never write.
void rawArchive(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries)
{
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    QVERIFY(za);
    for (const auto &e : entries) {
        zip_source_t *src = zip_source_buffer(za, e.second.constData(), zip_uint64_t(e.second.size()), 0);
        QVERIFY(src);
        QVERIFY2(zip_file_add(za, e.first.constData(), src, ZIP_FL_ENC_UTF_8) >= 0, zip_strerror(za));
    }
    QVERIFY2(zip_close(za) == 0, zip_strerror(za));
}

void corrupt(const QString &path, qint64 offset, int count)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(offset));
    QByteArray b = f.read(count);
    for (char &c : b)
        c = char(~c);
    QVERIFY(f.seek(offset));
    f.write(b);
}

QString runTool(const QString &program, const QStringList &args, const QString &workDir, int *exitCode)
{
    const QString exe = QStandardPaths::findExecutable(program);
    if (exe.isEmpty()) {
        *exitCode = -1;
        return QStringLiteral("%1 is not installed (the tests need p7zip-full and zip)").arg(program);
    }
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(exe, args);
    if (!p.waitForFinished(60000)) {
        *exitCode = -1;
        return QStringLiteral("%1 did not finish").arg(program);
    }
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

} // namespace

// Keys derived side by side or one by one for a test, side by side again after it.
struct KeyDerivation {
    explicit KeyDerivation(bool wide) { kx::setWideKeyDerivation(wide); }
    ~KeyDerivation() { kx::setWideKeyDerivation(true); }
};

class TestZipEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_src;
    QString m_archive;
    QStringList m_files;
    const QDateTime m_stamp{QDate(2023, 11, 20), QTime(9, 41, 26)}; // even seconds: the archive keeps two

private slots:
    // Sixteen derivations side by side give what each gives alone, with the wide routine (where
    // the processor has it) and without.
    void keyDerivationInLanes_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("size");
        QTest::newRow("archive entries") << QByteArray("parola12") << 1000 << 66;
        QTest::newRow("one round") << QByteArray("p") << 1 << 20;
        QTest::newRow("two rounds, a block and a bit") << QByteArray("ab") << 2 << 21;
        QTest::newRow("empty password") << QByteArray() << 3 << 80;
        QTest::newRow("password longer than a block") << QByteArray(100, '\xe7') << 7 << 66;
    }
    void keyDerivationInLanes()
    {
        QFETCH(QByteArray, password);
        QFETCH(int, rounds);
        QFETCH(int, size);
        QRandomGenerator rng(11);
        unsigned char salts[kKeyLanes * 16];
        for (unsigned char &c : salts)
            c = static_cast<unsigned char>(rng.bounded(256));
        QByteArray expected(kKeyLanes * size, '\0');
        for (int lane = 0; lane < kKeyLanes; ++lane)
            pbkdf2HmacSha1(password, salts + lane * 16, 16, rounds,
                           reinterpret_cast<unsigned char *>(expected.data()) + lane * size, size);
        for (bool wide : {true, false}) {
            setWideKeyDerivation(wide);
            QByteArray out(kKeyLanes * size, '\0');
            pbkdf2HmacSha1Lanes(password, salts, rounds, reinterpret_cast<unsigned char *>(out.data()), size);
            QCOMPARE(out.toHex(), expected.toHex());
        }
        setWideKeyDerivation(true);
        if (!wideKeyDerivation())
            qInfo("this processor has no AVX-512: only the lane-by-lane routine was checked");
    }

    // Keys come from a pool filled sixteen at a time: every entry still has a salt of its own
    // (one salt twice would reuse a key stream), and the archive opens, derived either way.
    void everyEntryHasASaltOfItsOwn_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::newRow("side by side") << true;
        QTest::newRow("one by one") << false;
    }
    void everyEntryHasASaltOfItsOwn()
    {
        QFETCH(bool, wide);
        const KeyDerivation way(wide);
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 37; ++i) {
            files.append(dir.filePath(QStringLiteral("src/f%1.txt").arg(i)));
            put(files.last(), QByteArray::number(i).repeated(i + 1));
        }
        const QString archive = dir.filePath("tuzlar.Zip");
        packZip(archive, dir.filePath("src"), files, kPassword);
        const QByteArray zip = contents(archive);
        const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(zip.constData() + at); };
        const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(zip.constData() + at); };
        QSet<QByteArray> salts;
        for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 4)) {
            const qsizetype local = u32(at + 42);
            QCOMPARE(zip.mid(local, 4), QByteArray("PK\x03\x04"));
            salts.insert(zip.mid(local + 30 + u16(local + 26) + u16(local + 28), 16));
        }
        QCOMPARE(salts.size(), files.size());
        QCOMPARE(unpackZip(archive, dir.filePath("out"), kPassword, false).written, qint64(files.size()));
        QCOMPARE(contents(dir.filePath("out/f36.txt")), QByteArray("36").repeated(37));
    }

    // Unpacking derives the keys of the next entries ahead for the password that opened the
    // archive. Entries keyed with another of the password's forms (an archive added to by an
    // older version) still open with that form, wherever they fall among the others.
    void keysDerivedAheadFallBackToTheOtherForms_data() { everyEntryHasASaltOfItsOwn_data(); }
    void keysDerivedAheadFallBackToTheOtherForms()
    {
        QFETCH(bool, wide);
        const KeyDerivation way(wide);
        QTemporaryDir dir;
        const QString archive = dir.filePath("karisik.zip");
        const QByteArray utf8 = QStringLiteral("şifre").toUtf8(), older("\xFE"
                                                                        "ifre");
        QList<QByteArray> data;
        int code = 0;
        zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        QVERIFY(za);
        for (int i = 0; i < 45; ++i) {
            data.append(QByteArray("girdi ") + QByteArray::number(i).repeated(i * 7 + 1));
            zip_source_t *src =
                zip_source_buffer(za, data.last().constData(), zip_uint64_t(data.last().size()), 0);
            const zip_int64_t at =
                zip_file_add(za, QByteArray("g" + QByteArray::number(i)).constData(), src, 0);
            QVERIFY(at >= 0);
            // Every fifth entry, and a run in the middle, with the older form.
            const bool old = i % 5 == 3 || (i >= 20 && i < 24);
            QCOMPARE(zip_file_set_encryption(za, zip_uint64_t(at), ZIP_EM_AES_256,
                                             old ? older.constData() : utf8.constData()),
                     0);
        }
        QVERIFY2(zip_close(za) == 0, zip_strerror(za));
        QCOMPARE(unpackZip(archive, dir.filePath("out"), QList<QByteArray>{utf8, older}, false).written,
                 qint64(45));
        for (int i = 0; i < 45; ++i)
            QVERIFY(contents(dir.filePath(QStringLiteral("out/g%1").arg(i))) == data[i]);
        QVERIFY_THROWS_EXCEPTION(Error,
                                 unpackZip(archive, dir.filePath("out2"), QList<QByteArray>{utf8}, false));
    }

    void keyDerivationMatchesTheStandard()
    {
        // RFC 6070 vectors, then random inputs against OpenSSL's general routine.
        const auto derive = [](const QByteArray &pw, const QByteArray &salt, int rounds, int size) {
            QByteArray out(size, '\0');
            pbkdf2HmacSha1(pw, reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), rounds,
                           reinterpret_cast<unsigned char *>(out.data()), size);
            return out.toHex();
        };
        QCOMPARE(derive("password", "salt", 1, 20), QByteArray("0c60c80f961f0e71f3a9b524af6012062fe037a6"));
        QCOMPARE(derive("password", "salt", 4096, 20), QByteArray("4b007901b765489abead49d926f721d065a429c1"));
        QCOMPARE(derive("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
                 QByteArray("3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"));
        QRandomGenerator rng(7);
        for (int i = 0; i < 20; ++i) {
            QByteArray pw(rng.bounded(1, 100), '\0'), salt(rng.bounded(8, 17), '\0');
            for (char &c : pw)
                c = char(rng.bounded(256));
            for (char &c : salt)
                c = char(rng.bounded(256));
            QByteArray expected(66, '\0');
            QVERIFY(PKCS5_PBKDF2_HMAC_SHA1(pw.constData(), int(pw.size()), reinterpret_cast<const unsigned char *>(salt.constData()),
                                           int(salt.size()), 1000, 66, reinterpret_cast<unsigned char *>(expected.data())));
            QCOMPARE(derive(pw, salt, 1000, 66), expected.toHex());
        }
    }

    void writerGivesTheSameArchiveContentOnAnyNumberOfThreads()
    {
        QTemporaryDir dir;
        QList<ZipWriteItem> items;
        QRandomGenerator rng(11);
        for (int i = 0; i < 40; ++i) {
            const QString f = dir.filePath(QStringLiteral("k%1/d%2.txt").arg(i % 4).arg(i));
            QDir().mkpath(QFileInfo(f).path());
            QFile out(f);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QByteArray data(rng.bounded(0, 200000), 'a');
            for (qsizetype k = 0; k < data.size(); k += 97)
                data[k] = char(rng.bounded(256));
            out.write(data);
            out.close();
            items.append({f, f.mid(dir.path().size() + 1).toUtf8(), i % 7 == 0});
        }
        QByteArray listings[2];
        for (int threads : {1, 2}) {
            const QString archive = dir.filePath(QStringLiteral("t%1.zip").arg(threads));
            std::atomic<qint64> done{0};
            int ticks = 0;
            writeAesZip(archive, items, "gizli", done, [&] { ++ticks; }, threads);
            QCOMPARE(ticks > 0, true);
            QTemporaryDir out;
            const UnpackResult r = unpackZip(archive, out.path(), "gizli", false);
            QCOMPARE(r.written, qint64(items.size()));
            for (const ZipWriteItem &item : items) {
                QFile a(item.file), b(out.filePath(QString::fromUtf8(item.name)));
                QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
                QCOMPARE(b.readAll(), a.readAll());
            }
            // Entries in the order given, whatever thread wrote them.
            const ZipInfo info = inspectZip(archive);
            QCOMPARE(info.entries, qint64(items.size()));
            int code = 0;
            zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
            QVERIFY(za);
            for (qsizetype i = 0; i < items.size(); ++i)
                listings[threads - 1] += QByteArray(zip_get_name(za, zip_uint64_t(i), 0)) + '\n';
            zip_discard(za);
            QVERIFY(!QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).join(' ').contains(".kx-"));
        }
        QCOMPARE(listings[0], listings[1]);
        QVERIFY(listings[0].startsWith("k0/d0.txt\nk1/d1.txt\n"));
    }

    // Chunks compressed on their own and joined read back as one stream, whatever each chunk
    // holds: text, incompressible bytes (stored blocks), long runs, a few bytes, nothing.
    void joinedChunksInflateAsOne_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        const QByteArray text = QByteArray("satir satir, baska bir satir\n").repeated(20000);
        QTest::newRow("text") << QList<QByteArray>{text, text.left(70001), text.mid(3)};
        QTest::newRow("noise") << QList<QByteArray>{noise(300000, 3), noise(100001, 4)};
        QTest::newRow("mixed") << QList<QByteArray>{noise(50000, 5), QByteArray(400000, 'z'), text, noise(7, 6)};
        QTest::newRow("tiny and empty") << QList<QByteArray>{QByteArray("a"), QByteArray(), QByteArray("bc"), QByteArray()};
        QTest::newRow("one") << QList<QByteArray>{text};
    }
    void joinedChunksInflateAsOne()
    {
        QFETCH(QList<QByteArray>, chunks);
        ChunkDeflater deflater;
        QByteArray joined, whole;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            deflater.compress(chunks[i].constData(), size_t(chunks[i].size()), i == chunks.size() - 1, joined);
            whole += chunks[i];
        }
        QByteArray back(whole.size() + 16, Qt::Uninitialized);
        z_stream z{};
        QCOMPARE(inflateInit2(&z, -MAX_WBITS), Z_OK);
        z.next_in = reinterpret_cast<Bytef *>(joined.data());
        z.avail_in = uInt(joined.size());
        z.next_out = reinterpret_cast<Bytef *>(back.data());
        z.avail_out = uInt(back.size());
        const int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        QCOMPARE(rc, Z_STREAM_END);
        QCOMPARE(z.avail_in, 0u); // nothing left over: the last chunk ends the stream
        QCOMPARE(back.left(qsizetype(z.total_out)), whole);

        // A cut or damaged stream is never taken for a joinable one.
        QByteArray scratch, cut = joined.left(joined.size() / 2);
        QVERIFY(!makeDeflateJoinable(cut, 0, scratch));
        QByteArray bad(64, char(0xFF));
        QVERIFY(!makeDeflateJoinable(bad, 0, scratch));
    }

    // A file larger than a chunk is packed in pieces on every thread and reads back whole, with
    // 7-Zip as well; the files around it keep their places.
    void largeFileInChunks()
    {
        QTemporaryDir dir;
        // Chunks of 4 MiB: files of a few MiB are cut into several.
        setZipChunkSize(qint64(4) << 20);
        struct Back {
            ~Back() { setZipChunkSize(0); }
        } back;
        QByteArray big = QByteArray("kayit;tutar;aciklama\n").repeated(300000) + noise(2'500'001, 8);
        const QByteArray second = noise(4'500'000, 9) + QByteArray(900'000, 'x');
        put(dir.filePath("src/a.txt"), "once");
        put(dir.filePath("src/buyuk.dat"), big);
        // A second large file right after the first: both are opened and cut into chunks at once.
        put(dir.filePath("src/buyuk2.dat"), second);
        put(dir.filePath("src/z.txt"), "sonra");
        const QStringList files = {dir.filePath("src/a.txt"), dir.filePath("src/buyuk.dat"), dir.filePath("src/buyuk2.dat"),
                                   dir.filePath("src/z.txt")};
        for (int threads : {1, 2}) {
            const QString archive = dir.filePath(QStringLiteral("t%1.Zip").arg(threads));
            QList<ZipWriteItem> items;
            for (const QString &f : files)
                items.append({f, QFileInfo(f).fileName().toUtf8(), false});
            std::atomic<qint64> done{0};
            const ZipWriteResult r = writeAesZip(archive, items, kPassword, done, {}, threads);
            QCOMPARE(r.entries, qint64(4));
            QCOMPARE(done.load(), qint64(big.size() + second.size() + 9));
            const QString out = dir.filePath(QStringLiteral("out%1").arg(threads));
            QCOMPARE(unpackZip(archive, out, kPassword, false).written, qint64(4));
            QVERIFY(contents(out + "/buyuk.dat") == big);
            QVERIFY(contents(out + "/buyuk2.dat") == second);
            QCOMPARE(contents(out + "/z.txt"), QByteArray("sonra"));
            int rc = 0;
            const QString tested = runTool("7z", {"t", "-p" + QString::fromLatin1(kPassword), archive}, dir.path(), &rc);
            QVERIFY2(rc == 0 && tested.contains("Everything is Ok"), qPrintable(tested));
        }
    }

    // An entry that deflate would not make smaller is stored, whether the file is read whole or
    // in chunks, and whatever its suffix; data that shrinks anywhere the probe looks is deflated.
    // Either way the bytes come back exactly, and a stored entry takes no more than its data and
    // its encryption's 28 bytes.
    void incompressibleDataIsStored_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("chunks"); // 256 KiB chunks: the file is cut into several
        QTest::addColumn<bool>("stored");
        const QByteArray text =
            QByteArray("2026-12-11 08:10:41 INFO istek tamamlandi sure=12ms\n").repeated(12000);
        QTest::newRow("noise, read whole") << noise(700'000, 40) << false << true;
        QTest::newRow("noise, in chunks") << noise(1'100'000, 41) << true << true;
        QTest::newRow("noise under one probe") << noise(5000, 42) << false << true;
        QTest::newRow("a few bytes") << QByteArray("9q#Lx") << false << true;
        QTest::newRow("text, read whole") << text << false << false;
        QTest::newRow("text, in chunks") << text << true << false;
        QTest::newRow("noise, then text") << noise(200'000, 43) + text << false << false;
        QTest::newRow("noise, then text, in chunks") << noise(200'000, 44) + text << true << false;
    }
    void incompressibleDataIsStored()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, chunks);
        QFETCH(bool, stored);
        QTemporaryDir dir;
        if (chunks)
            setZipChunkSize(256 * 1024);
        struct Back {
            ~Back() { setZipChunkSize(0); }
        } back;
        put(dir.filePath("src/veri.txt"), data);
        put(dir.filePath("src/ek.txt"), "sonra");
        const QString archive = dir.filePath("a.Zip");
        const QList<ZipWriteItem> items = {{dir.filePath("src/veri.txt"), "veri.txt", false},
                                           {dir.filePath("src/ek.txt"), "ek.txt", false}};
        std::atomic<qint64> done{0};
        QCOMPARE(writeAesZip(archive, items, kPassword, done, {}, 2).entries, qint64(2));
        int rc = 0;
        const QString listing =
            runTool("7z", {"l", "-slt", "-p" + QString::fromLatin1(kPassword), archive}, dir.path(), &rc);
        QVERIFY2(rc == 0, qPrintable(listing));
        const qsizetype at = listing.indexOf("Path = veri.txt");
        QVERIFY(at >= 0);
        const qsizetype methodAt = listing.indexOf("Method = ", at);
        const QString method = listing.mid(methodAt, listing.indexOf(u'\n', methodAt) - methodAt);
        QCOMPARE(method, stored ? QStringLiteral("Method = AES-256 Store")
                                : QStringLiteral("Method = AES-256 Deflate"));
        const qsizetype packedAt = listing.indexOf("Packed Size = ", at) + 14;
        const qint64 packed = listing.mid(packedAt, listing.indexOf(u'\n', packedAt) - packedAt).toLongLong();
        if (stored)
            QCOMPARE(packed, qint64(data.size()) + 28);
        else
            QVERIFY(packed < data.size());
        const QString tested =
            runTool("7z", {"t", "-p" + QString::fromLatin1(kPassword), archive}, dir.path(), &rc);
        QVERIFY2(rc == 0 && tested.contains("Everything is Ok"), qPrintable(tested));
        QCOMPARE(unpackZip(archive, dir.filePath("out"), kPassword, false).written, qint64(2));
        QVERIFY(contents(dir.filePath("out/veri.txt")) == data);
    }

    // The archive is written once, straight into its place: a file system with a tenth more
    // room than the archive takes it.
    void archiveNeedsLittleMoreThanItsSize()
    {
        QTemporaryDir src;
        QStringList files;
        for (int i = 0; i < 4; ++i) {
            files.append(src.filePath(QStringLiteral("f%1.bin").arg(i)));
            put(files.last(), noise(i == 0 ? 6'000'000 : 400'000, quint32(30 + i)));
        }
        const QString sized = src.filePath("olcu.Zip");
        packZip(sized, src.path(), files, kPassword);
        const qint64 size = QFileInfo(sized).size();
        QFile::remove(sized);
        const QByteArray room = QByteArray::number((size + size / 10) / 1024 + 1) + "k";
        SmallFileSystem fs(room.constData());
        if (!fs.mounted)
            QSKIP("mounting a small file system needs root");
        const QString archive = fs.dir.filePath("src.Zip");
        QCOMPARE(packZip(archive, src.path(), files, kPassword).entries, qint64(4));
        QCOMPARE(QFileInfo(archive).size(), size);
        QCOMPARE(tree(fs.dir.path()), QStringList({"src.Zip"}));
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_src = m_dir.filePath("src");
        put(m_src + "/rapor.txt", QByteArray("satir satir satir\n").repeated(500));
        put(m_src + "/Alt/Klasor/logo.PNG", noise(3000, 1));
        put(m_src + "/Alt/bos.dat", QByteArray());
        put(m_src + "/Alt/veri.bin", noise(70000, 2));
        m_files = {m_src + "/rapor.txt", m_src + "/Alt/Klasor/logo.PNG", m_src + "/Alt/bos.dat",
                   m_src + "/Alt/veri.bin"};
        for (const QString &f : std::as_const(m_files)) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(m_stamp, QFileDevice::FileModificationTime));
        }
        m_archive = m_dir.filePath("out/src.Zip");
        QVERIFY(QDir().mkpath(m_dir.filePath("out")));

        int started = 0, finished = 0;
        double lastShare = -1;
        bool ordered = true;
        PackProgress progress;
        progress.started = [&] { ++started; };
        progress.advanced = [&](double share) {
            ordered = ordered && share >= lastShare && started == 1;
            lastShare = share;
        };
        progress.finished = [&] { ++finished; };
        packZip(m_archive, m_src + "/", m_files, kPassword, progress);
        QCOMPARE(started, 1);
        QCOMPARE(finished, 1);
        QVERIFY(ordered);
        QCOMPARE(lastShare, 1.0);
    }

    void storedKinds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("stored");
        QTest::newRow("png upper case") << "x.PNG" << true;
        QTest::newRow("gz") << "yedek.tar.gz" << true;
        QTest::newRow("zip") << "a/b.zip" << true;
        QTest::newRow("jar") << "lib.Jar" << true;
        QTest::newRow("text") << "x.txt" << false;
        QTest::newRow("no suffix") << "png" << false;
        QTest::newRow("dot in folder only") << "a.png/readme" << false;
        QTest::newRow("suffix longer") << "x.pngx" << false;
    }

    void storedKinds()
    {
        QFETCH(QString, name);
        QFETCH(bool, stored);
        QCOMPARE(storedWithoutCompression(name), stored);
    }

    void roundTripKeepsTreeContentsAndTimes()
    {
        const ZipInfo info = inspectZip(m_archive);
        QCOMPARE(info.entries, qint64(4));
        QCOMPARE(info.totalSize, qint64(500 * 18 + 3000 + 0 + 70000));

        QTemporaryDir out;
        QList<QPair<qint64, qint64>> steps;
        const UnpackResult r = unpackZip(m_archive, out.filePath("hedef"), kPassword, false,
                                         [&](qint64 done, qint64 total) { steps.append({done, total}); });
        QCOMPARE(r.written, qint64(4));
        QCOMPARE(r.skippedExisting, qint64(0));
        QVERIFY(r.refused.isEmpty());
        // Progress comes in order and ends with every entry done.
        QVERIFY(!steps.isEmpty());
        for (qsizetype i = 1; i < steps.size(); ++i)
            QVERIFY(steps[i].first >= steps[i - 1].first);
        QCOMPARE(steps.last(), (QPair<qint64, qint64>(4, 4)));
        QCOMPARE(tree(out.filePath("hedef")),
                 QStringList({"Alt", "Alt/Klasor", "Alt/Klasor/logo.PNG", "Alt/bos.dat", "Alt/veri.bin", "rapor.txt"}));
        for (const QString &f : std::as_const(m_files)) {
            const QString copy = out.filePath("hedef") + f.mid(m_src.size());
            QCOMPARE(contents(copy), contents(f));
            QCOMPARE(QFileInfo(copy).lastModified(), m_stamp);
        }
    }

    void otherToolsAcceptTheArchive()
    {
        int rc = 0;
        QString text = runTool("7z", {"t", "-p" + QString::fromLatin1(kPassword), m_archive}, m_dir.path(), &rc);
        QVERIFY2(rc == 0, qPrintable(text));
        QVERIFY2(text.contains("Everything is Ok"), qPrintable(text));

        text = runTool("7z", {"l", "-slt", "-p" + QString::fromLatin1(kPassword), m_archive}, m_dir.path(), &rc);
        QVERIFY2(rc == 0, qPrintable(text));
        // Strong encryption on every entry; already-compressed kinds stored, the rest deflated.
        QCOMPARE(text.count("Method = AES-256"), 4);
        const qsizetype png = text.indexOf("Path = Alt/Klasor/logo.PNG");
        const qsizetype txt = text.indexOf("Path = rapor.txt");
        QVERIFY(png >= 0 && txt >= 0);
        QCOMPARE(text.mid(text.indexOf("Method = ", png), 22), QStringLiteral("Method = AES-256 Store"));
        QCOMPARE(text.mid(text.indexOf("Method = ", txt), 24), QStringLiteral("Method = AES-256 Deflate"));

        // A wrong password must not pass the tool's own test either.
        text = runTool("7z", {"t", "-pyanlis", m_archive}, m_dir.path(), &rc);
        QVERIFY2(rc != 0, qPrintable(text));
    }

    // A file under 20 bytes is written as AE-2: its CRC, which would let anyone try guesses at
    // the contents without the password, stays out of the archive. Larger ones keep it (AE-1).
    void tinyFilesShowNoCrc_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("crcShown");
        QTest::newRow("9 bytes") << 9 << false;
        QTest::newRow("19 bytes") << 19 << false;
        QTest::newRow("20 bytes") << 20 << true;
    }
    void tinyFilesShowNoCrc()
    {
        QFETCH(int, size);
        QFETCH(bool, crcShown);
        QTemporaryDir dir;
        const QByteArray data = QByteArray("0123456789abcdefghijklmn").left(size);
        put(dir.filePath("src/pin.txt"), data);
        const QString archive = dir.filePath("a.zip");
        packZip(archive, dir.filePath("src"), {dir.filePath("src/pin.txt")}, kPassword);
        int rc = 0;
        const QString listing =
            runTool("7z", {"l", "-slt", "-p" + QString::fromLatin1(kPassword), archive}, dir.path(), &rc);
        QVERIFY2(rc == 0, qPrintable(listing));
        const qsizetype at = listing.indexOf("\nCRC = ");
        QVERIFY2(at >= 0, qPrintable(listing));
        const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
        QCOMPARE(listing.mid(at + 7, listing.indexOf(u'\n', at + 1) - at - 7),
                 crcShown ? QStringLiteral("%1").arg(crc, 8, 16, QChar(u'0')).toUpper() : QString());
        const QString tested = runTool("7z", {"t", "-p" + QString::fromLatin1(kPassword), archive}, dir.path(), &rc);
        QVERIFY2(rc == 0 && tested.contains("Everything is Ok"), qPrintable(tested));
        QCOMPARE(unpackZip(archive, dir.filePath("out"), kPassword, false).written, qint64(1));
        QCOMPARE(contents(dir.filePath("out/pin.txt")), data);
    }

    void passwordIsRequired_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("none") << QByteArray();
        QTest::newRow("wrong") << QByteArray("Gizli-Parola.8");
    }

    void passwordIsRequired()
    {
        QFETCH(QByteArray, password);
        QTemporaryDir out;
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(m_archive, out.path(), password, true));
        // Nothing half-written is left, not even a temporary: at most folders.
        for (const QString &p : tree(out.path()))
            QVERIFY2(QFileInfo(out.filePath(p)).isDir(), qPrintable(p));
    }

    void readsPkwareEncryption()
    {
        int rc = 0;
        const QString archive = m_dir.filePath("pkware.zip");
        const QString text = runTool("zip", {"-q", "-P", "eski", "-r", archive, "src"}, m_dir.path(), &rc);
        QVERIFY2(rc == 0, qPrintable(text));
        QTemporaryDir out;
        const UnpackResult r = unpackZip(archive, out.path(), "eski", false);
        QCOMPARE(r.written, qint64(4));
        QCOMPARE(contents(out.filePath("src/Alt/veri.bin")), contents(m_src + "/Alt/veri.bin"));
        QCOMPARE(contents(out.filePath("src/rapor.txt")), contents(m_src + "/rapor.txt"));

        QTemporaryDir out2;
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(archive, out2.path(), "yanlis", false));
        QVERIFY(!QFileInfo::exists(out2.filePath("src/rapor.txt")));
    }

    void entriesLeavingTheTargetAreRefused()
    {
        QTemporaryDir dir;
        const QByteArray absolute = QFile::encodeName(dir.filePath("abs.txt"));
        const QString archive = dir.filePath("kotu.zip");
        rawArchive(archive, {{"../evil.txt", "x"},
                             {absolute, "x"},
                             {"alt/../../evil2.txt", "x"},
                             {"..\\evil3.txt", "x"},
                             {"ic/iyi.txt", "iyi"}});
        const QString target = dir.filePath("a/hedef");
        const UnpackResult r = unpackZip(archive, target, QByteArray(), false);
        QCOMPARE(r.refused, QStringList({"../evil.txt", QFile::decodeName(absolute), "alt/../../evil2.txt",
                                         "..\\evil3.txt"}));
        QCOMPARE(r.written, qint64(1));
        QCOMPARE(contents(target + "/ic/iyi.txt"), QByteArray("iyi"));
        // Nothing beside the target, and the absolute name not recreated inside it either.
        QCOMPARE(tree(dir.path()), QStringList({"a", "a/hedef", "a/hedef/ic", "a/hedef/ic/iyi.txt", "kotu.zip"}));
    }

    // Damage fails the entry it is in, by name, whatever checks that entry: the CRC, the
    // authentication code (alone for a file of a few bytes), or the archive's structure.
    void damagedArchiveThrows_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("encrypted, bytes changed") << "aes";
        QTest::newRow("encrypted and deflated, bytes changed") << "aes-deflated";
        QTest::newRow("plain, bytes changed") << "plain";
        QTest::newRow("cut short") << "cut";
        QTest::newRow("tiny file, authentication code alone") << "tiny";
        QTest::newRow("older encryption, bytes changed") << "pkware";
    }

    void damagedArchiveThrows()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString archive = dir.filePath("bozuk.zip");
        // Noise is stored; its hexadecimal text is deflated.
        const QByteArray data = kind == "tiny"           ? QByteArray("123456789")
                                : kind == "aes-deflated" ? noise(100000, 3).toHex()
                                                         : noise(200000, 3);
        // Stored as it is, the tiny file has nothing but the authentication code to tell a changed byte.
        const QString name = kind == "tiny" ? QStringLiteral("pin.png") : QStringLiteral("buyuk.bin");
        put(dir.filePath("src/") + name, data);
        if (kind == "plain") {
            rawArchive(archive, {{name.toUtf8(), data}});
        } else if (kind == "pkware") {
            int rc = 0;
            const QString text = runTool("zip", {"-q", "-P", QString::fromLatin1(kPassword), archive, name},
                                         dir.filePath("src"), &rc);
            QVERIFY2(rc == 0, qPrintable(text));
        } else {
            packZip(archive, dir.filePath("src"), {dir.filePath("src/") + name}, kPassword);
        }
        const qint64 size = QFileInfo(archive).size();
        if (kind == "cut")
            QVERIFY(QFile::resize(archive, size / 2));
        else if (kind == "tiny") // the first encrypted byte: after the header, its AES field, salt and verifier
            corrupt(archive, 30 + name.size() + 11 + 16 + 2, 1);
        else
            corrupt(archive, size / 2, 64);

        const QString target = dir.filePath("hedef");
        try {
            unpackZip(archive, target, kPassword, true);
            QFAIL("the damage went unnoticed");
        } catch (const Error &e) {
            if (kind != "cut")
                QVERIFY2(e.text().contains(name), qPrintable(e.text()));
        }
        QVERIFY(!QFileInfo::exists(target + "/" + name));
        QVERIFY(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }

    // The archive library's errors come in the program's own words (which the language file
    // translates), never in the library's English; what is filled in stays as it is.
    void libraryErrorsInTheProgramsWords_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("wrong password") << int(ZIP_ER_WRONGPASSWD) << "\"a.zip\": Parola yanlis.";
        QTest::newRow("no password") << int(ZIP_ER_NOPASSWD) << "\"a.zip\": Parola yanlis.";
        QTest::newRow("CRC") << int(ZIP_ER_CRC) << "\"a.zip\": Dosya bozuk; denetim toplami (CRC) tutmuyor.";
        QTest::newRow("inconsistent") << int(ZIP_ER_INCONS) << "\"a.zip\": Arsiv tutarsiz ya da bozuk.";
        QTest::newRow("not a zip") << int(ZIP_ER_NOZIP) << "\"a.zip\": Dosya bir ZIP arsivi degil.";
        QTest::newRow("cut short") << int(ZIP_ER_EOF) << "\"a.zip\": Arsiv eksik; dosya beklenenden once bitiyor.";
        QTest::newRow("read, with the system's reason") << int(ZIP_ER_READ) << "\"a.zip\" dosyasi okunamadi. Input/output error";
        QTest::newRow("write") << int(ZIP_ER_WRITE) << "\"a.zip\" dosyasi yazilamadi. Input/output error";
        QTest::newRow("any other code") << int(ZIP_ER_INTERNAL) << "\"a.zip\": Arsiv islenemedi (arsiv kitapligi hatasi 20).";
    }
    void libraryErrorsInTheProgramsWords()
    {
        QFETCH(int, code);
        try {
            throwArchiveError(QStringLiteral("a.zip"), code, EIO);
        } catch (const Error &e) {
            QTEST(e.text(), "text");
            return;
        }
        QFAIL("nothing thrown");
    }

    // Whatever the library can say, the program has words of its own for it.
    void everyLibraryErrorHasItsOwnText()
    {
        for (int code = 1; code <= 40; ++code) {
            zip_error_t err;
            zip_error_init_with_code(&err, code);
            const QString english = QString::fromLocal8Bit(zip_error_strerror(&err));
            zip_error_fini(&err);
            try {
                throwArchiveError(QStringLiteral("a.zip"), code, ENOSPC);
            } catch (const Error &e) {
                QVERIFY2(e.text().startsWith(QStringLiteral("\"a.zip\"")), qPrintable(e.text()));
                QVERIFY2(!e.text().contains(english), qPrintable(e.text()));
            }
        }
    }

    // A damaged archive tells it in the program's words, naming the entry or the archive.
    void damageToldInTheProgramsWords_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        QTest::newRow("bytes changed") << "plain" << "denetim toplami (CRC) tutmuyor";
        QTest::newRow("no archive at all") << "text" << "bir ZIP arsivi degil";
        QTest::newRow("encrypted, bytes changed") << "aes" << "Parola yanlis";
    }
    void damageToldInTheProgramsWords()
    {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString archive = dir.filePath("bozuk.zip");
        const QByteArray data = noise(200000, 5);
        put(dir.filePath("src/veri.bin"), data);
        if (kind == "plain") {
            rawArchive(archive, {{"veri.bin", data}});
            corrupt(archive, QFileInfo(archive).size() / 2, 64);
        } else if (kind == "aes") {
            packZip(archive, dir.filePath("src"), {dir.filePath("src/veri.bin")}, kPassword);
            corrupt(archive, 30 + 8 + 11, 20); // salt and verifier of the only entry
        } else {
            put(archive, QByteArray("bu bir arsiv degil\r\n").repeated(100));
        }
        try {
            unpackZip(archive, dir.filePath("hedef"), kPassword, true);
            QFAIL("the damage went unnoticed");
        } catch (const Error &e) {
            QVERIFY2(e.text().contains(told), qPrintable(e.text()));
        }
    }

    void existingFilesKeptUnlessOverwrite()
    {
        QTemporaryDir out;
        put(out.filePath("rapor.txt"), "kendi");
        UnpackResult r = unpackZip(m_archive, out.path(), kPassword, false);
        QCOMPARE(r.skippedExisting, qint64(1));
        QCOMPARE(r.written, qint64(3));
        QCOMPARE(contents(out.filePath("rapor.txt")), QByteArray("kendi"));

        r = unpackZip(m_archive, out.path(), kPassword, true);
        QCOMPARE(r.skippedExisting, qint64(0));
        QCOMPARE(r.written, qint64(4));
        QCOMPARE(contents(out.filePath("rapor.txt")), contents(m_src + "/rapor.txt"));
    }

    void longestNameUnpacks()
    {
        const QString name = QString(251, u'b') + QStringLiteral(".txt");
        QTemporaryDir dir;
        put(dir.filePath("src/") + name, "uzun");
        packZip(dir.filePath("a.zip"), dir.filePath("src"), {dir.filePath("src/") + name}, kPassword);
        const UnpackResult r = unpackZip(dir.filePath("a.zip"), dir.filePath("out"), kPassword, false);
        QCOMPARE(r.written, qint64(1));
        QCOMPARE(tree(dir.filePath("out")), QStringList({name}));
        QCOMPARE(contents(dir.filePath("out/") + name), QByteArray("uzun"));
    }

    void failedPackKeepsTheOldArchive()
    {
        QTemporaryDir dir;
        put(dir.filePath("src/a.txt"), "a");
        const QString archive = dir.filePath("src.Zip");
        packZip(archive, dir.filePath("src"), {dir.filePath("src/a.txt")}, kPassword);
        const QByteArray before = contents(archive);

        put(dir.filePath("src/b.txt"), "b");
        // A packing stopped half-way (the program is ending) leaves the old archive and nothing
        // else.
        const std::atomic<bool> cancel{true};
        QVERIFY_THROWS_EXCEPTION(Error, packZip(archive, dir.filePath("src"), {dir.filePath("src/b.txt")}, kPassword,
                                                {}, &cancel));
        QCOMPARE(contents(archive), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"src.Zip"}));
        QVERIFY_THROWS_EXCEPTION(Error, inspectZip(dir.filePath("yok.zip")));
    }

    // Files that went away since they were listed, or turned into something that is no plain
    // file (a pipe would hold a reader for ever), are left out; files that are there and cannot
    // be read are left out as failures; everything else is packed.
    void packLeavesOutWhatItCannotRead()
    {
        QTemporaryDir dir;
        put(dir.filePath("src/a.txt"), "a");
        put(dir.filePath("src/alt/b.txt"), QByteArray("b").repeated(100000));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("src/boru")).constData(), 0644), 0);
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), dir.filePath("src/bellek")));
        const QStringList files = {dir.filePath("src/a.txt"), dir.filePath("src/gitti.txt"), dir.filePath("src/boru"),
                                   dir.filePath("src/bellek"), dir.filePath("src/alt/b.txt")};
        PackResult r;
        QVERIFY(returnsPromptly([&] { r = packZip(dir.filePath("a.Zip"), dir.filePath("src"), files, kPassword); },
                                dir.filePath("src/boru")));
        QCOMPARE(r.entries, qint64(2));
        QCOMPARE(r.skipped, QStringList({dir.filePath("src/gitti.txt"), dir.filePath("src/boru")}));
        QCOMPARE(r.failed.size(), 1);
        QVERIFY2(r.failed.at(0).startsWith(dir.filePath("src/bellek") + ": "), qPrintable(r.failed.at(0)));
        const UnpackResult u = unpackZip(dir.filePath("a.Zip"), dir.filePath("out"), kPassword, false);
        QCOMPARE(u.written, qint64(2));
        QCOMPARE(tree(dir.filePath("out")), QStringList({"a.txt", "alt", "alt/b.txt"}));
        QCOMPARE(contents(dir.filePath("out/alt/b.txt")), QByteArray("b").repeated(100000));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"a.Zip"}));
        // Another tool finds the same two entries, whole.
        int rc = 0;
        const QString text =
            runTool("7z", {"l", "-slt", "-p" + QString::fromLatin1(kPassword), dir.filePath("a.Zip")}, dir.path(), &rc);
        QVERIFY2(rc == 0, qPrintable(text));
        QCOMPARE(text.count("\nPath = "), 3); // the archive itself and its two entries
        QVERIFY(text.contains("\nPath = a.txt\n") && text.contains("\nPath = alt/b.txt\n"));
        const QString tested =
            runTool("7z", {"t", "-p" + QString::fromLatin1(kPassword), dir.filePath("a.Zip")}, dir.path(), &rc);
        QVERIFY2(rc == 0 && tested.contains("Everything is Ok"), qPrintable(tested));
    }

    // A link standing at the archive's name is replaced by the archive, never written through.
    void packReplacesALinkAtTheArchiveName_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("dangling link") << true;
        QTest::newRow("link to a file") << false;
    }
    void packReplacesALinkAtTheArchiveName()
    {
        QFETCH(bool, dangling);
        QTemporaryDir dir;
        put(dir.filePath("src/a.txt"), "a");
        const QString elsewhere = dir.filePath("elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        if (!dangling)
            put(elsewhere + "/x", "baska");
        QVERIFY(QDir().mkpath(dir.filePath("out")));
        QVERIFY(QFile::link(elsewhere + "/x", dir.filePath("out/src.Zip")));
        const PackResult r = packZip(dir.filePath("out/src.Zip"), dir.filePath("src"), {dir.filePath("src/a.txt")},
                                     kPassword);
        QCOMPARE(r.entries, qint64(1));
        QVERIFY(!QFileInfo(dir.filePath("out/src.Zip")).isSymLink());
        QCOMPARE(tree(elsewhere), dangling ? QStringList() : QStringList({"x"}));
        if (!dangling)
            QCOMPARE(contents(elsewhere + "/x"), QByteArray("baska"));
        QCOMPARE(tree(dir.filePath("out")), QStringList({"src.Zip"}));
        QCOMPARE(unpackZip(dir.filePath("out/src.Zip"), dir.filePath("un"), kPassword, false).written, qint64(1));
    }

    // No room for the archive: a failure of the archive itself. The older archive stays whole
    // and none of the workers' parts is left.
    void fullDiskKeepsTheOldArchive()
    {
        SmallFileSystem fs("512k");
        if (!fs.mounted)
            QSKIP("mounting a small file system needs root");
        QTemporaryDir src;
        QStringList files;
        for (int i = 0; i < 6; ++i) {
            files.append(src.filePath(QStringLiteral("f%1.bin").arg(i)));
            put(files.last(), noise(100 * 1024, quint32(10 + i)));
        }
        const QString archive = fs.dir.filePath("src.Zip");
        packZip(archive, src.path(), {files.first()}, kPassword);
        const QByteArray before = contents(archive);

        QVERIFY_THROWS_EXCEPTION(Error, packZip(archive, src.path(), files, kPassword));
        QCOMPARE(contents(archive), before);
        QCOMPARE(tree(fs.dir.path()), QStringList({"src.Zip"}));
    }

    // A pack stopped while a large file is read stops within that file.
    void cancelledPackStopsInsideAFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("src/buyuk.bin");
        QByteArray data(48 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator(5).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
        put(file, data);
        data.clear();
        put(dir.filePath("src.Zip"), "eski");
        std::atomic<bool> cancel{false};
        std::atomic<qint64> done{0};
        QVERIFY_THROWS_EXCEPTION(Error, writeAesZip(dir.filePath("src.Zip"), {{file, "buyuk.bin", false}}, kPassword,
                                                    done, [&] { cancel = true; }, 1, &cancel));
        QVERIFY2(done < QFileInfo(file).size(), qPrintable(QString::number(done)));
        QCOMPARE(contents(dir.filePath("src.Zip")), QByteArray("eski"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"src.Zip"}));
    }

    // A damaged entry met by the second of the two unpacking threads reaches the caller as well.
    void damagedEntryOfTheSecondThreadThrows()
    {
        QTemporaryDir dir;
        put(dir.filePath("src/birinci.bin"), noise(100000, 21));
        put(dir.filePath("src/ikinci.bin"), noise(100000, 22));
        const QString archive = dir.filePath("a.Zip");
        packZip(archive, dir.filePath("src"), {dir.filePath("src/birinci.bin"), dir.filePath("src/ikinci.bin")},
                kPassword);
        const qsizetype name = contents(archive).indexOf("ikinci.bin");
        QVERIFY(name > 0);
        corrupt(archive, name + 10 + 11 + 18 + 50000, 16); // inside its data
        const QString target = dir.filePath("hedef");
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(archive, target, kPassword, false));
        QVERIFY(!QFileInfo::exists(target + "/ikinci.bin"));
        for (const QString &f : tree(target))
            QVERIFY2(!f.startsWith(".kx-"), qPrintable(f));
    }

    // Unpacking never writes through a link inside the target: a dangling link at an entry's
    // name is replaced, a link to a folder among an entry's folders refuses that entry.
    void unpackNeverWritesThroughLinks_data()
    {
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("overwrite") << true;
        QTest::newRow("keep existing") << false;
    }
    void unpackNeverWritesThroughLinks()
    {
        QFETCH(bool, overwrite);
        QTemporaryDir dir;
        put(dir.filePath("src/dl"), "dosya");
        put(dir.filePath("src/sd/x.txt"), "icerik");
        put(dir.filePath("src/ok.txt"), "tamam");
        const QString archive = dir.filePath("a.Zip");
        packZip(archive, dir.filePath("src"),
                {dir.filePath("src/dl"), dir.filePath("src/sd/x.txt"), dir.filePath("src/ok.txt")}, kPassword);
        const QString elsewhere = dir.filePath("elsewhere");
        const QString target = dir.filePath("target");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QFile::link(elsewhere + "/x", target + "/dl"));
        QVERIFY(QFile::link(elsewhere, target + "/sd"));
        const UnpackResult r = unpackZip(archive, target, kPassword, overwrite);
        QCOMPARE(tree(elsewhere), QStringList());
        QCOMPARE(r.refused, QStringList({"sd/x.txt"}));
        QCOMPARE(contents(target + "/ok.txt"), QByteArray("tamam"));
        // With overwrite the link gives way to the file; without it the link stays as it is.
        QCOMPARE(QFileInfo(target + "/dl").isSymLink(), !overwrite);
        if (overwrite)
            QCOMPARE(contents(target + "/dl"), QByteArray("dosya"));
        QCOMPARE(r.written, qint64(overwrite ? 2 : 1));
    }

    // A stop asked for in the middle ends the unpacking, leaving no temporaries.
    void cancelledUnpackLeavesNoTemporaries()
    {
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 20; ++i) {
            put(dir.filePath(QStringLiteral("src/f%1.txt").arg(i)), QByteArray("x").repeated(1000));
            files.append(dir.filePath(QStringLiteral("src/f%1.txt").arg(i)));
        }
        packZip(dir.filePath("a.Zip"), dir.filePath("src"), files, kPassword);
        std::atomic<bool> cancel{false};
        int seen = 0;
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(dir.filePath("a.Zip"), dir.filePath("out"), kPassword, false,
                                                  [&](qint64, qint64) {
                                                      if (++seen == 3)
                                                          cancel = true;
                                                  },
                                                  &cancel));
        for (const QString &name : tree(dir.filePath("out")))
            QVERIFY2(!name.startsWith(".kx-"), qPrintable(name));
        QVERIFY(tree(dir.filePath("out")).size() < 20);
    }
};

QTEST_MAIN(TestZipEngine)
#include "tst_zipengine.moc"
