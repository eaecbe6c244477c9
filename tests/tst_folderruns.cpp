// The folder backup and folder restore runners, driven through their windows: every way a run
// ends, what it leaves on disk, the log line it writes and what its window shows last.
#include "testfiles.h"
#include "core/clock.h"
#include "core/jobfile.h"
#include "core/service.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/zipengine.h"
#include "runs/folderbackup.h"
#include "runs/folderrestore.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "runs/progressbar.h"
#include "runs/runparams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

#include <cerrno>
#include <cstring>

using namespace kx;
using namespace kxtest;

namespace {

const QString kRun = QStringLiteral("Muhasebe_nyd_20240115_1430");
const QString kOldRun = QStringLiteral("Muhasebe_nyd_20240101_1000");



// Files below a folder, relative and sorted.
QStringList filesBelow(const QString &root)
{
    QStringList out;
    QList<QString> pending{root};
    while (!pending.isEmpty()) {
        const QString folder = pending.takeFirst();
        for (const QFileInfo &fi : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            if (fi.isDir())
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

struct Shown {
    QString barText;
    int position = -1;
    int maximum = -1;
    QString folders, files, capacity;
};

// Sets the runner up, lets `between` act before the run starts from the slide timer, and waits
// until the window has closed by itself. What the window shows is read while it still exists.
template <class Runner>
void drive(Runner *r, void (Runner::*setUp)(), Shown &shown, const std::function<void()> &between = {})
{
    QSignalSpy closed(r, &TRunnerF::closed);
    QObject::connect(r, &TRunnerF::closed, r, [r, &shown] {
        shown.barText = r->progressBar()->text();
        shown.position = r->progressBar()->position();
        shown.maximum = r->progressBar()->maximum();
    });
    (r->*setUp)();
    QVERIFY(r->LabelKlasor && r->LabelDosya && r->LabelKapasite);
    shown.folders = r->LabelKlasor->text();
    shown.files = r->LabelDosya->text();
    shown.capacity = r->LabelKapasite->text();
    if (between)
        between();
    QVERIFY(closed.wait(10000));
    QCOMPARE(closed.count(), 1);
}

std::array<QString, 7> line(const OperationLog &log, int i)
{
    return i < log.lines().size() ? parseLogLine(log.lines().at(i)) : std::array<QString, 7>{};
}

QByteArray noise(int size)
{
    QRandomGenerator gen(7);
    QByteArray b(size, Qt::Uninitialized);
    for (char &c : b)
        c = char(gen.bounded(256));
    return b;
}

enum Cell { Module, Name, Date, Time, Source, Target, Status };

} // namespace

class TestFolderRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program, m_source, m_target;

    TOtoYedekDosyaF *backup()
    {
        auto *r = new TOtoYedekDosyaF(m_program);
        r->params.jobName = QStringLiteral("Muhasebe.nyd");
        r->params.sourceFolder = m_source;
        r->params.targetFolder = m_target;
        r->params.filters = tenMasks(QStringLiteral("*.*"));
        return r;
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
        resetService();
        Dialogs::setScripted(true);
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_program = m_dir->filePath("program");
        m_source = m_dir->filePath("Kaynak");
        m_target = m_dir->filePath("Hedef");
        QVERIFY(QDir().mkpath(m_program));
        setLogFolder(m_program);
        TRunnerF::setTimings(0, 0, 1000);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));
        service().tickTime = QTime(14, 30, 50);
        service().serviceDate = QDate(2024, 1, 15);
        put(m_source + "/rapor.txt", QByteArray("rapor satiri\n").repeated(100));
        put(m_source + "/veri.mdb", "veri");
        put(m_source + "/Alt/ic.txt", "ic");
    }

    void cleanup()
    {
        QCOMPARE(Dialogs::takeShown().size(), 0);
        QVERIFY(!service().folderBackupRunning);
        QVERIFY(!service().folderRestoreRunning);
        delete m_dir;
        m_dir = nullptr;
        clock::setNow(QDateTime());
    }

    void missingSourceFailsWithoutPruning()
    {
        prepareRetention();
        auto *r = backup();
        r->params.sourceFolder = m_dir->filePath("yok");
        r->params.retention = true;
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        QVERIFY(shown.barText.startsWith("Kaynak dizin bulunamadi. %"));
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
        auto *r = backup();
        r->params.overwrite = false;
        r->params.retention = true;
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        QVERIFY(shown.barText.startsWith("Yedekleme Islemi Tamamlandi. %"));
        QVERIFY(backupLog().lines().isEmpty());
        QVERIFY(!QFileInfo::exists(m_program + "/backup2.kxk"));
        QCOMPARE(filesBelow(m_target + "/" + kRun), QStringList({"onceki.txt"}));
        QVERIFY(!QFileInfo::exists(m_target + "/" + kOldRun));
    }

    void runFolderThatCannotBeMade()
    {
        put(m_dir->filePath("duz"), "a regular file where a folder should be");
        auto *r = backup();
        r->params.targetFolder = m_dir->filePath("duz/Hedef");
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        QVERIFY(shown.barText.startsWith("Yedekleme Islemi Basarisiz. %"));
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
        auto *r = backup();
        r->params.manual = manual;
        r->params.retention = true;
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), module, m_source, run, "Basarili");
        QCOMPARE(filesBelow(run), QStringList({"Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(contents(run + "/rapor.txt"), contents(m_source + "/rapor.txt"));
        QCOMPARE(shown.barText, QStringLiteral("Yedekleme Islemi Tamamlandi. %100"));
        QCOMPARE(shown.folders, QStringLiteral("1"));
        QCOMPARE(shown.files, QStringLiteral("3"));
        QCOMPARE(shown.capacity, capacityText(1300 + 4 + 2));
        // A successful run prunes.
        QVERIFY(!QFileInfo::exists(m_target + "/" + kOldRun));
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
        auto *r = backup();
        r->params.retention = true;
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        QCOMPARE(backupLog().lines().size(), 1);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, run, "Basarisiz.1 dosya kopyalanamadi.");
        QVERIFY(shown.barText.startsWith("Yedekleme Islemi Basarisiz. %"));
        QCOMPARE(contents(run + "/rapor.txt"), contents(m_source + "/rapor.txt"));
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
    }

    void secondTargetCopiesTheFirstRun()
    {
        auto *r = backup();
        r->params.targetFolder2 = m_dir->filePath("Hedef2");
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        const QString run = m_target + "/" + kRun;
        const QString run2 = m_dir->filePath("Hedef2/") + kRun;
        QCOMPARE(backupLog().lines().size(), 2);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, run, "Basarili");
        checkLine(line(backupLog(), 1), "Otomatik Yedekleme", run, run2, "Basarili");
        QCOMPARE(filesBelow(run2), QStringList({"Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(contents(run2 + "/Alt/ic.txt"), QByteArray("ic"));
    }

    void secondTargetThatCannotBeMadeIsAFailure()
    {
        prepareRetention();
        put(m_dir->filePath("duz2"), "a regular file where the second target should be");
        auto *r = backup();
        r->params.targetFolder2 = m_dir->filePath("duz2/Hedef2");
        r->params.retention = true;
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 2);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme", m_source, run, "Basarili");
        const auto second = line(backupLog(), 1);
        QCOMPARE(second[Source], run);
        QCOMPARE(second[Target], m_dir->filePath("duz2/Hedef2/") + kRun);
        QVERIFY2(second[Status].startsWith("Basarisiz."), qPrintable(second[Status]));
        QVERIFY(shown.barText.startsWith("Yedekleme Islemi Basarisiz."));
        // The run failed in part: older runs are kept.
        QVERIFY(QFileInfo::exists(m_target + "/" + kOldRun));
    }

    void zipRun()
    {
        auto *r = backup();
        r->params.zip = true;
        r->params.zipPassword = QStringLiteral("Şifre-1");
        r->params.targetFolder2 = m_dir->filePath("Hedef2");
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        const QString run = m_target + "/" + kRun;
        const QString run2 = m_dir->filePath("Hedef2/") + kRun;
        const QString archive = run + "/Kaynak.Zip";
        QCOMPARE(backupLog().lines().size(), 2);
        checkLine(line(backupLog(), 0), "Otomatik Yedekleme(ZIP)", m_source, run, "Basarili");
        checkLine(line(backupLog(), 1), "Otomatik Yedekleme(ZIP)", run, run2, "Basarili");
        QCOMPARE(filesBelow(run), QStringList({"Kaynak.Zip"}));
        QCOMPARE(contents(run2 + "/Kaynak.Zip"), contents(archive));
        QCOMPARE(shown.barText, QStringLiteral("Yedekleme Islemi Tamamlandi. %0"));
        QCOMPARE(shown.position, 1);
        QCOMPARE(shown.maximum, 10001);

        // The password is taken in the program's code page.
        QTemporaryDir out;
        QVERIFY_THROWS_EXCEPTION(Error, unpackZip(archive, out.path(), QByteArray(), false));
        const UnpackResult u = unpackZip(archive, out.path(), QByteArray("\xDE" "ifre-1"), false);
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

        auto *r = new TOtoYedekDosyaF(m_program);
        r->params = folderBackupParams(job, "Muhasebe.nyd", false, false);
        Shown shown;
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown);
        QCOMPARE(line(backupLog(), 0)[Module], QStringLiteral("Otomatik Yedekleme"));
        QCOMPARE(filesBelow(m_target + "/" + kRun), QStringList({"veri.mdb"}));
    }

    void engineFailureEndsTheZipRun()
    {
        auto *r = backup();
        r->params.zip = true;
        r->params.zipPassword = QStringLiteral("p");
        Shown shown;
        // Collected when the window was set up, gone when the packing reads it.
        drive(r, &TOtoYedekDosyaF::YedekAyarla, shown, [this] { QVERIFY(QFile::remove(m_source + "/veri.mdb")); });
        const QString run = m_target + "/" + kRun;
        QCOMPARE(backupLog().lines().size(), 1);
        const auto cells = line(backupLog(), 0);
        QCOMPARE(cells[Module], QStringLiteral("Otomatik Yedekleme(ZIP)"));
        QCOMPARE(cells[Target], run);
        QVERIFY2(cells[Status].startsWith("Basarisiz.") && cells[Status].size() > 12, qPrintable(cells[Status]));
        QVERIFY(shown.barText.startsWith("Yedekleme Islemi Basarisiz. %"));
        QCOMPARE(filesBelow(run), QStringList());
    }

    void restoreFolderByPattern()
    {
        // Restore lines carry the day of the clock, whatever day the scheduler works on.
        service().serviceDate = QDate(2024, 1, 10);
        put(m_source + "/B.MDB", "b");
        put(m_source + "/Alt/derin.mdb", "d");
        auto *r = new TRestoreDosyaF;
        r->params.sourceFolder = m_source;
        r->params.targetFolder = m_dir->filePath("Geri");
        r->params.subfolders = false;
        r->params.pattern = QStringLiteral("*.mdb");
        Shown shown;
        drive(r, &TRestoreDosyaF::RestoreAyarla, shown);
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
        QCOMPARE(shown.barText, QStringLiteral("Geri Yukleme Islemi Tamamlandi. %0"));
        QCOMPARE(shown.files, QStringLiteral("2"));
    }

    void restoreWithNothingMatching()
    {
        auto *r = new TRestoreDosyaF;
        r->params.sourceFolder = m_source;
        r->params.targetFolder = m_dir->filePath("Geri");
        r->params.pattern = QStringLiteral("*.xyz");
        Shown shown;
        drive(r, &TRestoreDosyaF::RestoreAyarla, shown);
        QVERIFY(restoreLog().lines().isEmpty());
        QCOMPARE(shown.barText, QStringLiteral("Geri Yukleme Islemi Tamamlandi. %0"));
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
        auto *r = new TRestoreDosyaF;
        r->params.zipMode = true;
        r->params.archive = archive;
        r->params.password = QStringLiteral("p");
        r->params.targetFolder = m_dir->filePath("Geri");
        Shown shown;
        drive(r, &TRestoreDosyaF::RestoreAyarla, shown);
        QCOMPARE(filesBelow(m_dir->filePath("Geri")),
                 QStringList({"Alt/gurultu.bin", "Alt/ic.txt", "Alt/tekrar.txt", "rapor.txt", "veri.mdb"}));
        QCOMPARE(contents(m_dir->filePath("Geri/rapor.txt")), contents(m_source + "/rapor.txt"));
        QCOMPARE(contents(m_dir->filePath("Geri/Alt/gurultu.bin")), noise(200000));
        QCOMPARE(restoreLog().lines().size(), 1);
        const auto cells = line(restoreLog(), 0);
        QCOMPARE(cells[Module], QStringLiteral("Geri Yukleme(ZIP)"));
        QCOMPARE(cells[Source], archive);
        QCOMPARE(cells[Status], QStringLiteral("Basarili"));
        QCOMPARE(shown.folders, QStringLiteral("1"));
        QCOMPARE(shown.files, QStringLiteral("5"));
        // The size of the archive, not of what it holds.
        QVERIFY(capacityText(double(QFileInfo(archive).size())) != capacityText(200000 + 1048576));
        QCOMPARE(shown.capacity, capacityText(double(QFileInfo(archive).size())));
        QCOMPARE(shown.barText, QStringLiteral("Geri Yukleme Islemi Tamamlandi. %0"));
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
        packZip(archive, m_source, {m_source + "/buyuk.bin"}, "p");
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
        auto *r = new TRestoreDosyaF;
        r->params.zipMode = true;
        r->params.archive = archive;
        r->params.password = kind == "password" ? QStringLiteral("q") : QStringLiteral("p");
        r->params.targetFolder = m_dir->filePath("Geri/Ic");
        Shown shown;
        drive(r, &TRestoreDosyaF::RestoreAyarla, shown);
        QCOMPARE(restoreLog().lines().size(), 1);
        const QString status = line(restoreLog(), 0)[Status];
        QVERIFY2(status.startsWith("Basarisiz.") && status.size() > 12, qPrintable(status));
        QCOMPARE(shown.barText, QStringLiteral("Geri Yukleme Islemi Basarisiz. %0"));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("Geri/Ic/buyuk.bin")));
        if (kind == "escape") {
            QVERIFY2(status.contains("../kacak.txt"), qPrintable(status));
            QCOMPARE(filesBelow(m_dir->filePath("Geri")), QStringList({"Ic/iyi.txt"}));
        }
    }
};

QTEST_MAIN(TestFolderRuns)
#include "tst_folderruns.moc"
