// Runs through the whole program: the scheduler's tick, the run controller and the real runner
// windows. Runs of a kind never overlap, the in-progress flag follows the runs exactly (never
// cleared by a window that closes late), and a failure at a run's end is told after the run,
// whatever the window does meanwhile.
#include "blockingstep.h"
#include "fbtestenv.h"
#include "testfiles.h"

#include "core/clock.h"
#include "core/jobfile.h"
#include "core/service.h"
#include "platform/files.h"
#include "runs/folderbackuprun.h"
#include "runs/folderrestorerun.h"
#include "runs/oplog.h"
#include "runs/run.h"
#include "runs/runcontroller.h"
#include "scheduling/unfinished.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/folderbackupwindow.h"
#include "ui/folderrestorewindow.h"
#include "ui/managementwindow.h"
#include "ui/runnerwindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <unistd.h>

using namespace kx;
using namespace kxtest;

namespace {

// A run whose prepare step or work throws what no code of the run expects.
class ThrowingRun : public Run
{
public:
    enum class Where { None, Prepare, Work };
    explicit ThrowingRun(Where where) : Run(RunKind::FolderBackup), m_where(where) {}
    void prepare() override
    {
        if (m_where == Where::Prepare)
            throw std::bad_alloc();
    }

protected:
    void work() override
    {
        if (m_where == Where::Work)
            throw std::bad_alloc();
        end(false);
    }

private:
    Where m_where;
};

struct Span {
    RunKind kind;
    qint64 start = -1;
    qint64 end = -1;
};

} // namespace

class TestRunController : public QObject
{
    Q_OBJECT

    // Many small files, made once: copying them keeps a run's work busy for a good while. They
    // are links to one file, which are made many times faster than files of their own.
    QTemporaryDir m_many;
    static constexpr int kManyFiles = 20000;

    QString manyFiles()
    {
        const QString folder = m_many.filePath("kaynak");
        if (QFileInfo::exists(folder))
            return folder;
        const QByteArray base = QFile::encodeName(m_many.filePath("veri"));
        put(QFile::decodeName(base), "veri");
        const QString part = folder + ".yarim";
        for (int d = 0; d < 20; ++d) {
            const QString sub = QStringLiteral("%1/alt%2").arg(part).arg(d);
            if (!QDir().mkpath(sub))
                return QString();
            for (int i = 0; i < kManyFiles / 20; ++i)
                if (::link(base.constData(), QFile::encodeName(QStringLiteral("%1/dosya%2.txt").arg(sub).arg(i))) != 0)
                    return QString();
        }
        return QDir().rename(part, folder) ? folder : QString();
    }

    static int filesBelow(const QString &folder)
    {
        int n = 0;
        for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
            ++n;
        return n;
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        clock::setNow(QDateTime());
    }

    void sixDueJobsNeverOverlap()
    {
        KX_REQUIRE_FB_ENV();
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        QVERIFY(QDir().mkpath(program));
        const QString db = dir.filePath("stok.fdb");
        const QString failure = createDatabase(db, {QStringLiteral("bir")});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        for (int i = 0; i < 200; ++i)
            put(dir.filePath(QStringLiteral("kaynak/dosya%1.txt").arg(i)), QByteArray(2000, char('a' + i % 26)));
        const QStringList folderJobs = {"a.nyd", "b.nyd", "c.nyd"};
        const QStringList firebirdJobs = {"x.fyd", "y.fyd", "z.fyd"};
        for (const QString &name : folderJobs)
            writeWholeFile(program + "/" + name,
                           ("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=1\r\nUNETYEDEK=False\r\nDOSYA_TURU1=*.*\r\nKAYNAK_DIZIN="
                            + dir.filePath("kaynak") + "\r\nHEDEF_DIZIN=" + dir.filePath("hedef") + "\r\n")
                               .toUtf8());
        for (const QString &name : firebirdJobs)
            writeWholeFile(program + "/" + name,
                           ("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=1\r\nUNETYEDEK=False\r\nUSERNAME=" + fbUser()
                            + "\r\nUSERPWD=" + fbPassword() + "\r\nKAYNAK_DOSYA=" + db + "\r\nHEDEF_DIZIN="
                            + dir.filePath("hedef") + "\r\n")
                               .toUtf8());
        // The windows close a little after their runs: an old window is still there when the
        // next run of its kind starts.
        TRunnerF::setTimings(0, 150, 1000);

        TAnaFormF form(program, QString());
        QCOMPARE(form.MemoDOSYAYD, folderJobs);
        QCOMPARE(form.MemoFBYEDEK, firebirdJobs);
        RunController &runs = form.runs();
        RunningState &running = runs.running();

        QElapsedTimer clockMs;
        clockMs.start();
        QMap<quint64, Span> spans; // by run number, which grows with every run
        QStringList problems;
        auto runsOf = [&](RunKind kind) {
            int n = 0;
            for (Run *r : runs.runs())
                n += r->kind() == kind;
            return n;
        };
        // Checked at every change of a flag and on a fast timer in between.
        auto check = [&] {
            for (RunKind kind : {RunKind::FolderBackup, RunKind::FirebirdBackup}) {
                const int n = runsOf(kind);
                if (n > 1)
                    problems.append(QStringLiteral("two runs of one kind"));
                if (running.isRunning(kind) != (n == 1))
                    problems.append(QStringLiteral("flag %1 with %2 runs").arg(running.isRunning(kind)).arg(n));
            }
        };
        connect(&running, &RunningState::changed, this, [&](RunKind, bool) { check(); });
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, check);
        poll.start(2);
        int windows = 0;
        runs.setViewFactory([&](Run *run) {
            spans.insert(run->id(), {run->kind(), clockMs.elapsed(), -1});
            ++windows;
            showRunWindow(run, true);
            // "Kapat" is refused while a backup runs.
            if (form.FormClose())
                problems.append(QStringLiteral("close allowed during a backup"));
        });
        // A run has ended when its flag clears, before the walk starts the next one.
        connect(&running, &RunningState::changed, this, [&](RunKind kind, bool on) {
            for (Span &span : spans)
                if (!on && span.kind == kind && span.end < 0)
                    span.end = clockMs.elapsed();
        });

        clock::setNow(QDateTime(QDate::currentDate(), QTime(12, 0, 5)));
        form.TimerOTOTimer();
        QVERIFY(form.scheduler().busy());
        // A tick during the walk changes nothing but the date and the time.
        form.TimerOTOTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!form.scheduler().busy(), 120000);
        poll.stop();

        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QCOMPARE(windows, 6);
        QCOMPARE(spans.size(), 6);
        const QList<Span> inOrder = spans.values();
        for (qsizetype i = 0; i < inOrder.size(); ++i) {
            QVERIFY(inOrder[i].end >= inOrder[i].start);
            if (i > 0)
                QVERIFY2(inOrder[i].start >= inOrder[i - 1].end, "a run started before the one before had ended");
        }
        // One line per job, in the order of the walk, every one a success.
        const QStringList lines = backupLog().lines();
        QCOMPARE(lines.size(), 6);
        const QStringList order = folderJobs + firebirdJobs;
        for (int i = 0; i < 6; ++i) {
            const auto cells = parseLogLine(lines.at(i));
            QCOMPARE(cells[1], order.at(i));
            QCOMPARE(cells[6], QStringLiteral("Basarili"));
        }
        for (const QString &name : order)
            QVERIFY2(JobFile::load(program + "/" + name).contains("SON_YEDEK_SAATI"), qPrintable(name));
        QVERIFY(form.FormClose());
        // Every window closes by itself.
        // One list: begin and end of two separate copies would walk off the end.
        auto noRunnerWindow = [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            return std::none_of(windows.cbegin(), windows.cend(),
                                [](QWidget *w) { return qobject_cast<TRunnerF *>(w) != nullptr; });
        };
        QTRY_VERIFY(noRunnerWindow());
    }

    // Whatever a run throws ends it as a failure, told by the general error display; its flag
    // clears and the next run of its kind can start. Nothing ends the program.
    void unexpectedFailuresEndTheRun()
    {
        RunController controller;
        QStringList shown;
        controller.setErrorDisplay([&](const QString &text) { shown.append(text); });
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, controller.start(std::make_unique<ThrowingRun>(ThrowingRun::Where::Prepare)));
        QVERIFY(!controller.running().folderBackup());
        QVERIFY(controller.runs().isEmpty());

        QSignalSpy ended(&controller, &RunController::runEnded);
        QVERIFY(controller.start(std::make_unique<ThrowingRun>(ThrowingRun::Where::Work)) != 0);
        QVERIFY(controller.running().folderBackup());
        QVERIFY(ended.wait(10000));
        QVERIFY(!controller.running().folderBackup());
        QTRY_COMPARE(shown, QStringList({"Bellek yetersiz."}));
        QVERIFY(controller.start(std::make_unique<ThrowingRun>(ThrowingRun::Where::None)) != 0);
        QVERIFY(ended.wait(10000));
    }

    // The program ends while a run copies: the run is destroyed mid-way, in each of the ways a
    // run object goes. Its work stops before anything it reads is gone (the sanitizer pass
    // catches a read of freed memory) and does not go on copying.
    void runDestroyedMidWay_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QString>("way");
        for (const bool restore : {false, true})
            for (const char *way : {"controller", "delete", "deleteLater", "parent"})
                QTest::addRow("%s, %s", restore ? "restore" : "backup", way) << restore << QString::fromLatin1(way);
    }
    void runDestroyedMidWay()
    {
        QFETCH(bool, restore);
        QFETCH(QString, way);
        const QString source = manyFiles();
        QVERIFY(!source.isEmpty());
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        QVERIFY(QDir().mkpath(program));
        setLogFolder(program);
        const QString target = dir.filePath("hedef");
        std::unique_ptr<Run> made;
        if (restore) {
            FolderRestoreParams p;
            p.sourceFolder = source;
            p.targetFolder = target;
            made = std::make_unique<FolderRestoreRun>(p);
        } else {
            FolderBackupParams p;
            p.jobName = QStringLiteral("a.nyd");
            p.sourceFolder = source;
            p.targetFolder = target;
            p.filters = QStringList{QStringLiteral("*.*")};
            made = std::make_unique<FolderBackupRun>(program, p);
        }
        Run *run = made.get();
        auto controller = std::make_unique<RunController>();
        auto parent = std::make_unique<QObject>();
        if (way == "controller") {
            QVERIFY(controller->start(std::move(made)) != 0); // without a window it starts at once
        } else {
            run->setParent(parent.get());
            made.release();
            run->prepare();
            run->start();
        }
        QTRY_COMPARE_WITH_TIMEOUT(run->display().files, qint64(kManyFiles), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(run->display().barPosition >= 100, 60000);

        QPointer<Run> watch(run);
        if (way == "controller") {
            controller.reset();
        } else if (way == "delete") {
            delete run;
        } else if (way == "parent") {
            parent.reset();
        } else {
            run->deleteLater();
            QTRY_VERIFY(watch.isNull());
        }
        QVERIFY(watch.isNull());
        const int copied = filesBelow(target);
        QVERIFY2(copied >= 100 && copied < kManyFiles, qPrintable(QString::number(copied)));
    }

    // A run whose source stops answering while it is collected: the service's thread never
    // waits for it. While the step blocks, the event loop turns (a timer fires, a window opens),
    // the run's window says it counts and its time goes on, and a run of another kind starts and
    // ends; "Kapat" is refused only while a backup hangs. Released, the run ends with its log line
    // as it always did.
    void serviceGoesOnWhileACollectionHangs_data()
    {
        QTest::addColumn<bool>("backupHangs");
        QTest::newRow("scheduled backup hangs, a restore runs") << true;
        QTest::newRow("restore hangs, a backup runs") << false;
    }
    void serviceGoesOnWhileACollectionHangs()
    {
        QFETCH(bool, backupHangs);
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        const QString source = dir.filePath("kaynak");
        const QString other = dir.filePath("baska");
        put(source + "/a.txt", "a");
        put(source + "/Alt/b.txt", "b");
        put(other + "/c.txt", "c");
        QVERIFY(QDir().mkpath(program));
        put(program + "/a.nyd", hourlyJob(source, dir.filePath("hedef")));
        // Elapsed seconds tick every 10 ms here.
        TRunnerF::setTimings(0, 20, 10);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));
        TAnaFormF form(program, QString());
        QTRY_VERIFY(form.unfinishedRunsCheck()->isDone());
        QList<QPointer<TRunnerF>> windows;
        form.runs().setViewFactory([&](Run *run) { windows.append(showRunWindow(run, true)); });
        QList<quint64> ended;
        connect(&form.runs(), &RunController::runEnded, this, [&](quint64 run) { ended.append(run); });

        BlockingStep step(backupHangs ? source + "/Alt" : other);
        auto restoreOf = [&](const QString &from) {
            FolderRestoreParams p;
            p.sourceFolder = from;
            p.targetFolder = dir.filePath("geri");
            return std::make_unique<FolderRestoreRun>(p);
        };
        auto backupOf = [&](const QString &from) {
            FolderBackupParams p;
            p.jobName = QStringLiteral("b.nyd");
            p.sourceFolder = from;
            p.targetFolder = dir.filePath("hedef2");
            p.filters = QStringList{QStringLiteral("*.*")};
            return std::make_unique<FolderBackupRun>(program, p);
        };
        quint64 hanging = 0;
        if (backupHangs) {
            form.TimerOTOTimer();
            QCOMPARE(form.runs().runs().size(), 1);
            hanging = form.runs().runs().first()->id();
        } else {
            hanging = form.runs().start(restoreOf(other));
        }
        QVERIFY(hanging != 0);
        QTRY_VERIFY_WITH_TIMEOUT(step.reached(), 20000);
        QVERIFY(!step.reachedOnServiceThread());

        QCOMPARE(windows.size(), 1);
        QPointer<TFolderRunnerF> hangingWindow = qobject_cast<TFolderRunnerF *>(windows.first().data());
        QVERIFY(hangingWindow);
        QString countAtClose;
        connect(hangingWindow.data(), &TRunnerF::closed, this, [&] { countAtClose = hangingWindow->LabelDosya->text(); });
        QCOMPARE(hangingWindow->LabelDosya->text(), QStringLiteral("Sayiliyor..."));
        const qint64 elapsed = hangingWindow->elapsedSeconds();
        QTRY_VERIFY(hangingWindow->elapsedSeconds() >= elapsed + 3);

        QTimer timer;
        QSignalSpy fired(&timer, &QTimer::timeout);
        timer.start(5);
        QVERIFY(fired.wait(10000));
        form.GenelYedekleme1Click();
        QVERIFY(form.managementWindow() && form.managementWindow()->isVisible());

        const quint64 beside = backupHangs ? form.runs().start(restoreOf(other)) : form.runs().start(backupOf(source));
        QVERIFY(beside != 0);
        QTRY_VERIFY_WITH_TIMEOUT(ended.size() == 1, 30000);
        QCOMPARE(ended.first(), beside);
        QCOMPARE(form.FormClose(), !backupHangs);
        QCOMPARE(form.runs().runs().size(), 1);

        step.release();
        QTRY_VERIFY_WITH_TIMEOUT(ended.size() == 2, 30000);
        QCOMPARE(ended.last(), hanging);
        QTRY_VERIFY(hangingWindow.isNull());
        QCOMPARE(countAtClose, QString::number(backupHangs ? 2 : 1));
        const OperationLog &log = backupHangs ? backupLog() : restoreLog();
        QCOMPARE(log.lines().size(), 1);
        const auto cells = parseLogLine(log.lines().first());
        QCOMPARE(cells[0], QString(backupHangs ? "Otomatik Yedekleme" : "Geri YuklemeDosya"));
        QCOMPARE(cells[6], QStringLiteral("Basarili"));
        if (backupHangs) {
            QVERIFY(QFile::exists(dir.filePath("hedef/a_nyd_20240115_1430/Alt/b.txt")));
            QTRY_VERIFY(!form.scheduler().busy());
        } else {
            QVERIFY(QFile::exists(dir.filePath("geri/c.txt")));
        }
        clock::setNow(QDateTime());
    }

    // A scheduled run whose folder stops answering is ended as failed once it has made no
    // progress for the time allowed, naming the folder; the walk goes on to the next due job.
    // Until the stuck work returns its job is not started again: one line per due time says so.
    // Released, the work writes nothing more (a second run folder it had made keeps its marker,
    // so it never counts as a backup), and the job runs again at its next due time.
    void stalledRunIsEndedAndTheWalkGoesOn_data()
    {
        QTest::addColumn<bool>("secondCopy");
        QTest::newRow("source listing hangs") << false;
        QTest::newRow("second copy hangs") << true;
    }
    void stalledRunIsEndedAndTheWalkGoesOn()
    {
        QFETCH(bool, secondCopy);
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        QVERIFY(QDir().mkpath(program));
        put(dir.filePath("kaynakA/Alt/a.txt"), "a");
        put(dir.filePath("kaynakB/b.txt"), "b");
        put(program + "/a.nyd", hourlyJob(dir.filePath("kaynakA"), dir.filePath("hedef"),
                                          secondCopy ? "HEDEFDIZIN2=" + dir.filePath("hedef2") + "\r\n" : QString()));
        put(program + "/b.nyd", hourlyJob(dir.filePath("kaynakB"), dir.filePath("hedef")));
        const QString stuckFolder = secondCopy ? dir.filePath("hedef/a_nyd_20240115_1430/Alt") : dir.filePath("kaynakA/Alt");
        const QString stuckRun = dir.filePath(secondCopy ? "hedef2/a_nyd_20240115_1430" : "hedef/a_nyd_20240115_1430");
        setNoProgressTimeout(std::chrono::milliseconds(500));
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));
        TAnaFormF form(program, QString());
        QTRY_VERIFY(form.unfinishedRunsCheck()->isDone());
        form.runs().setViewFactory([](Run *run) { run->start(); });
        auto statuses = [] {
            QStringList out;
            for (const QString &line : backupLog().lines()) {
                const auto cells = parseLogLine(line);
                out.append(cells[1] + u' ' + cells[6]);
            }
            return out;
        };

        BlockingStep step(stuckFolder);
        form.TimerOTOTimer();
        QPointer<Run> hanging = form.runs().runs().first();
        QTRY_VERIFY_WITH_TIMEOUT(!form.scheduler().busy(), 30000);
        QVERIFY(step.reached() && !hanging.isNull() && hanging->isAbandoned());
        const QStringList first = statuses();
        QCOMPARE(first.size(), secondCopy ? 3 : 2);
        const QString failure = first.at(secondCopy ? 1 : 0);
        QVERIFY2(failure.startsWith("a.nyd Basarisiz.Yanit vermeyen klasor: " + stuckFolder + "; "), qPrintable(failure));
        QCOMPARE(first.last(), QStringLiteral("b.nyd Basarili"));
        QVERIFY(QFile::exists(dir.filePath("hedef/b_nyd_20240115_1430/b.txt")));
        QVERIFY(!form.runs().running().folderBackup() && form.FormClose());

        // Due again an hour later, twice at that hour: held back once, and not started.
        for (const QTime &at : {QTime(15, 31), QTime(15, 36)}) {
            clock::setNow(QDateTime(QDate(2024, 1, 15), at));
            form.TimerOTOTimer();
            QTRY_VERIFY_WITH_TIMEOUT(!form.scheduler().busy(), 30000);
        }
        const QStringList held = statuses().mid(first.size());
        QCOMPARE(held.size(), 2);
        QVERIFY2(held.first().startsWith("a.nyd Basarisiz.Onceki yedekleme hala yanit vermeyen klasoru bekliyor: " + stuckFolder),
                 qPrintable(held.first()));
        QCOMPARE(held.last(), QStringLiteral("b.nyd Basarili"));
        QVERIFY(!QFile::exists(dir.filePath("hedef/a_nyd_20240115_1531")));

        const qsizetype before = backupLog().lines().size();
        step.release();
        QTRY_VERIFY_WITH_TIMEOUT(hanging.isNull(), 30000);
        QCoreApplication::processEvents();
        QCOMPARE(backupLog().lines().size(), before);
        if (secondCopy) {
            QVERIFY(isUnfinished(stuckRun));
            QVERIFY(!QFile::exists(stuckRun + "/Alt"));
        } else {
            QVERIFY(!QFile::exists(stuckRun));
        }

        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(16, 32)));
        form.TimerOTOTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!form.scheduler().busy(), 30000);
        QStringList again{"a.nyd Basarili", "b.nyd Basarili"};
        if (secondCopy)
            again.prepend("a.nyd Basarili");
        QCOMPARE(statuses().mid(before), again);
        const QStringList runs = QDir(dir.filePath("hedef")).entryList({"a_nyd_20240115_16*"}, QDir::Dirs);
        QVERIFY(runs.size() == 1 && QFile::exists(dir.filePath("hedef/" + runs.first() + "/Alt/a.txt")));
        setNoProgressTimeout(std::chrono::milliseconds(0));
        clock::setNow(QDateTime());
    }

    // A restore whose source stops answering ends the same way, its line in the restore log;
    // a restore belongs to no job, so nothing is held back after it.
    void stalledRestoreIsEnded()
    {
        QTemporaryDir dir;
        setLogFolder(dir.path());
        put(dir.filePath("yedek/Alt/a.txt"), "a");
        BlockingStep step(dir.filePath("yedek/Alt"));
        setNoProgressTimeout(std::chrono::milliseconds(300));
        RunController controller;
        QSignalSpy ended(&controller, &RunController::runEnded);
        FolderRestoreParams p;
        p.sourceFolder = dir.filePath("yedek");
        p.targetFolder = dir.filePath("geri");
        QVERIFY(controller.start(std::make_unique<FolderRestoreRun>(p)) != 0);
        QPointer<Run> run = controller.runs().first();
        QVERIFY(ended.wait(20000));
        setNoProgressTimeout(std::chrono::milliseconds(0));
        QVERIFY(!controller.running().isRunning(RunKind::FolderRestore) && controller.runs().isEmpty());
        QCOMPARE(restoreLog().lines().size(), 1);
        const auto cells = parseLogLine(restoreLog().lines().first());
        QVERIFY2(cells[6].startsWith("Basarisiz.Yanit vermeyen klasor: " + dir.filePath("yedek/Alt") + "; "), qPrintable(cells[6]));
        QCOMPARE(controller.heldBack(QString()), QString());
        step.release();
        QTRY_VERIFY_WITH_TIMEOUT(run.isNull(), 20000);
    }

    // The program ends while a run's work is stuck in a system call: the controller waits a
    // little, then leaves the work behind instead of hanging with it. The run is no longer the
    // controller's and tells nothing more; once the call returns after all, the run frees itself
    // without a line in the log. A run whose work stops in time is freed at once.
    void stuckWorkIsLeftBehind_data()
    {
        QTest::addColumn<bool>("stuck");
        QTest::newRow("stuck in a call") << true;
        QTest::newRow("stops in time") << false;
    }
    void stuckWorkIsLeftBehind()
    {
        QFETCH(bool, stuck);
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        QVERIFY(QDir().mkpath(program));
        setLogFolder(program);
        const QString source = dir.filePath("kaynak");
        put(source + "/Alt/a.txt", "a");
        BlockingStep step(source + "/Alt");
        FolderBackupParams p;
        p.jobName = QStringLiteral("a.nyd");
        p.sourceFolder = source;
        p.targetFolder = dir.filePath("hedef");
        p.filters = QStringList{QStringLiteral("*.*")};
        auto controller = std::make_unique<RunController>();
        QSignalSpy ended(controller.get(), &RunController::runEnded);
        QVERIFY(controller->start(std::make_unique<FolderBackupRun>(program, p)) != 0);
        QPointer<Run> run = controller->runs().first();
        QTRY_VERIFY_WITH_TIMEOUT(step.reached(), 20000);
        if (!stuck)
            step.release();

        QCOMPARE(controller->leave(std::chrono::milliseconds(stuck ? 50 : 20000)), stuck ? 1 : 0);
        QVERIFY(controller->runs().isEmpty());
        QCOMPARE(run.isNull(), !stuck);
        if (stuck) {
            QVERIFY(run->isAbandoned());
            QVERIFY(run->parent() == nullptr);
            controller.reset(); // the controller goes; the run does not go with it
            QVERIFY(!run.isNull());
            step.release();
            QTRY_VERIFY_WITH_TIMEOUT(run.isNull(), 20000);
        }
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 0);
        QVERIFY(backupLog().lines().isEmpty());
    }

    // A failure at a run's end (here a log that cannot be written) is told by the general error
    // display after the run has ended. The display may take its time, as a user reading it does:
    // the runner window closes and goes meanwhile, and nothing breaks when the box returns.
    void errorAtTheEndOutlivesTheWindow()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        QVERIFY(QDir().mkpath(program));
        put(dir.filePath("kaynak/a.txt"), "a");
        TRunnerF::setTimings(0, 20, 1000);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));

        TAnaFormF form(program, QString());
        QVERIFY(Dialogs::takeShown().isEmpty());
        QVERIFY(QDir().mkpath(program + "/backup2.kxk")); // the log cannot be written any more
        Dialogs::setHoldMs(400);
        FolderBackupParams p;
        p.jobName = QStringLiteral("a.nyd");
        p.sourceFolder = dir.filePath("kaynak");
        p.targetFolder = dir.filePath("hedef");
        p.filters = QStringList{QStringLiteral("*.*")};
        QPointer<TRunnerF> window;
        form.runs().setViewFactory([&](Run *run) { window = showRunWindow(run, true); });
        QSignalSpy ended(&form.runs(), &RunController::runEnded);
        QVERIFY(form.runs().start(std::make_unique<FolderBackupRun>(program, p)) != 0);
        QVERIFY(window);
        QVERIFY(ended.wait(30000));
        QVERIFY(!form.runs().running().folderBackup());
        QList<Dialogs::Shown> shown;
        QTRY_VERIFY((shown += Dialogs::takeShown(), !shown.isEmpty()));
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].kind == Dialogs::Kind::Error && shown[0].text.contains("backup2.kxk"), qPrintable(shown[0].text));
        // The window closed and went while the box was still open.
        QVERIFY(window.isNull());
        // The run itself went through; before any tick its stamp has the time 00:00.
        QVERIFY(QFile::exists(dir.filePath("hedef/a_nyd_20240115_0000/a.txt")));
        clock::setNow(QDateTime());
    }
};

QTEST_MAIN(TestRunController)
#include "tst_runcontroller.moc"
