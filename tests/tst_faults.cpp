// Faults driven end to end through the whole program: the hidden main window and its scheduler
// tick, the management and restore windows, the real runner windows over real runs, a real
// Firebird server. Each fault must end with the user told (a failure line in the log, or the
// general error display), nothing lost that was there before, the runner window gone, the
// in-progress flag clear, and the program going on with its next work.
#include "fbtestenv.h"
#include "testfiles.h"
#include "testhttp.h"
#include "testsystem.h"

#include "core/clock.h"
#include "core/codepage.h"
#include "core/daytime.h"
#include "core/jobfile.h"
#include "core/service.h"
#include "platform/files.h"
#include "archive/zipengine.h"
#include "runs/oplog.h"
#include "runs/run.h"
#include "runs/runcontroller.h"
#include "scheduling/unfinished.h"
#include "tools/versioncheck.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/joblistview.h"
#include "ui/managementwindow.h"
#include "ui/restorewindow.h"
#include "ui/runnerwindow.h"
#include "ui/versioncheckwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kx;
using namespace kxtest;

namespace {

// The moment of every tick here: run folders of 14:30, log lines of 15.01.2024.
QDateTime kNowAt()
{
    return QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55));
}
const QString kRun = QStringLiteral("Muhasebe_nyd_20240115_1430");
const QString kOldRun = QStringLiteral("Muhasebe_nyd_20240101_1000");

enum Cell { Module, Name, Date, Time, Source, Target, Status };
using Row = std::array<QString, 7>;

QString sysText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QList<Row> fileRows(const QString &path)
{
    OperationLog log;
    log.setPath(path);
    log.load();
    QList<Row> out;
    for (const QString &line : log.lines())
        out.append(parseLogLine(line));
    return out;
}

QList<Row> rowsOf(const OperationLog &log, const QString &job)
{
    QList<Row> out;
    for (const QString &line : log.lines()) {
        const Row row = parseLogLine(line);
        if (row[Name] == job)
            out.append(row);
    }
    return out;
}

QStringList folderJob(const QString &source, const QString &target)
{
    return {"AKTIF=True",    "YEDEK_ZAMANI=1",   "PERYOT=1",        "YEDEKSIL=1",          "SILGUN=1",
            "UNETYEDEK=False", "UZERINE_YAZ=True", "ALT_DIZIN=True", "DOSYA_TURU1=*.*", "KAYNAK_DIZIN=" + source,
            "HEDEF_DIZIN=" + target};
}

QStringList firebirdJob(const QString &database, const QString &password, const QString &target)
{
    return {"AKTIF=True", "YEDEK_ZAMANI=1", "PERYOT=1", "UNETYEDEK=False", "USERNAME=" + fbUser(),
            "USERPWD=" + password, "KAYNAK_DOSYA=" + database, "HEDEF_DIZIN=" + target};
}

// The job file and the log line the writer child makes in its n-th round. Every line of the job
// carries n, so a file made of two rounds cannot pass for one.
QStringList writerJobLines(qint64 n)
{
    QStringList lines{"AKTIF=False", "PERYOT=1", "UNETYEDEK=False", "SAYAC=" + QString::number(n)};
    for (int i = 0; i < 1500; ++i)
        lines.append(QStringLiteral("SATIR%1=%2").arg(i, 4, 10, QLatin1Char('0')).arg(n));
    return lines;
}

LogEntry writerLogEntry(qint64 n)
{
    return {QStringLiteral("Otomatik Yedekleme"), QStringLiteral("is.nyd"), QStringLiteral("15.01.2024"),
            QStringLiteral("14:30:55"), QString::number(n), QStringLiteral("/hedef/") + QString(80, u'x'),
            QStringLiteral("Basarili")};
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    // How one run ended, read when its end steps were done.
    struct Ended {
        RunKind kind;
        RunDisplay display;
        qint64 ms; // from its window's set-up to its end
    };

    QTemporaryDir *m_dir = nullptr;
    QString m_program, m_source, m_target;
    std::unique_ptr<TAnaFormF> m_form;
    QList<QPointer<TRunnerF>> m_windows;
    QList<Ended> m_ended;
    QList<std::pair<RunKind, bool>> m_flags;
    QList<Dialogs::Shown> m_shown;
    // Called after a run's prepare step, before its window slides in and starts it.
    std::function<void(Run *)> m_beforeStart;

    QString jobPath(const QString &name) const { return m_program + "/" + name; }
    void writeJob(const QString &name, const QStringList &lines)
    {
        writeWholeFile(jobPath(name), codepage::joinLines(lines));
    }
    // A second job after the faulty one in the walk: it shows the program going on.
    void writeHealthyJob()
    {
        put(m_dir->filePath("Diger/d.txt"), "diger");
        writeJob("z.nyd", {"AKTIF=True", "YEDEK_ZAMANI=1", "PERYOT=1", "UNETYEDEK=False", "DOSYA_TURU1=*.*",
                           "KAYNAK_DIZIN=" + m_dir->filePath("Diger"), "HEDEF_DIZIN=" + m_dir->filePath("DigerHedef")});
    }

    // The job under test, then the healthy one after it: both run in one walk of the program.
    void runWithAHealthyJob()
    {
        writeHealthyJob();
        startProgram();
        walk();
        checkRunsEnded(2);
    }

    // The program on the program folder, every run shown in its real window.
    void startProgram()
    {
        m_form = std::make_unique<TAnaFormF>(m_program, QString());
        RunController &runs = m_form->runs();
        runs.setViewFactory([this](Run *run) {
            if (m_beforeStart)
                m_beforeStart(run);
            auto since = std::make_shared<QElapsedTimer>();
            since->start();
            connect(run, &Run::finished, this, [this, run, since] {
                m_ended.append({run->kind(), run->display(), since->elapsed()});
            });
            m_windows.append(showRunWindow(run, true));
        });
        connect(&runs.running(), &RunningState::changed, this,
                [this](RunKind kind, bool on) { m_flags.append({kind, on}); });
    }

    // One scheduler tick, then events until its walk is over.
    void walk()
    {
        m_form->TimerOTOTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->scheduler().busy(), 180000);
    }

    // Each run had a window and a flag of its own: every window closed and gone, every flag set
    // once per run and clear now, nothing keeps the program from closing.
    void checkRunsEnded(int runs)
    {
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(m_windows.cbegin(), m_windows.cend(), [](const auto &w) { return w.isNull(); }),
                                 30000);
        QCOMPARE(m_windows.size(), runs);
        QCOMPARE(m_ended.size(), runs);
        QVERIFY(m_form->runs().runs().isEmpty());
        int starts = 0;
        for (RunKind kind : {RunKind::FolderBackup, RunKind::FirebirdBackup, RunKind::FolderRestore, RunKind::FirebirdRestore}) {
            bool expected = true;
            for (const auto &[k, on] : std::as_const(m_flags)) {
                if (k != kind)
                    continue;
                QCOMPARE(on, expected);
                starts += on;
                expected = !expected;
            }
            QVERIFY(expected); // ended clear
            QVERIFY(!m_form->runs().running().isRunning(kind));
        }
        QCOMPARE(starts, runs);
        QVERIFY(m_form->FormClose());
    }

    QStringList shownOf(Dialogs::Kind kind)
    {
        m_shown += Dialogs::takeShown();
        QStringList out;
        for (const Dialogs::Shown &s : std::as_const(m_shown))
            if (s.kind == kind)
                out.append(s.text);
        return out;
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        TRunnerF::setTimings(0, 0, 1000);
        clock::setNow(kNowAt());
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_program = m_dir->filePath("program");
        m_source = m_dir->filePath("Kaynak");
        m_target = m_dir->filePath("Hedef");
        QVERIFY(QDir().mkpath(m_program));
        put(m_source + "/rapor.txt", QByteArray("rapor satiri\n").repeated(100));
        put(m_source + "/veri.mdb", "veri");
        put(m_source + "/Alt/ic.txt", "ic");
        m_windows.clear();
        m_ended.clear();
        m_flags.clear();
        m_shown.clear();
        m_beforeStart = nullptr;
    }

    void cleanup()
    {
        m_beforeStart = nullptr;
        m_form.reset();
        delete m_dir;
        m_dir = nullptr;
        Dialogs::setModalHandler(nullptr);
        VersionRequest::setTimeoutMs(15000);
        TSurumKontrol::setWebServicePage(QString());
        clock::setNow(QDateTime());
    }

    // A scheduled folder backup meeting a fault, followed by a healthy job in the same walk.
    void folderBackupFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("zip");
        QTest::newRow("unreadable source file, copy") << "unreadable" << false;
        QTest::newRow("unreadable source file, zip") << "unreadable" << true;
        QTest::newRow("target folder cannot be made") << "target" << false;
        QTest::newRow("second target cannot be made") << "target2" << false;
        QTest::newRow("full file system, copy") << "full" << false;
        QTest::newRow("full file system, zip") << "full" << true;
    }
    void folderBackupFaults()
    {
        QFETCH(QString, fault);
        QFETCH(bool, zip);
        std::unique_ptr<SmallFileSystem> fs;
        QString target = m_target;
        QStringList extra;
        if (zip)
            extra << "ZIP_YEDEKLE=True" << "ZIP_PAROLA1=p";
        QByteArray earlier; // what an earlier run of this minute left where this run writes
        if (fault == "full") {
            fs = std::make_unique<SmallFileSystem>("1m");
            if (!fs->mounted)
                QSKIP("mounting a small file system needs root");
            target = fs->path("Hedef");
            put(m_source + "/buyuk.bin", noise(2 << 20, 1));
            put(m_source + "/yeni.bin", noise(2 << 20, 2));
            const QString run = target + "/" + kRun;
            QVERIFY(QDir().mkpath(run));
            if (zip) {
                packZip(run + "/Kaynak.Zip", m_source, {m_source + "/rapor.txt"}, "p");
                earlier = contents(run + "/Kaynak.Zip");
            } else {
                earlier = "eski kopya";
                put(run + "/buyuk.bin", earlier);
            }
        } else if (fault == "unreadable") {
            // Reading the start of a process's memory fails: a file that is there and cannot be read.
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), m_source + "/bellek.dat"));
        } else if (fault == "target") {
            put(m_dir->filePath("duz"), "a file where a folder should be");
            target = m_dir->filePath("duz/Hedef");
        } else if (fault == "target2") {
            put(m_dir->filePath("duz2"), "a file where the second target should be");
            extra << "HEDEFDIZIN2=" + m_dir->filePath("duz2/Hedef2");
        }
        const QString oldRun = target + "/" + kOldRun;
        if (fault != "target")
            put(oldRun + "/eski.txt", "eski");
        const QStringList job = folderJob(m_source, target) + extra;
        writeJob("Muhasebe.nyd", job);
        runWithAHealthyJob();
        if (QTest::currentTestFailed())
            return;

        // The faulty run is told in its window and in the log; the next job ran all the same.
        QVERIFY(m_ended[0].display.failed);
        QCOMPARE(m_ended[0].display.barStatement, QStringLiteral("Yedekleme Islemi Basarisiz."));
        QVERIFY(!m_ended[1].display.failed);
        const QList<Row> healthy = rowsOf(backupLog(), "z.nyd");
        QCOMPARE(healthy.size(), 1);
        QCOMPARE(healthy[0][Status], QStringLiteral("Basarili"));
        QVERIFY(QFile::exists(m_dir->filePath("DigerHedef/z_nyd_20240115_1430/d.txt")));
        const QList<Row> lines = rowsOf(backupLog(), "Muhasebe.nyd");
        QCOMPARE(lines.size(), fault == "target2" ? 2 : 1);
        const QString status = lines.last()[Status];
        QVERIFY2(status.startsWith("Basarisiz.") && status.size() > 12, qPrintable(status));
        // The log told it; no box was needed.
        QVERIFY(shownOf(Dialogs::Kind::Error).isEmpty());

        // Nothing that was there is lost: older runs are not pruned after a failure, the job keeps
        // every line and has its last run recorded.
        if (fault != "target")
            QCOMPARE(contents(oldRun + "/eski.txt"), QByteArray("eski"));
        const JobFile after = JobFile::load(jobPath("Muhasebe.nyd"));
        for (const QString &line : job)
            QVERIFY2(after.lines().contains(line), qPrintable(line));
        QCOMPARE(after.value("SON_YEDEK_GUNU"), formatNumber(serialDay(kNowAt().date())));
        const QString run = target + "/" + kRun;
        // No temporaries stay; a run that lacks files keeps its marker as a failed run, which
        // retention never counts as a backup.
        QCOMPARE(isUnfinished(run), fault == "unreadable" || (fault == "full" && !zip));
        QStringList inRun = tree(run);
        inRun.removeAll(QString::fromLatin1(kUnfinishedMarker));
        for (const QString &entry : inRun)
            QVERIFY2(!QFileInfo(entry).fileName().startsWith(".kx-"), qPrintable(entry));

        const QStringList complete{"Alt", "Alt/ic.txt", "rapor.txt", "veri.mdb"};
        if (fault == "unreadable" && !zip) {
            QCOMPARE(status, QStringLiteral("Basarisiz.1 dosya kopyalanamadi."));
            QCOMPARE(inRun, complete);
            QCOMPARE(contents(run + "/rapor.txt"), contents(m_source + "/rapor.txt"));
        } else if (fault == "unreadable") {
            QCOMPARE(status, QStringLiteral("Basarisiz.1 dosya arsive eklenemedi."));
            QCOMPARE(inRun, QStringList({"Kaynak.Zip"}));
            QTemporaryDir out;
            unpackZip(run + "/Kaynak.Zip", out.path(), "p", false);
            QCOMPARE(tree(out.path()), complete);
        } else if (fault == "target") {
            QCOMPARE(lines[0][Target], m_dir->filePath("duz/Hedef/") + kRun);
            QVERIFY2(status.contains(sysText(ENOTDIR)) || status.contains(sysText(EEXIST)), qPrintable(status));
            QCOMPARE(contents(m_dir->filePath("duz")), QByteArray("a file where a folder should be"));
        } else if (fault == "target2") {
            QCOMPARE(lines[0][Status], QStringLiteral("Basarili"));
            QCOMPARE(lines[1][Source], run);
            QCOMPARE(lines[1][Target], m_dir->filePath("duz2/Hedef2/") + kRun);
            QCOMPARE(tree(run), complete);
        } else if (zip) {
            QVERIFY2(status.contains(sysText(ENOSPC)), qPrintable(status));
            QCOMPARE(contents(run + "/Kaynak.Zip"), earlier);
            QCOMPARE(tree(run), QStringList({"Kaynak.Zip"}));
        } else {
            // The count in the line is what is really missing; what was copied is whole, and the
            // older copy the run could not replace is still there.
            const QRegularExpressionMatch m = QRegularExpression("^Basarisiz\\.(\\d+) dosya kopyalanamadi\\.$").match(status);
            QVERIFY2(m.hasMatch(), qPrintable(status));
            QCOMPARE(contents(run + "/buyuk.bin"), earlier);
            int missing = 0;
            for (const QString &file : tree(m_source)) {
                if (QFileInfo(m_source + "/" + file).isDir())
                    continue;
                const bool copied = QFileInfo::exists(run + "/" + file);
                if (copied && file != "buyuk.bin")
                    QCOMPARE(contents(run + "/" + file), contents(m_source + "/" + file));
                missing += !copied || file == "buyuk.bin";
            }
            QVERIFY(missing >= 2);
            QCOMPARE(m.captured(1).toInt(), missing);
        }
    }

    // A scheduled Firebird backup the server refuses, followed by a healthy one in the same walk.
    void firebirdBackupFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected");
        QTest::newRow("server down") << "down" << "Unable to complete network request";
        QTest::newRow("wrong password") << "password" << "Your user name and password are not defined";
        QTest::newRow("missing database") << "missing" << "No such file or directory";
        QTest::newRow("server cannot write the backup") << "unwritable" << "cannot open backup file";
    }
    void firebirdBackupFaults()
    {
        KX_REQUIRE_FB_ENV();
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        const QString db = m_dir->filePath("stok.fdb");
        const QString failure = createDatabase(db, {QStringLiteral("bir"), QStringLiteral("iki")});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QString database = db;
        QString password = fbPassword();
        if (fault == "down") {
            QTcpServer probe; // a port that was just free: nothing listens once the probe has closed
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            database = QStringLiteral("127.0.0.1/%1:").arg(probe.serverPort()) + db;
        } else if (fault == "password") {
            password += "x";
        } else if (fault == "missing") {
            database = m_dir->filePath("yok.fdb");
        } else {
            // A folder holds the name of the file the server is to write.
            QVERIFY(QDir().mkpath(m_target + "/Stok_fyd_20240115_1430/stok.fbk"));
        }
        const QString oldRun = m_target + "/Stok_fyd_20240101_1000/stok.fbk";
        put(oldRun, "eski yedek");
        const QStringList job = firebirdJob(database, password, m_target) + QStringList{"YEDEKSIL=1", "SILGUN=1"};
        writeJob("Stok.fyd", job);
        writeJob("Tamam.fyd", firebirdJob(db, fbPassword(), m_dir->filePath("TamamHedef")));

        startProgram();
        walk();
        checkRunsEnded(2);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(m_ended[0].kind, RunKind::FirebirdBackup);
        QVERIFY(m_ended[0].display.failed);
        QVERIFY2(m_ended[0].display.failure.contains(expected), qPrintable(m_ended[0].display.failure));
        const QList<Row> lines = rowsOf(backupLog(), "Stok.fyd");
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0][Status].startsWith("Basarisiz.") && lines[0][Status].contains(expected), qPrintable(lines[0][Status]));
        QVERIFY(shownOf(Dialogs::Kind::Error).isEmpty());
        // Nothing lost: the older backup stays, the job keeps its lines.
        QCOMPARE(contents(oldRun), QByteArray("eski yedek"));
        const JobFile after = JobFile::load(jobPath("Stok.fyd"));
        for (const QString &line : job)
            QVERIFY2(after.lines().contains(line), qPrintable(line));
        // The next job went on to a real backup.
        QVERIFY(!m_ended[1].display.failed);
        const QList<Row> healthy = rowsOf(backupLog(), "Tamam.fyd");
        QCOMPARE(healthy.size(), 1);
        QCOMPARE(healthy[0][Status], QStringLiteral("Basarili"));
        QVERIFY(QFileInfo(m_dir->filePath("TamamHedef/Tamam_fyd_20240115_1430/stok.fbk")).size() > 0);
    }

    // A wrong password or a damaged archive, restored from the restore window over a folder that
    // holds a file of the archive's name: the old file stays, and the next restore works.
    void zipRestoreFaults_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("wrong password") << false;
        QTest::newRow("damaged archive") << true;
    }
    void zipRestoreFaults()
    {
        QFETCH(bool, damaged);
        const QString archive = m_dir->filePath("arsiv/Kaynak.Zip");
        const QString intact = m_dir->filePath("arsiv/Saglam.Zip");
        const QString target = m_dir->filePath("Geri");
        QVERIFY(QDir().mkpath(m_dir->filePath("arsiv")));
        // Noise, so that the damage lands inside the compressed data.
        put(m_source + "/buyuk.bin", noise(300000, 3));
        packZip(archive, m_source, {m_source + "/buyuk.bin"}, "p");
        QVERIFY(QFile::copy(archive, intact));
        if (damaged) {
            QFile f(archive);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(f.size() / 2));
            f.write(QByteArray(40, '\x5a'));
        }
        put(target + "/buyuk.bin", "eski");
        put(target + "/baska.txt", "baska");

        startProgram();
        TK_YedekGirF window(*m_form);
        window.show();
        QSignalSpy ended(&m_form->runs(), &RunController::runEnded);
        auto restore = [&](const QString &from, const QString &password) {
            window.FileEditKAYNAK->setText(from);
            window.DirEditZHEDEF->setText(target);
            window.EditZIPPWD->setText(password);
            window.CheckZUZYAZZIP->setChecked(true);
            Dialogs::queueAnswer("yes"); // overwrite what the folder holds
            window.sSpeedButton3->click();
        };
        restore(archive, damaged ? QStringLiteral("p") : QStringLiteral("q"));
        QVERIFY(ended.wait(60000));
        checkRunsEnded(1);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_ended[0].kind, RunKind::FolderRestore);
        QVERIFY(m_ended[0].display.failed);
        QCOMPARE(m_ended[0].display.barStatement, QStringLiteral("Geri Yukleme Islemi Basarisiz."));
        QList<Row> lines = fileRows(m_program + "/restore2.kxk");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0][Module], QStringLiteral("Geri Yukleme(ZIP)"));
        QCOMPARE(lines[0][Source], archive);
        QVERIFY2(lines[0][Status].startsWith("Basarisiz.") && lines[0][Status].size() > 12, qPrintable(lines[0][Status]));
        QVERIFY(shownOf(Dialogs::Kind::Error).isEmpty());
        QCOMPARE(contents(target + "/buyuk.bin"), QByteArray("eski"));
        QCOMPARE(contents(target + "/baska.txt"), QByteArray("baska"));
        QCOMPARE(tree(target), QStringList({"baska.txt", "buyuk.bin"}));

        // The program goes on: the intact archive with its password restores.
        restore(intact, QStringLiteral("p"));
        QVERIFY(ended.wait(60000));
        checkRunsEnded(2);
        lines = fileRows(m_program + "/restore2.kxk");
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1][Status], QStringLiteral("Basarili"));
        QCOMPARE(contents(target + "/buyuk.bin"), noise(300000, 3));
    }

    // A chat program that takes the connection and never answers holds the run for its five
    // seconds at most; the run ends as it would have and the walk goes on.
    void chatPeerThatNeverAnswers()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        QCOMPARE(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
        const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restoreRuntime = qScopeGuard([&] {
            if (hadRuntime)
                qputenv("XDG_RUNTIME_DIR", oldRuntime);
            else
                qunsetenv("XDG_RUNTIME_DIR");
        });
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QLocalServer peer;
        QVERIFY(peer.listen(runtime.filePath("TKxChatMainF")));
        QList<QLocalSocket *> held;
        connect(&peer, &QLocalServer::newConnection, this, [&] {
            while (QLocalSocket *s = peer.nextPendingConnection())
                held.append(s);
        });
        QStringList job = folderJob(m_source, m_target)
                          + QStringList{"ZIP_YEDEKLE=True", "ZIP_PAROLA1=p", "MSN_IP=192.168.1.5", "MSN_NICKNAME=Ayse"};
        job.replaceInStrings(QStringLiteral("UNETYEDEK=False"), QStringLiteral("UNETYEDEK=True"));
        writeJob("Muhasebe.nyd", job);
        runWithAHealthyJob();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(held.size(), 1);
        // The run waited for the peer until the time-out, then ended with its own outcome.
        QVERIFY2(m_ended[0].ms >= 4500, qPrintable(QString::number(m_ended[0].ms)));
        QVERIFY(!m_ended[0].display.failed);
        QCOMPARE(rowsOf(backupLog(), "Muhasebe.nyd").value(0)[Status], QStringLiteral("Basarili"));
        QCOMPARE(rowsOf(backupLog(), "z.nyd").value(0)[Status], QStringLiteral("Basarili"));
        QVERIFY(QFileInfo(m_target + "/" + kRun + "/Kaynak.Zip").size() > 0);
        // The sender let go of the connection.
        QTRY_COMPARE_WITH_TIMEOUT(held[0]->state(), QLocalSocket::UnconnectedState, 10000);
    }

    // A version service that takes the connection and never answers, asked from the management
    // window's menu: the window gives up and closes by itself, the user is told, the settings
    // file keeps what it held.
    void versionServiceThatNeverAnswers()
    {
        HttpServer silent;
        silent.setDefault(HttpServer::hanging());
        const auto &peers = silent.connections();
        TSurumKontrol::setWebServicePage(silent.base() + QStringLiteral("/v.php"));
        VersionRequest::setTimeoutMs(500);
        const QByteArray settings = "OTOKONTROL=True\r\nARALIK=12\r\n";
        put(m_program + "/guncellemeayar.ini", settings);
        startProgram();
        m_form->GenelYedekleme1Click();
        TK_YedeklemeF *w = m_form->managementWindow();
        QVERIFY(w);
        bool closedByItself = false;
        Dialogs::setModalHandler([&](QDialog *d) {
            auto finished = std::make_shared<bool>(false);
            connect(d, &QDialog::finished, d, [finished] { *finished = true; });
            closedByItself = QTest::qWaitFor([finished] { return *finished; }, 20000);
            return d->result();
        });
        w->ActionSurum->trigger();
        QVERIFY(closedByItself);
        QCOMPARE(peers.size(), 1);
        const QStringList told = shownOf(Dialogs::Kind::Information);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith("Istek zaman asimina ugradi."), qPrintable(told[0]));
        QCOMPARE(contents(m_program + "/guncellemeayar.ini"), settings);
        // Nothing is left waiting on the service.
        QTRY_COMPARE_WITH_TIMEOUT(peers[0]->state(), QAbstractSocket::UnconnectedState, 10000);
        QVERIFY(w->isVisible());
    }

    // A file the end of a scheduled run writes is made read-only while the run works: the run's
    // backup stands, the failure is told naming the file (the log's by the general error
    // display, the job file's in the backup log), and the file keeps its old content whole.
    void unwritableFileAtTheEndOfAScheduledRun_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("log file") << "backup2.kxk";
        QTest::newRow("job file, last-run write") << "Muhasebe.nyd";
    }
    void unwritableFileAtTheEndOfAScheduledRun()
    {
        QFETCH(QString, file);
        if (::geteuid() != 0)
            QSKIP("a read-only mount needs root");
        const QStringList job = folderJob(m_source, m_target);
        writeJob("Muhasebe.nyd", job);
        const QString logPath = m_program + "/backup2.kxk";
        writeWholeFile(logPath, codepage::joinLines({formatLogLine({"Otomatik Yedekleme", "Eski.nyd", "14.01.2024", "10:00:00",
                                                                    "/a", "/b", "Basarili"}),
                                                     formatLogLine({"Manuel Yedekleme", "Eski.nyd", "14.01.2024", "11:00:00",
                                                                    "/a", "/b", "Basarisiz.x"})}));
        const QString frozen = m_program + "/" + file;
        const QByteArray before = contents(frozen);
        std::unique_ptr<ReadOnlyMount> mount;
        startProgram();
        m_beforeStart = [&](Run *) { mount = std::make_unique<ReadOnlyMount>(frozen); };
        walk();
        checkRunsEnded(1);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(mount && mount->mounted);
        if (file == "backup2.kxk") {
            QTRY_VERIFY(!shownOf(Dialogs::Kind::Error).isEmpty());
            const QStringList errors = shownOf(Dialogs::Kind::Error);
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors[0].contains(frozen), qPrintable(errors[0]));
        }
        QCOMPARE(contents(frozen), before);
        QCOMPARE(tree(m_target + "/" + kRun), QStringList({"Alt", "Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        if (file == "backup2.kxk") {
            QVERIFY(JobFile::load(jobPath("Muhasebe.nyd")).contains("SON_YEDEK_GUNU"));
        } else {
            const QList<Row> lines = fileRows(logPath);
            QCOMPARE(lines.size(), 4);
            QCOMPARE(lines[2][Name], QStringLiteral("Muhasebe.nyd"));
            QCOMPARE(lines[2][Status], QStringLiteral("Basarili"));
            QCOMPARE(lines[3][Name], QStringLiteral("Muhasebe.nyd"));
            QVERIFY2(lines[3][Status].startsWith("Basarisiz.Son yedekleme zamani kaydedilemedi: ")
                         && lines[3][Status].contains(frozen),
                     qPrintable(lines[3][Status]));
            QCoreApplication::processEvents();
            QVERIFY(shownOf(Dialogs::Kind::Error).isEmpty());
        }
        // With the file writable again the next tick records the run.
        mount.reset();
        m_beforeStart = nullptr;
        clock::setNow(kNowAt().addSecs(3600));
        walk();
        checkRunsEnded(2);
        QCOMPARE(JobFile::load(jobPath("Muhasebe.nyd")).value("SON_YEDEK_SAATI"),
                 formatNumber(dayFraction(QTime(15, 30, 50))));
    }

    // "Simdi Yedekle" on a job whose file is read-only: the run still starts and goes through,
    // the failed last-run write is told by the general error display, the file stays whole.
    void unwritableJobFileOfAManualRun()
    {
        if (::geteuid() != 0)
            QSKIP("a read-only mount needs root");
        writeJob("Muhasebe.nyd", folderJob(m_source, m_target));
        const QByteArray before = contents(jobPath("Muhasebe.nyd"));
        startProgram();
        m_form->GenelYedekleme1Click();
        TK_YedeklemeF *w = m_form->managementWindow();
        QVERIFY(w);
        w->page(JobKind::Folder).view->selectRow(0);
        ReadOnlyMount mount(jobPath("Muhasebe.nyd"));
        QVERIFY(mount.mounted);
        QSignalSpy ended(&m_form->runs(), &RunController::runEnded);
        w->ButtonSimdiYedekle->click();
        const QStringList errors = shownOf(Dialogs::Kind::Error);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(jobPath("Muhasebe.nyd")), qPrintable(errors[0]));
        QVERIFY(ended.count() == 1 || ended.wait(30000));
        checkRunsEnded(1);
        QCOMPARE(contents(jobPath("Muhasebe.nyd")), before);
        const QList<Row> lines = rowsOf(backupLog(), "Muhasebe.nyd");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0][Module], QStringLiteral("Manuel Yedekleme"));
        QCOMPARE(lines[0][Status], QStringLiteral("Basarili"));
        QCOMPARE(tree(m_target + "/" + kRun), QStringList({"Alt", "Alt/ic.txt", "rapor.txt", "veri.mdb"}));
    }

    // The job file deleted while its scheduled run works: the run ends as usual and the file is
    // written again from what it held when the run started, with its last run.
    void jobFileDeletedDuringItsRun()
    {
        const QStringList job = folderJob(m_source, m_target);
        writeJob("Muhasebe.nyd", job);
        startProgram();
        m_beforeStart = [this](Run *) { QVERIFY(QFile::remove(jobPath("Muhasebe.nyd"))); };
        walk();
        checkRunsEnded(1);
        if (QTest::currentTestFailed())
            return;
        const JobFile after = JobFile::load(jobPath("Muhasebe.nyd"));
        QCOMPARE(after.lines().mid(0, job.size()), job);
        QCOMPARE(after.value("SON_YEDEK_GUNU"), formatNumber(serialDay(kNowAt().date())));
        QCOMPARE(rowsOf(backupLog(), "Muhasebe.nyd").value(0)[Status], QStringLiteral("Basarili"));
        QCOMPARE(tree(m_target + "/" + kRun), QStringList({"Alt", "Alt/ic.txt", "rapor.txt", "veri.mdb"}));
        QVERIFY(shownOf(Dialogs::Kind::Error).isEmpty());
    }

    // A process writing a job file and the log over and over is killed at some point of a write,
    // four times: each time both files are whole (one round's content, never a mix or a cut),
    // and the program starts on them without a complaint.
    void killedWhileWritingLeavesWholeFiles()
    {
        writeWholeFile(jobPath("is.nyd"), codepage::joinLines(writerJobLines(0)));
        qint64 lastJob = 0;
        qint64 lastLogged = -1;
        for (int round = 0; round < 4; ++round) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("KX_FAULTS_WRITER"), m_program);
            child.setProcessEnvironment(env);
            int reported = 0;
            connect(&child, &QProcess::readyReadStandardOutput, this,
                    [&] { reported += int(child.readAllStandardOutput().count('\n')); });
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted());
            // A different point of the loop each round.
            const int rounds = 4 + 7 * round;
            QTRY_VERIFY_WITH_TIMEOUT(reported >= rounds || child.state() == QProcess::NotRunning, 60000);
            QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            const QByteArray job = readWholeFile(jobPath("is.nyd"));
            const qint64 n = JobFile(codepage::splitLines(job)).intValue("SAYAC", -1);
            QCOMPARE(job, codepage::joinLines(writerJobLines(n)));
            QVERIFY(n >= lastJob + rounds);
            // Every line of the log is one whole entry, in the order written; the last one is of
            // the job's round or of the one before (killed between the two writes).
            const QByteArray log = readWholeFile(m_program + "/backup2.kxk");
            const QStringList lines = codepage::splitLines(log);
            QStringList expected;
            qint64 previous = -1;
            for (const QString &line : lines) {
                const qint64 k = parseLogLine(line)[Source].toLongLong();
                QVERIFY2(k > previous, qPrintable(line));
                previous = k;
                expected.append(formatLogLine(writerLogEntry(k)));
            }
            QCOMPARE(log, codepage::joinLines(expected));
            QVERIFY2(previous == n || previous == n - 1, qPrintable(QStringLiteral("%1 %2").arg(previous).arg(n)));
            QVERIFY(previous > lastLogged);
            lastJob = n;
            lastLogged = previous;

            // Started on what the killed process left.
            m_shown.clear();
            Dialogs::takeShown();
            {
                TAnaFormF form(m_program, QString());
                QCOMPARE(form.MemoDOSYAYD, QStringList({"is.nyd"}));
                QCOMPARE(form.RichBackup().size(), lines.size());
            }
            QVERIFY(shownOf(Dialogs::Kind::Error).isEmpty());
        }
    }
};

// The writer of killedWhileWritingLeavesWholeFiles: goes on from the files as they are, writes
// the job file and then a log line in each round, and says so after each, until it is killed.
static int writerChild(const QString &folder)
{
    setLogFolder(folder);
    const QString job = folder + QStringLiteral("/is.nyd");
    for (qint64 n = JobFile::load(job).intValue(QStringLiteral("SAYAC"), 0) + 1;; ++n) {
        JobFile(writerJobLines(n)).save(job);
        backupLog().write(writerLogEntry(n));
        const QString failure = backupLog().takeFailure();
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(failure));
            return 1;
        }
        std::printf("%lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
}

int main(int argc, char *argv[])
{
    const QString writer = qEnvironmentVariable("KX_FAULTS_WRITER");
    if (!writer.isEmpty()) {
        QCoreApplication app(argc, argv);
        return writerChild(writer);
    }
    QApplication app(argc, argv);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
