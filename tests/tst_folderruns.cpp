// The folder backup and folder restore runs, without windows: every way a run ends, what it
// leaves on disk, the log line it writes and what a window of it would show last.
#include "testfiles.h"
#include "testsystem.h"
#include "core/clock.h"
#include "core/jobfile.h"
#include "core/service.h"
#include "platform/files.h"
#include "platform/folderdelete.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "platform/pathname.h"
#include "archive/zipengine.h"
#include "runs/folderbackuprun.h"
#include "runs/folderrestorerun.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "runs/runparams.h"
#include "runs/setup.h"
#include "scheduling/retention.h"
#include "scheduling/unfinished.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace kx;
using namespace kxtest;

namespace {

const QString kRun = QStringLiteral("Muhasebe_nyd_20240115_1430");
const QString kOldRun = QStringLiteral("Muhasebe_nyd_20240101_1000");

// Files below a folder, relative and sorted (links listed, not followed).
QStringList filesBelow(const QString &root)
{
    QStringList out;
    QList<QString> pending{root};
    while (!pending.isEmpty()) {
        const QString folder = pending.takeFirst();
        for (const QFileInfo &fi : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                              | QDir::NoDotAndDotDot)) {
            if (fi.isDir() && !fi.isSymLink())
                pending.append(fi.filePath());
            else
                out.append(fi.filePath().mid(root.size() + 1));
        }
    }
    out.sort();
    return out;
}

QStringList tenMasks(const QString &first)
{
    QStringList masks{first};
    while (masks.size() < 10)
        masks.append(QString());
    return masks;
}

// What a run showed last: its display as it ended.
struct Shown {
    RunDisplay display;
    QStringList errors;
    bool ended = false;
};

// Sets the run up through a controller, lets `between` act after the prepare step and before
// the work starts (where the window would slide in), and waits until its end steps are done.
template <class R>
Shown drive(std::unique_ptr<R> owned, const std::function<void(R *)> &between = {})
{
    Shown shown;
    RunController controller;
    R *run = owned.get();
    controller.setViewFactory([&](Run *r) {
        if (between)
            between(run);
        r->start();
    });
    controller.setErrorDisplay([&](const QString &e) { shown.errors.append(e); });
    QObject::connect(run, &Run::finished, run, [&shown, run] { shown.display = run->display(); });
    QSignalSpy ended(&controller, &RunController::runEnded);
    if (controller.start(std::move(owned)) == 0)
        return shown;
    shown.ended = ended.wait(30000);
    QTest::qWait(0); // errors are told from the next turn of the event loop
    QCoreApplication::processEvents();
    return shown;
}

std::array<QString, 7> line(const OperationLog &log, int i)
{
    return i < log.lines().size() ? parseLogLine(log.lines().at(i)) : std::array<QString, 7>{};
}

enum Cell { Module, Name, Date, Time, Source, Target, Status };

// Files whose names are bytes that are no UTF-8, made and listed by their bytes.
void putRaw(const QByteArray &path, const QByteArray &data)
{
    writeWholeFile(decodePath(path), data);
}

QList<QByteArray> rawNames(const QByteArray &folder)
{
    QList<QByteArray> names;
    for (const DirEntry &e : listDirectory(decodePath(folder)))
        names.append(encodePath(e.name));
    std::sort(names.begin(), names.end());
    return names;
}

// The names of an archive's central directory with their UTF-8 flag, as stored.
QList<QPair<QByteArray, bool>> storedNames(const QString &archive)
{
    const QByteArray zip = readWholeFile(archive);
    QList<QPair<QByteArray, bool>> out;
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06"));
    if (end < 0)
        return out;
    auto u16 = [&](qsizetype at) { return quint16(uchar(zip[at]) | uchar(zip[at + 1]) << 8); };
    auto u32 = [&](qsizetype at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    qsizetype at = qsizetype(u32(end + 16));
    for (int i = 0; i < u16(end + 10) && zip.mid(at, 4) == QByteArray("PK\x01\x02"); ++i) {
        const int nameSize = u16(at + 28);
        out.append({zip.mid(at + 46, nameSize), (u16(at + 8) & (1 << 11)) != 0});
        at += 46 + nameSize + u16(at + 30) + u16(at + 32);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Every file and folder below a folder by its name's bytes ("/" ends a folder's), files with
// their contents.
QMap<QByteArray, QByteArray> rawTree(const QString &root)
{
    QMap<QByteArray, QByteArray> out;
    QList<QString> pending{QString()};
    while (!pending.isEmpty()) {
        const QString rel = pending.takeFirst();
        for (const DirEntry &e : listDirectory(rel.isEmpty() ? root : root + u'/' + rel)) {
            const QString path = rel.isEmpty() ? e.name : rel + u'/' + e.name;
            if (e.isDir) {
                pending.append(path);
                out.insert(encodePath(path) + '/', QByteArray());
            } else {
                out.insert(encodePath(path), readWholeFile(root + u'/' + path));
            }
        }
    }
    return out;
}

// Runs a shell command line in `folder` under a UTF-8 locale, with `env` added; its output when
// it fails.
QString runShell(const QString &command, const QString &folder, const QStringList &env, bool *ok)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString &pair : env)
        e.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    *ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return command + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
}

// An archive as the older Windows installation wrote it: names in code page 857 with
// backslashes and no UTF-8 flag, made on MS-DOS, stored and encrypted the older PKWARE way, CRC
// and sizes in a descriptor after each entry's data.
QByteArray oldWindowsArchive(const QList<QPair<QByteArray, QByteArray>> &entries, const QByteArray &password)
{
    const z_crc_t *table = get_crc_table();
    const auto step = [table](quint32 c, quint8 b) { return quint32(table[(c ^ b) & 0xff]) ^ (c >> 8); };
    const auto le = [](QByteArray &b, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(char(v >> (8 * i)));
    };
    const quint16 time = 0x6000, date = (40 << 9) | (1 << 5) | 15; // 2020-01-15 12:00
    QByteArray zip, central;
    for (const auto &[name, data] : entries) {
        quint32 keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
        const auto update = [&](quint8 b) {
            keys[0] = step(keys[0], b);
            keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
            keys[2] = step(keys[2], quint8(keys[1] >> 24));
        };
        for (const char c : password)
            update(quint8(c));
        // Eleven bytes of the writer's choosing, then the check byte: the time's high byte.
        QByteArray plain = QByteArray(11, '\x5a') + char(time >> 8) + data, secret;
        for (const char c : std::as_const(plain)) {
            const quint32 t = (keys[2] | 2) & 0xffff;
            secret.append(char(quint8(c) ^ quint8((t * (t ^ 1)) >> 8)));
            update(quint8(c));
        }
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        const quint32 offset = quint32(zip.size());
        le(zip, 0x04034b50, 4), le(zip, 20, 2), le(zip, 9, 2), le(zip, 0, 2), le(zip, time, 2), le(zip, date, 2);
        le(zip, 0, 4), le(zip, 0, 4), le(zip, 0, 4), le(zip, quint32(name.size()), 2), le(zip, 0, 2);
        zip += name + secret;
        le(zip, 0x08074b50, 4), le(zip, crc, 4), le(zip, quint32(secret.size()), 4), le(zip, quint32(data.size()), 4);
        le(central, 0x02014b50, 4), le(central, 20, 2), le(central, 20, 2), le(central, 9, 2), le(central, 0, 2);
        le(central, time, 2), le(central, date, 2), le(central, crc, 4), le(central, quint32(secret.size()), 4);
        le(central, quint32(data.size()), 4), le(central, quint32(name.size()), 2);
        le(central, 0, 4), le(central, 0, 4); // extra, comment, disk, internal attributes
        le(central, 0x20, 4), le(central, offset, 4);
        central += name;
    }
    const quint32 cdOffset = quint32(zip.size());
    zip += central;
    le(zip, 0x06054b50, 4), le(zip, 0, 4), le(zip, quint32(entries.size()), 2), le(zip, quint32(entries.size()), 2);
    le(zip, quint32(central.size()), 4), le(zip, cdOffset, 4), le(zip, 0, 2);
    return zip;
}

} // namespace

class TestFolderRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program, m_source, m_target;
    // The service's day and tick, which every run of these tests belongs to.
    ServiceContext m_context;

    FolderBackupParams params() const
    {
        FolderBackupParams p;
        p.jobName = QStringLiteral("Muhasebe.nyd");
        p.sourceFolder = m_source;
        p.targetFolder = m_target;
        p.filters = tenMasks(QStringLiteral("*.*"));
        return p;
    }

    Shown backup(FolderBackupParams p, const std::function<void(FolderBackupRun *)> &between = {})
    {
        p.moment = m_context.moment();
        return drive(std::make_unique<FolderBackupRun>(m_program, p), between);
    }

    Shown restore(const FolderRestoreParams &p)
    {
        return drive(std::make_unique<FolderRestoreRun>(p));
    }

    // A job that keeps the newest run only, and an older run it would prune.
    void prepareRetention()
    {
        writeWholeFile(m_program + "/Muhasebe.nyd",
                       ("YEDEKSIL=1\r\nSILGUN=1\r\nYEDEK_ZAMANI=1\r\nHEDEF_DIZIN=" + m_target + "\r\n").toUtf8());
        put(m_target + "/" + kOldRun + "/eski.txt", "eski");
    }

    void checkLine(const std::array<QString, 7> &cells, const QString &module, const QString &source,
                   const QString &target, const QString &status)
    {
        QCOMPARE(cells[Module], module);
        QCOMPARE(cells[Name], QStringLiteral("Muhasebe.nyd"));
        QCOMPARE(cells[Date], QStringLiteral("15.01.2024"));
        QCOMPARE(cells[Time], QStringLiteral("14:30:55"));
        QCOMPARE(cells[Source], source);
        QCOMPARE(cells[Target], target);
        QCOMPARE(cells[Status], status);
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_program = m_dir->filePath("program");
        m_source = m_dir->filePath("Kaynak");
        m_target = m_dir->filePath("Hedef");
        QVERIFY(QDir().mkpath(m_program));
        setLogFolder(m_program);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));
        m_context = ServiceContext();
        m_context.setTick(QDate(2024, 1, 15), QTime(14, 30, 50));
        m_context.setServiceDate(QDate(2024, 1, 15));
        put(m_source + "/rapor.txt", QByteArray("rapor satiri\n").repeated(100));
        put(m_source + "/veri.mdb", "veri");
        put(m_source + "/Alt/ic.txt", "ic");
    }

    void cleanup()
    {
        // Qt's own removal stops at names that are no UTF-8.
        deleteFolderTree(m_dir->path());
        delete m_dir;
        m_dir = nullptr;
        clock::setNow(QDateTime());
    }

    void missingSourceFailsWithoutPruning()
    {
        prepareRetention();
        FolderBackupParams p = params();
        p.sourceFolder = m_dir->filePath("yok");
        p.retention = true;
        const Shown shown = backup(p);
        QVERIFY(shown.ended);
        QCOMPARE(shown.display.barStatement, QStringLiteral("Kaynak dizin bulunamadi."));
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_dir->filePath("yok"), m_target + "/" + kRun,
                  "Basarisiz.Kaynak dizin bulunamadi.");
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
        QVERIFY(!QFileInfo::exists(m_target + "/" + kRun));
        // The line is in the file, not only in memory.
        QVERIFY(contents(m_program + "/backup2.kxk").contains("DURUMU=Basarisiz.Kaynak dizin bulunamadi."));
    }

    void existingRunFolderWithoutOverwriteOnlyPrunes()
    {
        prepareRetention();
        put(m_target + "/" + kRun + "/onceki.txt", "onceki");
        FolderBackupParams p = params();
        p.overwrite = false;
        p.retention = true;
        const Shown shown = backup(p);
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Tamamlandi."));
        QVERIFY(backupLog().lines().isEmpty());
        QVERIFY(!QFileInfo::exists(m_program + "/backup2.kxk"));
        QCOMPARE(filesBelow(m_target + "/" + kRun), QStringList({"onceki.txt"}));
        QVERIFY(!QFileInfo::exists(m_target + "/" + kOldRun));
    }

    void runFolderThatCannotBeMade()
    {
        put(m_dir->filePath("duz"), "a regular file where a folder should be");
        FolderBackupParams p = params();
        p.targetFolder = m_dir->filePath("duz/Hedef");
        const Shown shown = backup(p);
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        QCOMPARE(backupLog().lines().size(), 1);
        const auto cells = line(backupLog(), 0);
        QCOMPARE(cells[Target], m_dir->filePath("duz/Hedef/") + kRun);
        QVERIFY2(cells[Status].startsWith("Basarisiz.") && cells[Status].size() > 12, qPrintable(cells[Status]));
        // The system's reason follows the status word.
        QVERIFY2(cells[Status].contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))
                     || cells[Status].contains(QString::fromLocal8Bit(std::strerror(EEXIST))),
                 qPrintable(cells[Status]));
    }

    void copyRun_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QString>("module");
        QTest::newRow("scheduled") << false << "Otomatik Yedekleme";
        QTest::newRow("manual") << true << "Manuel Yedekleme";
    }

    void copyRun()
    {
        QFETCH(bool, manual);
        QFETCH(QString, module);
        prepareRetention();
        put(m_source + "/.git/config", "gizli"); // a copy leaves dot folders out
        FolderBackupParams p = params();
        p.manual = manual;
        p.retention = true;
        const Shown shown = backup(p);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), module, m_source, run, "Basarili");
        QCOMPARE(filesBelow(run), QStringList({"Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(contents(run + "/rapor.txt"), contents(m_source + "/rapor.txt"));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Tamamlandi."));
        // One step per file from 0 over a maximum of files - 1: the bar ends full.
        QCOMPARE(shown.display.barMaximum, 2);
        QCOMPARE(shown.display.barPosition, 3);
        QCOMPARE(shown.display.folders, qint64(1));
        QCOMPARE(shown.display.files, qint64(3));
        QCOMPARE(shown.display.bytes, double(1300 + 4 + 2));
        // A successful run prunes; its own folder holds no marker.
        QVERIFY(!QFileInfo::exists(m_target + "/" + kOldRun));
        QVERIFY(!isUnfinished(run));
    }

    void failedCopyIsCountedAndKeepsOldRuns_data()
    {
        QTest::addColumn<bool>("unreadableSource");
        QTest::newRow("source cannot be read") << true;
        QTest::newRow("target taken by a folder") << false;
    }

    void failedCopyIsCountedAndKeepsOldRuns()
    {
        QFETCH(bool, unreadableSource);
        prepareRetention();
        const QString run = m_target + "/" + kRun;
        if (unreadableSource) {
            // Reading the start of this process's memory fails: a file that cannot be read.
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), m_source + "/bellek.dat"));
        } else {
            QVERIFY(QDir().mkpath(run + "/veri.mdb"));
        }
        FolderBackupParams p = params();
        p.retention = true;
        const Shown shown = backup(p);
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, run, "Basarisiz.1 dosya kopyalanamadi.");
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        QCOMPARE(contents(run + "/rapor.txt"), contents(m_source + "/rapor.txt"));
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
    }

    // Files that vanish between the listing and the copying or packing are not there to back up:
    // the run skips them without failing, and the rest is all there.
    void vanishedFilesAreSkipped_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::newRow("copy") << false;
        QTest::newRow("zip") << true;
    }
    void vanishedFilesAreSkipped()
    {
        QFETCH(bool, zip);
        FolderBackupParams p = params();
        p.zip = zip;
        p.zipPassword = QStringLiteral("p");
        // The collection lists the source folder first: once it lists a subfolder, the file at
        // the top has been listed, and goes.
        std::atomic<int> removed{0};
        setCollectionStep([&](const QString &folder) {
            if (folder != m_source && QFile::remove(m_source + "/veri.mdb"))
                ++removed;
        });
        const Shown shown = backup(p);
        setCollectionStep({});
        QCOMPARE(shown.display.files, qint64(3));
        QCOMPARE(removed.load(), 1);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), zip ? "Otomatik Yedekleme(ZIP)" : "Otomatik Yedekleme", m_source, run, "Basarili");
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Tamamlandi."));
        if (!zip) {
            QCOMPARE(filesBelow(run), QStringList({"Alt/ic.txt", "rapor.txt"}));
            return;
        }
        QTemporaryDir out;
        const UnpackResult u = unpackZip(run + "/Kaynak.Zip", out.path(), "p", false);
        QCOMPARE(u.written, qint64(2));
        QCOMPARE(filesBelow(out.path()), QStringList({"Alt/ic.txt", "rapor.txt"}));
    }

    // A file that is there and cannot be read fails the zip run, counted in its line, while the
    // archive of every other file is still made and kept. Folders beginning with a dot are packed.
    void zipKeepsWhatItCouldRead()
    {
        prepareRetention();
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), m_source + "/bellek.dat"));
        put(m_source + "/.git/config", "gizli");
        FolderBackupParams p = params();
        p.zip = true;
        p.zipPassword = QStringLiteral("p");
        p.retention = true;
        const Shown shown = backup(p);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme(ZIP)", m_source, run, "Basarisiz.1 dosya arsive eklenemedi.");
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        QTemporaryDir out;
        unpackZip(run + "/Kaynak.Zip", out.path(), "p", false);
        QCOMPARE(filesBelow(out.path()), QStringList({".git/config", "Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
    }

    // A source file replaced by a pipe after the listing would block a reader for ever: the run
    // skips it and ends.
    void pipeInTheSourceIsSkipped_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::newRow("copy") << false;
        QTest::newRow("zip") << true;
    }
    void pipeInTheSourceIsSkipped()
    {
        QFETCH(bool, zip);
        FolderBackupParams p = params();
        p.zip = zip;
        p.zipPassword = QStringLiteral("p");
        const QString fifo = m_source + "/veri.mdb";
        // Turned into a pipe once the folder it lies in is listed.
        std::atomic<int> turned{0};
        setCollectionStep([&](const QString &folder) {
            if (folder != m_source && QFile::remove(fifo))
                turned += ::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0;
        });
        const Shown shown = backup(p);
        setCollectionStep({});
        QCOMPARE(turned.load(), 1);
        QVERIFY(shown.ended);
        QCOMPARE(backupLog().lines().size(), 1);
        QCOMPARE(line(backupLog(), 0)[Status], QStringLiteral("Basarili"));
    }

    void secondTargetCopiesTheFirstRun()
    {
        FolderBackupParams p = params();
        p.targetFolder2 = m_dir->filePath("Hedef2");
        backup(p);
        const QString run = m_target + "/" + kRun;
        const QString run2 = m_dir->filePath("Hedef2/") + kRun;
        QCOMPARE(backupLog().lines().size(), 2);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, run, "Basarili");
        checkLine(line(backupLog(), 1), "Otomatik Yedekleme", run, run2, "Basarili");
        QCOMPARE(filesBelow(run2), QStringList({"Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(contents(run2 + "/Alt/ic.txt"), QByteArray("ic"));
        QVERIFY(!isUnfinished(run2));
    }

    void secondTargetThatCannotBeMadeIsAFailure()
    {
        prepareRetention();
        put(m_dir->filePath("duz2"), "a regular file where the second target should be");
        FolderBackupParams p = params();
        p.targetFolder2 = m_dir->filePath("duz2/Hedef2");
        p.retention = true;
        const Shown shown = backup(p);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 2);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, run, "Basarili");
        const auto second = line(backupLog(), 1);
        QCOMPARE(second[Source], run);
        QCOMPARE(second[Target], m_dir->filePath("duz2/Hedef2/") + kRun);
        QVERIFY2(second[Status].startsWith("Basarisiz."), qPrintable(second[Status]));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        // The run failed in part: older runs are kept.
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
    }

    void zipRun()
    {
        FolderBackupParams p = params();
        p.zip = true;
        p.zipPassword = QStringLiteral("Şifre-1");
        p.targetFolder2 = m_dir->filePath("Hedef2");
        const Shown shown = backup(p);
        const QString run = m_target + "/" + kRun;
        const QString run2 = m_dir->filePath("Hedef2/") + kRun;
        const QString archive = run + "/Kaynak.Zip";
        QCOMPARE(backupLog().lines().size(), 2);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme(ZIP)", m_source, run, "Basarili");
        checkLine(line(backupLog(), 1), "Otomatik Yedekleme(ZIP)", run, run2, "Basarili");
        QCOMPARE(filesBelow(run), QStringList({"Kaynak.Zip"}));
        QCOMPARE(contents(run2 + "/Kaynak.Zip"), contents(archive));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Tamamlandi."));
        QCOMPARE(shown.display.barPosition, 1);
        QCOMPARE(shown.display.barMaximum, 10001);

        // The password is keyed from its UTF-8, as 7-Zip reads it typed; its Windows-1254 bytes,
        // which earlier versions used, do not open the archive.
        QTemporaryDir out;
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(archive, out.path(), QByteArray(), false));
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(archive, out.path(), QByteArray("\xDE" "ifre-1"), false));
        bool ok = false;
        const QString tested = runShell(QStringLiteral("7z t -p'Şifre-1' Kaynak.Zip"), run, {}, &ok);
        QVERIFY2(ok && tested.contains("Everything is Ok"), qPrintable(tested));
        const UnpackResult u = unpackZip(archive, out.path(), QByteArray("Şifre-1"), false);
        QCOMPARE(u.written, qint64(3));
        QCOMPARE(contents(out.filePath("Alt/ic.txt")), QByteArray("ic"));
        QCOMPARE(contents(out.filePath("rapor.txt")), contents(m_source + "/rapor.txt"));
    }

    void jobWithoutZipPasswordCopiesPlainly()
    {
        JobFile job({"KAYNAK_DIZIN=" + m_source, "HEDEF_DIZIN=" + m_target, "ZIP_YEDEKLE=True", "DOSYA_TURU1=*.mdb"});
        QVERIFY(!folderBackupParams(job, "Muhasebe.nyd", false, false).zip);
        JobFile withPassword = job;
        withPassword.setValue("ZIP_PAROLA1", "x");
        QVERIFY(folderBackupParams(withPassword, "Muhasebe.nyd", false, false).zip);

        backup(folderBackupParams(job, "Muhasebe.nyd", false, false));
        QCOMPARE(line(backupLog(), 0)[Module], QStringLiteral("Otomatik Yedekleme"));
        QCOMPARE(filesBelow(m_target + "/" + kRun), QStringList({"veri.mdb"}));
    }

    // A link where the run folder should be, or inside it, is never written through.
    void linksInTheTargetAreNeverFollowed()
    {
        const QString elsewhere = m_dir->filePath("baska");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(m_target));
        QVERIFY(QFile::link(elsewhere, m_target + "/" + kRun));
        const Shown shown = backup(params());
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        QVERIFY(line(backupLog(), 0)[Status].startsWith("Basarisiz."));
        QCOMPARE(filesBelow(elsewhere), QStringList());

        // Inside an existing run folder: a dangling link and a link to a folder.
        QVERIFY(QFile::remove(m_target + "/" + kRun));
        const QString run = m_target + "/" + kRun;
        QVERIFY(QDir().mkpath(run));
        QVERIFY(QFile::link(elsewhere + "/kacak.mdb", run + "/veri.mdb"));
        QVERIFY(QFile::link(elsewhere, run + "/Alt"));
        backup(params());
        QCOMPARE(filesBelow(elsewhere), QStringList());
        // The link at the file's own name gave way to the copy; the folder link was refused.
        QVERIFY(!QFileInfo(run + "/veri.mdb").isSymLink());
        QCOMPARE(contents(run + "/veri.mdb"), QByteArray("veri"));
        QCOMPARE(line(backupLog(), 1)[Status], QStringLiteral("Basarisiz.1 dosya kopyalanamadi."));
    }

    void engineFailureEndsTheZipRun()
    {
        FolderBackupParams p = params();
        p.zip = true;
        p.zipPassword = QStringLiteral("p");
        // The archive's name is taken by a folder: the archive itself cannot be written.
        const QString run = m_target + "/" + kRun;
        QVERIFY(QDir().mkpath(run + "/Kaynak.Zip/ic"));
        const Shown shown = backup(p);
        QCOMPARE(backupLog().lines().size(), 1);
        const auto cells = line(backupLog(), 0);
        QCOMPARE(cells[Module], QStringLiteral("Otomatik Yedekleme(ZIP)"));
        QCOMPARE(cells[Target], run);
        QVERIFY2(cells[Status].startsWith("Basarisiz.") && cells[Status].size() > 12, qPrintable(cells[Status]));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        QCOMPARE(filesBelow(run), QStringList());
        QVERIFY(!isUnfinished(run));
    }

    // A run cut short leaves its folder marked; at the next start it is told once with a failure
    // line, its leftovers go, retention never takes it for a backup; the next run of the job
    // clears leftovers too.
    void interruptedRunIsToldOnceAndCleaned()
    {
        const QString broken = m_target + "/Muhasebe_nyd_20240115_1200";
        QVERIFY(QDir().mkpath(broken));
        markUnfinished({broken, "Otomatik Yedekleme", "Muhasebe.nyd", m_source, broken});
        put(broken + "/rapor.txt", "yarim");
        put(broken + "/Alt/.kx-4711-ic.txt.tmp", "yarim");
        put(broken + "/.kx-zip-4711-0.part", "yarim");
        writeWholeFile(m_program + "/Muhasebe.nyd", ("HEDEF_DIZIN=" + m_target + "\r\n").toUtf8());

        QCOMPARE(reportUnfinishedRuns(m_program, {"Muhasebe.nyd"}, {}, m_context.moment().serviceDate), 1);
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, broken, "Basarisiz.Yedekleme yarida kesildi.");
        QCOMPARE(filesBelow(broken), QStringList({QString::fromLatin1(kUnfinishedMarker), "rapor.txt"}));
        QVERIFY(isUnfinished(broken));
        // Told once.
        QCOMPARE(reportUnfinishedRuns(m_program, {"Muhasebe.nyd"}, {}, m_context.moment().serviceDate), 0);
        QCOMPARE(backupLog().lines().size(), 1);

        // Leftovers found by the next run of the job are removed as well.
        put(broken + "/.kx-99-veri.mdb.tmp", "yarim");
        backup(params());
        QVERIFY(!QFileInfo::exists(broken + "/.kx-99-veri.mdb.tmp"));
        QVERIFY(isUnfinished(broken));
    }

    // A source without a file to back up (the mount point of a share that is not mounted) is a
    // failure: no run folder, no pruning, one line that says why. Files gone between the listing
    // and the copy leave a run folder that retention never counts.
    void emptySourceKeepsTheBackups_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::addColumn<QString>("how");
        for (const bool zip : {false, true}) {
            const char *mode = zip ? "zip, " : "copy, ";
            QTest::newRow(QByteArray(mode).append("empty").constData()) << zip << "empty";
            QTest::newRow(QByteArray(mode).append("no match").constData()) << zip << "no match";
            QTest::newRow(QByteArray(mode).append("emptied meanwhile").constData()) << zip << "emptied meanwhile";
        }
    }
    void emptySourceKeepsTheBackups()
    {
        QFETCH(bool, zip);
        QFETCH(QString, how);
        prepareRetention();
        FolderBackupParams p = params();
        p.zip = zip;
        p.zipPassword = QStringLiteral("p");
        p.retention = true;
        if (how == "empty") {
            QVERIFY(QDir(m_source).removeRecursively());
            QVERIFY(QDir().mkpath(m_source));
        } else if (how == "no match") {
            p.filters = tenMasks(QStringLiteral("*.xls"));
        }
        // Emptied once everything with a file in it is listed: a folder below "Alt" is listed
        // after it.
        std::atomic<int> removed{0};
        if (how == "emptied meanwhile") {
            QVERIFY(QDir().mkpath(m_source + "/Alt/Bos"));
            setCollectionStep([&](const QString &folder) {
                if (folder.endsWith(QLatin1String("/Alt/Bos")))
                    for (const char *f : {"/rapor.txt", "/veri.mdb", "/Alt/ic.txt"})
                        removed += QFile::remove(m_source + f);
            });
        }
        const Shown shown = backup(p);
        setCollectionStep({});
        QCOMPARE(removed.load(), how == "emptied meanwhile" ? 3 : 0);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), zip ? "Otomatik Yedekleme(ZIP)" : "Otomatik Yedekleme", m_source, run,
                  "Basarisiz.Kaynak dizinde yedeklenecek dosya bulunamadi.");
        QCOMPARE(shown.display.barStatement, QStringLiteral("Kaynak dizinde yedeklenecek dosya bulunamadi."));
        QVERIFY(shown.display.failed);
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun + "/eski.txt"));
        QCOMPARE(QFileInfo::exists(run), how == "emptied meanwhile");
        if (QFileInfo::exists(run))
            QVERIFY(isUnfinished(run));
    }

    // The job's own target folders inside the source are never backed up again: the second run
    // holds the source's files and nothing of the first.
    void targetInsideTheSourceIsLeftOut_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::addColumn<QString>("target");  // below the source, "" for the source itself
        QTest::addColumn<QString>("target2"); // below the source, none when null
        for (const bool zip : {false, true}) {
            const char *mode = zip ? "zip, " : "copy, ";
            QTest::newRow(QByteArray(mode).append("target inside").constData()) << zip << "Yedekler" << QString();
            QTest::newRow(QByteArray(mode).append("target is the source").constData()) << zip << "" << QString();
            QTest::newRow(QByteArray(mode).append("second target inside").constData())
                << zip << QString() << "Alt/Yedekler2";
        }
    }
    void targetInsideTheSourceIsLeftOut()
    {
        QFETCH(bool, zip);
        QFETCH(QString, target);
        QFETCH(QString, target2);
        FolderBackupParams p = params();
        p.zip = zip;
        p.zipPassword = QStringLiteral("p");
        if (!target.isNull())
            p.targetFolder = target.isEmpty() ? m_source : m_source + "/" + target;
        if (!target2.isNull())
            p.targetFolder2 = m_source + "/" + target2;
        backup(p);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 35, 55)));
        m_context.setTick(QDate(2024, 1, 15), QTime(14, 35, 50));
        backup(p);
        const QString second = QStringLiteral("/Muhasebe_nyd_20240115_1435");
        QCOMPARE(backupLog().lines().size(), p.targetFolder2.isEmpty() ? 2 : 4);
        for (int i = 0; i < backupLog().lines().size(); ++i)
            QCOMPARE(line(backupLog(), i)[Status], QStringLiteral("Basarili"));
        const QStringList sourceFiles{"Alt/ic.txt", "rapor.txt", "veri.mdb"};
        for (const QString &folder : {p.targetFolder + second, p.targetFolder2 + second}) {
            if (folder == second)
                continue;
            if (!zip) {
                QCOMPARE(filesBelow(folder), sourceFiles);
                continue;
            }
            QTemporaryDir out;
            unpackZip(folder + "/Kaynak.Zip", out.path(), "p", false);
            QCOMPARE(filesBelow(out.path()), sourceFiles);
        }
    }

    // A run that failed part-way keeps its marker as a failed run: it is never counted as a kept
    // backup, never told again as interrupted, and goes once a newer complete run exists.
    void failedRunNeverTakesAGoodRunsPlace_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("unreadable file") << "unreadable";
        QTest::newRow("full disk") << "full";
    }
    void failedRunNeverTakesAGoodRunsPlace()
    {
        QFETCH(QString, fault);
        SmallFileSystem small("256k");
        const QString bad = m_source + (fault == "full" ? "/buyuk.dat" : "/bellek.dat");
        if (fault == "full") {
            if (!small.mounted)
                QSKIP("A small file system needs root.");
            m_target = small.path("Hedef");
            put(bad, noise(1024 * 1024));
        } else {
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), bad));
        }
        prepareRetention();
        FolderBackupParams p = params();
        p.retention = true;
        backup(p);
        const QString failed = m_target + "/" + kRun;
        QVERIFY2(line(backupLog(), 0)[Status].startsWith("Basarisiz.1 dosya kopyalanamadi."),
                 qPrintable(line(backupLog(), 0)[Status]));
        QVERIFY(isUnfinished(failed));
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
        QCOMPARE(reportUnfinishedRuns(m_program, {"Muhasebe.nyd"}, {}, m_context.moment().serviceDate), 0);

        QVERIFY(QFile::remove(bad));
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 35, 55)));
        m_context.setTick(QDate(2024, 1, 15), QTime(14, 35, 50));
        backup(p);
        QCOMPARE(line(backupLog(), 1)[Status], QStringLiteral("Basarili"));
        QCOMPARE(QDir(m_target).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"Muhasebe_nyd_20240115_1435"});
    }

    // Names are bytes: a copy keeps them exactly, an archive stores a name that is no UTF-8 as
    // its bytes without the UTF-8 flag, and a job whose own file name is no UTF-8 is listed and run.
    void oddNamesAreKeptByteForByte_data()
    {
        QTest::addColumn<bool>("zip");
        QTest::newRow("copy") << false;
        QTest::newRow("zip") << true;
    }
    void oddNamesAreKeptByteForByte()
    {
        QFETCH(bool, zip);
        const QByteArray source = QFile::encodeName(m_source);
        putRaw(source + "/M\xfc\xfeteri.xls", "musteri");
        QCOMPARE(::mkdir(source + "/Ar\xfeiv", 0755), 0);
        putRaw(source + "/Ar\xfeiv/eski.txt", "arsiv");
        const QByteArray jobFile = QFile::encodeName(m_program) + "/Mu\xfe.nyd";
        putRaw(jobFile, "KAYNAK_DIZIN=" + source + "\r\nHEDEF_DIZIN=" + QFile::encodeName(m_target)
                            + "\r\nDOSYA_TURU1=*.*\r\nZIP_YEDEKLE=" + (zip ? "True" : "False")
                            + "\r\nZIP_PAROLA1=p\r\n");

        const QStringList jobs = scanJobFiles(m_program, JobKind::Folder);
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(encodePath(jobs.at(0)), QByteArray("Mu\xfe.nyd"));
        const JobFile job = JobFile::load(jobFilePath(m_program, jobs.at(0), JobKind::Folder));
        backup(folderBackupParams(job, jobs.at(0), false, false));

        QCOMPARE(line(backupLog(), 0)[Status], QStringLiteral("Basarili"));
        QVERIFY(contents(m_program + "/backup2.kxk").contains("YEDEKADI=Mu\xfe.nyd|"));
        const QByteArray run = QFile::encodeName(m_target) + "/Mu\xfe_nyd_20240115_1430";
        if (!zip) {
            QCOMPARE(rawNames(run), QList<QByteArray>({"Alt", "Ar\xfeiv", "M\xfc\xfeteri.xls", "rapor.txt", "veri.mdb"}));
            QCOMPARE(rawNames(run + "/Ar\xfeiv"), QList<QByteArray>{"eski.txt"});
            QCOMPARE(readWholeFile(decodePath(run + "/M\xfc\xfeteri.xls")), QByteArray("musteri"));
            return;
        }
        QCOMPARE(rawNames(run), QList<QByteArray>{"Kaynak.Zip"});
        const QList<QPair<QByteArray, bool>> expected{{"Alt/ic.txt", true},
                                                      {"Ar\xfeiv/eski.txt", false},
                                                      {"M\xfc\xfeteri.xls", false},
                                                      {"rapor.txt", true},
                                                      {"veri.mdb", true}};
        QCOMPARE(storedNames(decodePath(run + "/Kaynak.Zip")), expected);
    }

    void restoreFolderByPattern()
    {
        // Restore lines carry the day of the clock, whatever day the scheduler works on.
        m_context.setServiceDate(QDate(2024, 1, 10));
        put(m_source + "/B.MDB", "b");
        put(m_source + "/Alt/derin.mdb", "d");
        FolderRestoreParams p;
        p.sourceFolder = m_source;
        p.targetFolder = m_dir->filePath("Geri");
        p.subfolders = false;
        p.pattern = QStringLiteral("*.mdb");
        const Shown shown = restore(p);
        QCOMPARE(filesBelow(m_dir->filePath("Geri")), QStringList({"B.MDB", "veri.mdb"}));
        QVERIFY(backupLog().lines().isEmpty());
        QCOMPARE(restoreLog().lines().size(), 1);
        const auto cells = line(restoreLog(), 0);
        QCOMPARE(cells[Module], QStringLiteral("Geri YuklemeDosya"));
        QCOMPARE(cells[Name], QStringLiteral("Manuel"));
        QCOMPARE(cells[Date], QStringLiteral("15.01.2024"));
        QCOMPARE(cells[Time], QStringLiteral("14:30:55"));
        QCOMPARE(cells[Source], m_source);
        QCOMPARE(cells[Target], m_dir->filePath("Geri/"));
        QCOMPARE(cells[Status], QStringLiteral("Basarili"));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Geri Yukleme Islemi Tamamlandi."));
        QCOMPARE(shown.display.barPosition, 0);
        QCOMPARE(shown.display.files, qint64(2));
    }

    void restoreWithNothingMatching()
    {
        FolderRestoreParams p;
        p.sourceFolder = m_source;
        p.targetFolder = m_dir->filePath("Geri");
        p.pattern = QStringLiteral("*.xyz");
        const Shown shown = restore(p);
        QVERIFY(restoreLog().lines().isEmpty());
        QCOMPARE(shown.display.barStatement, QStringLiteral("Geri Yukleme Islemi Tamamlandi."));
        QCOMPARE(filesBelow(m_dir->filePath("Geri")), QStringList());
    }

    void restoreZip()
    {
        const QString archive = m_dir->filePath("arsiv/Kaynak.Zip");
        QVERIFY(QDir().mkpath(m_dir->filePath("arsiv")));
        // Packed, the noise keeps its size and the repeated text almost vanishes.
        put(m_source + "/Alt/gurultu.bin", noise(200000));
        put(m_source + "/Alt/tekrar.txt", QByteArray("0123456789abcdef").repeated(65536));
        packZip(archive, m_source,
                {m_source + "/rapor.txt", m_source + "/veri.mdb", m_source + "/Alt/ic.txt",
                 m_source + "/Alt/gurultu.bin", m_source + "/Alt/tekrar.txt"},
                "p");
        FolderRestoreParams p;
        p.zipMode = true;
        p.archive = archive;
        p.password = QStringLiteral("p");
        p.targetFolder = m_dir->filePath("Geri");
        const Shown shown = restore(p);
        QCOMPARE(filesBelow(m_dir->filePath("Geri")),
                 QStringList({"Alt/gurultu.bin", "Alt/ic.txt", "Alt/tekrar.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(contents(m_dir->filePath("Geri/rapor.txt")), contents(m_source + "/rapor.txt"));
        QCOMPARE(contents(m_dir->filePath("Geri/Alt/gurultu.bin")), noise(200000));
        QCOMPARE(restoreLog().lines().size(), 1);
        const auto cells = line(restoreLog(), 0);
        QCOMPARE(cells[Module], QStringLiteral("Geri Yukleme(ZIP)"));
        QCOMPARE(cells[Source], archive);
        QCOMPARE(cells[Status], QStringLiteral("Basarili"));
        QCOMPARE(shown.display.folders, qint64(1));
        QCOMPARE(shown.display.files, qint64(5));
        // The size of the archive, not of what it holds.
        QCOMPARE(shown.display.bytes, double(QFileInfo(archive).size()));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Geri Yukleme Islemi Tamamlandi."));
        QCOMPARE(shown.display.barPosition, 0);
    }

    // Archives of other makers restore whole and under their names, the password typed as it
    // was given to them: the tools take its UTF-8, the earlier versions of this program took its
    // Windows-1254 bytes, the older Windows installation its code page 857 bytes.
    void restoreArchivesOfOtherMakers_data()
    {
        QTest::addColumn<QString>("maker");
        QTest::addColumn<QString>("command"); // run in the folder packed; writes $OUT with $PW
        QTest::addColumn<bool>("rawName");    // a name that is no UTF-8 is packed too
        QTest::addColumn<QString>("password");
        const QString tool = QStringLiteral("tool"), turkish = QStringLiteral("Şifre_ğü1");
        // 7-Zip packs ZIP archives with ASCII passwords only.
        QTest::newRow("7-Zip, AES") << tool << R"(7z a -tzip -mem=AES256 -p"$PW" "$OUT" .)" << false << "Sifre_gu1";
        QTest::newRow("7-Zip, ZipCrypto") << tool << R"(7z a -tzip -mem=ZipCrypto -p"$PW" "$OUT" .)" << false
                                          << "Sifre_gu1";
        QTest::newRow("zip -P") << tool << R"(zip -qr -P "$PW" "$OUT" .)" << true << turkish;
        QTest::newRow("zip -fz") << tool << R"(zip -qr -fz -P "$PW" "$OUT" .)" << true << turkish;
        QTest::newRow("zip to a pipe") << tool << R"(zip -qr -P "$PW" - . | cat > "$OUT")" << true << turkish;
        QTest::newRow("zip, bzip2") << tool << R"(zip -qr -Z bzip2 -P "$PW" "$OUT" .)" << true << turkish;
        const QString bsdtar = QStringLiteral(R"(bsdtar --format zip --passphrase "$PW" -cf "$OUT" --options zip:encryption=)");
        QTest::newRow("bsdtar, ZipCrypto") << tool << bsdtar + "zipcrypt ." << true << turkish;
        QTest::newRow("bsdtar, AES") << tool << bsdtar + "aes256 ." << true << turkish;
        QTest::newRow("Python, ZIP64") << tool << R"(python3 -c 'import os, sys, zipfile
z = zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED)
for root, folders, files in os.walk("."):
    for f in files:
        p = os.path.join(root, f)[2:]
        with open(p, "rb") as i, z.open(p, "w", force_zip64=True) as o:
            o.write(i.read())
z.close()' "$OUT")" << false << turkish;
        QTest::newRow("older Windows installation") << "windows" << QString() << false << turkish;
        QTest::newRow("earlier version of this program") << "earlier" << QString() << false << turkish;
    }
    void restoreArchivesOfOtherMakers()
    {
        QFETCH(QString, maker);
        QFETCH(QString, command);
        QFETCH(bool, rawName);
        QFETCH(QString, password);
        const QString packed = m_dir->filePath("paket");
        QList<QPair<QByteArray, QByteArray>> files{{"Müşteri Çekleri/Şubat/fatura.bin", noise(70000)},
                                                   {"İade.txt", "iade\n"},
                                                   {"pin.txt", "1234"},
                                                   {"rapor.txt", QByteArray("rapor satiri\n").repeated(300)}};
        if (rawName)
            files.append({QByteArray("Ar\xfeiv/eski.txt"), QByteArray("eski\n")});
        QStringList paths;
        for (const auto &[name, data] : std::as_const(files)) {
            paths.append(packed + u'/' + decodePath(name));
            makePath(paths.last().section(u'/', 0, -2));
            writeWholeFile(paths.last(), data);
        }
        const QString archive = m_dir->filePath("arsiv.zip");
        if (maker == "tool") {
            bool ok = false;
            const QString output = runShell(command, packed, {"PW=" + password, "OUT=" + archive}, &ok);
            QVERIFY2(ok, qPrintable(output));
        } else if (maker == "windows") {
            const QList<QPair<QByteArray, QByteArray>> entries{
                {"M\x81\x9Fteri \x80" "ekleri\\\x9E" "ubat\\fatura.bin", files[0].second},
                {"\x98" "ade.txt", files[1].second},
                {"pin.txt", files[2].second},
                {"rapor.txt", files[3].second}};
            writeWholeFile(archive, oldWindowsArchive(entries, "\x9E" "ifre_\xA7\x81" "1"));
        } else {
            packZip(archive, packed, paths, "\xDE" "ifre_\xF0\xFC" "1");
        }
        FolderRestoreParams p;
        p.zipMode = true;
        p.archive = archive;
        p.password = password;
        p.targetFolder = m_dir->filePath("Geri");
        restore(p);
        QCOMPARE(line(restoreLog(), 0)[Status], QStringLiteral("Basarili"));
        const QMap<QByteArray, QByteArray> restored = rawTree(m_dir->filePath("Geri")), expected = rawTree(packed);
        QCOMPARE(restored.keys(), expected.keys());
        QVERIFY(restored == expected);
    }

    // A restore target holding links: nothing is written outside it, whatever the archive or
    // the backup folder holds.
    void restoreNeverWritesThroughLinks_data()
    {
        QTest::addColumn<bool>("zipMode");
        QTest::newRow("zip") << true;
        QTest::newRow("folder") << false;
    }
    void restoreNeverWritesThroughLinks()
    {
        QFETCH(bool, zipMode);
        const QString elsewhere = m_dir->filePath("baska");
        const QString target = m_dir->filePath("Geri");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QDir().mkpath(target));
        put(m_source + "/dl", "dangling");
        put(m_source + "/sd/x.txt", "through");
        QVERIFY(QFile::link(elsewhere + "/x", target + "/dl"));
        QVERIFY(QFile::link(elsewhere, target + "/sd"));
        FolderRestoreParams p;
        p.zipMode = zipMode;
        p.overwrite = true;
        p.targetFolder = target;
        if (zipMode) {
            p.archive = m_dir->filePath("a.Zip");
            p.password = QStringLiteral("p");
            packZip(p.archive, m_source, {m_source + "/dl", m_source + "/sd/x.txt"}, "p");
        } else {
            p.sourceFolder = m_source;
            p.pattern = QStringLiteral("*");
        }
        restore(p);
        QCOMPARE(filesBelow(elsewhere), QStringList());
        QVERIFY(line(restoreLog(), 0)[Status].startsWith("Basarisiz."));
        // The link at an entry's own name gave way to the file.
        QVERIFY(!QFileInfo(target + "/dl").isSymLink());
        QCOMPARE(contents(target + "/dl"), QByteArray("dangling"));
    }

    void restoreZipFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("wrong password") << "password";
        QTest::newRow("damaged archive") << "damaged";
        QTest::newRow("entry leaving the target") << "escape";
    }

    void restoreZipFailures()
    {
        QFETCH(QString, kind);
        const QString archive = m_dir->filePath("arsiv/Kaynak.Zip");
        QVERIFY(QDir().mkpath(m_dir->filePath("arsiv")));
        // Noise, so that the damage lands inside the compressed data.
        put(m_source + "/buyuk.bin", noise(300000));
        packZip(archive, m_source, {m_source + "/buyuk.bin", m_source + "/Alt/ic.txt"}, "p");
        if (kind == "damaged") {
            QFile f(archive);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(f.size() / 2));
            f.write(QByteArray(40, '\x5a'));
        } else if (kind == "escape") {
            int code = 0;
            zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_TRUNCATE, &code);
            QVERIFY(za);
            static const char data[] = "kotu";
            QVERIFY(zip_file_add(za, "../kacak.txt", zip_source_buffer(za, data, 4, 0), 0) >= 0);
            QVERIFY(zip_file_add(za, "iyi.txt", zip_source_buffer(za, data, 4, 0), 0) >= 0);
            QCOMPARE(zip_close(za), 0);
        }
        FolderRestoreParams p;
        p.zipMode = true;
        p.archive = archive;
        p.password = kind == "password" ? QStringLiteral("q") : QStringLiteral("p");
        p.targetFolder = m_dir->filePath("Geri/Ic");
        const Shown shown = restore(p);
        QCOMPARE(restoreLog().lines().size(), 1);
        const QString status = line(restoreLog(), 0)[Status];
        QVERIFY2(status.startsWith("Basarisiz.") && status.size() > 12, qPrintable(status));
        QCOMPARE(shown.display.barStatement, QStringLiteral("Geri Yukleme Islemi Basarisiz."));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("Geri/Ic/buyuk.bin")));
        if (kind == "escape") {
            QVERIFY2(status.contains("../kacak.txt"), qPrintable(status));
            QCOMPARE(filesBelow(m_dir->filePath("Geri")), QStringList({"Ic/iyi.txt"}));
        } else {
            // Told as what it is; damage names its entry.
            QVERIFY2(status.contains(kind == "password" ? "Parola yanlis." : "\"buyuk.bin\""), qPrintable(status));
        }
        // Nothing came of it: the folders the restore made are gone again.
        if (kind == "password")
            QVERIFY(!pathExists(m_dir->filePath("Geri")));
    }

    // A log that cannot be written does not stop the run; its failure reaches the general error
    // display once the run has ended.
    void unwritableLogIsToldAfterTheEnd()
    {
        QVERIFY(QDir().mkpath(m_program + "/backup2.kxk"));
        const Shown shown = backup(params());
        QVERIFY(shown.ended);
        QCOMPARE(filesBelow(m_target + "/" + kRun), QStringList({"Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(shown.errors.size(), 1);
        QVERIFY2(shown.errors.at(0).contains("backup2.kxk"), qPrintable(shown.errors.at(0)));
    }
};

QTEST_MAIN(TestFolderRuns)
#include "tst_folderruns.moc"
