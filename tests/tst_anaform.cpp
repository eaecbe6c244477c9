// The hidden main window: start-up in a program folder, the timer rule, the shutdown guard.
#include "core/clock.h"
#include "core/codepage.h"
#include "testsystem.h"
#include "core/service.h"
#include "ui/dialogs.h"
#include "platform/files.h"
#include "runs/oplog.h"
#include "scheduling/unfinished.h"
#include "ui/anaform.h"
#include "ui/appicon.h"
#include "ui/managementwindow.h"
#include "ui/runnerwindow.h"

#include <QAction>
#include <QScopeGuard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>
#include <sys/mount.h>

using namespace kx;
using namespace kxtest;

class TestAnaForm : public QObject
{
    Q_OBJECT

    void write(const QString &p, const QByteArray &d)
    {
        QDir().mkpath(QFileInfo(p).path());
        writeWholeFile(p, d);
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
    }

    void firstStartInEmptyFolder()
    {
        QTemporaryDir dir;
        TAnaFormF form(dir.path(), dir.filePath("no-registry.ini"));
        QCOMPARE(form.windowTitle(), QStringLiteral("KORVANEX Yedekleme Servisi s3.02.11"));
        QVERIFY(!form.isVisible());
        QCOMPARE(readWholeFile(dir.filePath("Ayar.ini")), QByteArray("[KxStored]\r\nDIL=turkish\r\nSIMGE=true\r\n"));
        QCOMPARE(readWholeFile(dir.filePath("Data/Ini/Skin.ini")),
                 QByteArray("[SKIN]\r\nACTIVE=1\r\nNAME=Elegant\r\nHUE=0\r\nSATURATION=100\r\n"));
        QVERIFY(form.MemoDOSYAYD.isEmpty());
        QVERIFY(form.MemoFBYEDEK.isEmpty());
        QVERIFY(!form.TimerOTO->isActive());
        QCOMPARE(form.TimerOTO->interval(), 300000);
        QVERIFY(form.context().detailedRunners);
        QVERIFY(Dialogs::takeShown().isEmpty());
        // The menu: two commands, a separator, "Kapat".
        const QList<QAction *> items = form.PopupMenu1->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->text(), QStringLiteral("Yedekleme"));
        QCOMPARE(items[1]->text(), QStringLiteral("Geri Yukleme"));
        QVERIFY(items[2]->isSeparator());
        QCOMPARE(items[3]->text(), QStringLiteral("Kapat"));
    }

    void jobsSwitchTheTimerOnAndLogsLoad()
    {
        QTemporaryDir dir;
        write(dir.filePath("Muhasebe.nyd"), "AKTIF=True\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        write(dir.filePath("backup2.kxk"), "satir1\r\n");
        write(dir.filePath("Ayar.ini"), "[KxStored]\r\nSIMGE=FALSE\r\n");
        TAnaFormF form(dir.path(), QString());
        QCOMPARE(form.MemoDOSYAYD, QStringList({"Muhasebe.nyd"}));
        QVERIFY(form.TimerOTO->isActive());
        QCOMPARE(form.TimerOTO->remainingTime() > 290000, true);
        QVERIFY(!form.context().detailedRunners);
        QCOMPARE(form.RichBackup(), QStringList({"satir1"}));
        QVERIFY(form.RichRestore().isEmpty());
        QCOMPARE(readWholeFile(dir.filePath("Ayar.ini")), QByteArray("[KxStored]\r\nSIMGE=FALSE\r\nDIL=turkish\r\n"));

        // A refresh that finds no job any more switches the timer off; a new job back on.
        QFile::remove(dir.filePath("Muhasebe.nyd"));
        form.DosyaYukle();
        QVERIFY(!form.TimerOTO->isActive());
        write(dir.filePath("Kasa.fyd"), "PERYOT=1\r\nUNETYEDEK=False\r\n");
        form.DosyaYukle();
        QVERIFY(form.TimerOTO->isActive());
        QCOMPARE(form.MemoFBYEDEK, QStringList({"Kasa.fyd"}));
    }

    void failingStepIsShownAndLaterStepsSkipped()
    {
        QTemporaryDir dir;
        write(dir.filePath("a.nyd"), "YEDEK_ZAMANI=1\r\nSAAT_SURE=2\r\n");
        // A listed job file whose reading fails (even for root): the process memory file.
        QVERIFY(QFile::link("/proc/self/mem", dir.filePath("b.nyd")));
        write(dir.filePath("restore2.kxk"), "x\r\n");
        TAnaFormF form(dir.path(), QString());

        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Error);
        QVERIFY2(shown[0].text.contains("b.nyd"), qPrintable(shown[0].text));
        // Steps before the failure are done, the timer follows the lists, later steps skipped.
        QVERIFY(QFile::exists(dir.filePath("Ayar.ini")));
        QCOMPARE(readWholeFile(dir.filePath("a.nyd")), QByteArray("YEDEK_ZAMANI=1\r\nSAAT_SURE=2\r\nPERYOT=2\r\nUNETYEDEK=FALSE\r\n"));
        QCOMPARE(form.MemoDOSYAYD, QStringList({"a.nyd", "b.nyd"}));
        QVERIFY(form.TimerOTO->isActive());
        QVERIFY(!QFile::exists(dir.filePath("Data/Ini/Skin.ini")));
        QVERIFY(form.RichRestore().isEmpty());
    }

    void languageFileTranslatesOwnTexts()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("Language");
        write(dir.filePath("Language/english.lng"), "Yedekleme=ignored on the first line\r\nYedekleme=Backup\r\nKapat=&Quit\r\n");
        write(dir.filePath("Ayar.ini"), "[KxStored]\r\nDIL=english\r\n");
        TAnaFormF form(dir.path(), QString());
        QCOMPARE(form.GenelYedekleme1->text(), QStringLiteral("Backup"));
        QCOMPARE(form.GeriYkleme2->text(), QStringLiteral("Geri Yukleme"));
        QCOMPARE(form.Kapat1->text(), QStringLiteral("&Quit"));
        QCOMPARE(form.CompDilCevirMsg("Kapat"), QStringLiteral("&Quit"));

        // A language whose file is missing: Turkish, no message.
        QTemporaryDir other;
        writeWholeFile(other.filePath("Ayar.ini"), "[KxStored]\r\nDIL=klingon\r\n");
        TAnaFormF plain(other.path(), QString());
        QCOMPARE(plain.Kapat1->text(), QStringLiteral("Kapat"));
        QVERIFY(Dialogs::takeShown().isEmpty());
    }

    void registryLanguageTakenOverAtStart()
    {
        QTemporaryDir dir;
        const QString reg = dir.filePath("Kovanci3.ini");
        write(reg, "[Kovanci3]\r\nLanguage=english\r\nOther=1\r\n");
        { TAnaFormF form(dir.path(), reg); }
        QCOMPARE(readWholeFile(dir.filePath("Ayar.ini")), QByteArray("[KxStored]\r\nDIL=english\r\nSIMGE=true\r\n"));
        QCOMPARE(readWholeFile(reg), QByteArray("[Kovanci3]\r\nOther=1\r\n"));
    }

    void shutdownGuard()
    {
        QTemporaryDir dir;
        TAnaFormF form(dir.path(), QString());
        RunningState &running = form.runs().running();

        running.set(RunKind::FolderBackup, true);
        QVERIFY(!form.FormClose());
        running.set(RunKind::FolderBackup, false);
        running.set(RunKind::FirebirdBackup, true);
        QVERIFY(!form.FormClose());

        // Restores do not hold the close.
        running.set(RunKind::FirebirdBackup, false);
        running.set(RunKind::FolderRestore, true);
        running.set(RunKind::FirebirdRestore, true);
        QVERIFY(form.FormClose());
        running.set(RunKind::FolderRestore, false);
        running.set(RunKind::FirebirdRestore, false);
    }

    void tickSetsServiceDateAndTickTime()
    {
        QTemporaryDir dir;
        TAnaFormF form(dir.path(), QString());
        QCOMPARE(form.context().moment().tickTime, QTime(0, 0));
        // In the first seconds of a day the tick time stays within that day.
        clock::setNow(QDateTime(QDate(2026, 3, 1), QTime(0, 0, 3)));
        form.TimerOTOTimer();
        QCOMPARE(form.context().moment().serviceDate, QDate(2026, 3, 1));
        QCOMPARE(form.context().moment().tickTime, QTime(0, 0));
        clock::setNow(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 3)));
        form.TimerOTOTimer();
        QCOMPARE(form.context().moment().tickTime, QTime(9, 59, 58));
        clock::setNow(QDateTime());
    }

    // A program folder that cannot be written: the settings and the language taken over from
    // the registry file cannot be saved, which is told, and everything after still happens (the
    // scheduler above all).
    void unwritableSettingsDoNotStopTheStart()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        write(program + "/Muhasebe.nyd", "AKTIF=True\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        write(program + "/Data/Ini/Skin.ini", "[SKIN]\r\nACTIVE=1\r\nNAME=Elegant\r\nHUE=0\r\nSATURATION=100\r\n");
        write(program + "/backup2.kxk", "satir1\r\n");
        const QString reg = dir.filePath("Kovanci3.ini");
        write(reg, "[Kovanci3]\r\nLanguage=english\r\n");
        ReadOnlyMount readOnly(program);
        if (!readOnly.mounted)
            QSKIP("a read-only mount needs root");
        TAnaFormF form(program, reg);
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2); // the settings, then the language taken over
        for (const Dialogs::Shown &s : shown)
            QVERIFY2(s.kind == Dialogs::Kind::Error && s.text.contains("Ayar.ini"), qPrintable(s.text));
        QCOMPARE(form.FSAyar.value("DIL"), QStringLiteral("english"));
        QCOMPARE(readWholeFile(reg), QByteArray("[Kovanci3]\r\n"));
        QCOMPARE(form.MemoDOSYAYD, QStringList({"Muhasebe.nyd"}));
        QVERIFY(form.TimerOTO->isActive());
        QCOMPARE(form.RichBackup(), QStringList({"satir1"}));
    }

    // A scheduled job whose last run cannot be recorded (its file read-only): the backup log says
    // so beside the run's own line, once; with the log read-only too, the general error display
    // does. The job does not run again at the next tick.
    void unrecordedLastRunIsTold_data()
    {
        QTest::addColumn<bool>("logWritable");
        QTest::newRow("in the backup log") << true;
        QTest::newRow("by the error display") << false;
    }
    void unrecordedLastRunIsTold()
    {
        QFETCH(bool, logWritable);
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        const QString job = program + "/Muhasebe.nyd";
        const QString logPath = program + "/backup2.kxk";
        write(dir.filePath("kaynak/a.txt"), "a");
        write(job, ("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=1\r\nUNETYEDEK=False\r\nDOSYA_TURU1=*.*\r\nKAYNAK_DIZIN="
                    + dir.filePath("kaynak") + "\r\nHEDEF_DIZIN=" + dir.filePath("hedef") + "\r\n")
                       .toUtf8());
        write(logPath, "eski\r\n");
        TRunnerF::setTimings(0, 20, 1000);
        TAnaFormF form(program, QString());
        QVERIFY(Dialogs::takeShown().isEmpty());
        ReadOnlyMount readOnlyJob(job);
        if (!readOnlyJob.mounted)
            QSKIP("a read-only mount needs root");
        std::unique_ptr<ReadOnlyMount> readOnlyLog;
        if (!logWritable) {
            readOnlyLog = std::make_unique<ReadOnlyMount>(logPath);
            QVERIFY(readOnlyLog->mounted);
        }
        const QString told = QStringLiteral("Son yedekleme zamani kaydedilemedi: ");
        QList<Dialogs::Shown> shown;
        auto errorsTelling = [&] {
            shown += Dialogs::takeShown();
            QStringList out;
            for (const Dialogs::Shown &s : shown)
                if (s.kind == Dialogs::Kind::Error && s.text.contains(told))
                    out.append(s.text);
            return out;
        };
        QSignalSpy ended(&form.runs(), &RunController::runEnded);
        for (const QTime &at : {QTime(14, 30, 55), QTime(14, 35, 55)}) {
            clock::setNow(QDateTime(QDate(2024, 1, 15), at));
            form.TimerOTOTimer();
            QTRY_VERIFY_WITH_TIMEOUT(!form.scheduler().busy(), 60000);
            if (!logWritable)
                QTRY_COMPARE(errorsTelling().size(), 1);
        }
        clock::setNow(QDateTime());
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 1);
        const QStringList lines = codepage::splitLines(readWholeFile(logPath));
        if (logWritable) {
            QCOMPARE(lines.size(), 3);
            QCOMPARE(parseLogLine(lines[1])[6], QStringLiteral("Basarili"));
            const auto cells = parseLogLine(lines[2]);
            QCOMPARE(cells[0], QStringLiteral("Otomatik Yedekleme"));
            QCOMPARE(cells[1], QStringLiteral("Muhasebe.nyd"));
            QCOMPARE(cells[2], QStringLiteral("15.01.2024"));
            QVERIFY2(cells[6].startsWith("Basarisiz." + told) && cells[6].contains(job), qPrintable(cells[6]));
            QVERIFY(errorsTelling().isEmpty());
        } else {
            QCOMPARE(lines, QStringList({"eski"}));
            const QStringList errors = errorsTelling();
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors[0].startsWith(told) && errors[0].contains(job) && errors[0].contains(logPath),
                     qPrintable(errors[0]));
        }
    }

    // A desktop panel that starts after the service: the icon shows once the tray is there.
    void trayThatAppearsLater()
    {
        bool available = false;
        TAnaFormF::setTrayProbe([&] { return available; });
        QTemporaryDir dir;
        TAnaFormF form(dir.path(), QString());
        QVERIFY(!form.RxTrayIcon1->isVisible());
        QTest::qWait(0);
        available = true;
        QTRY_VERIFY_WITH_TIMEOUT(form.RxTrayIcon1->isVisible(), 15000);
        TAnaFormF::setTrayProbe({});
    }

    // Runs a killed program left unfinished are told at the next start, once.
    void unfinishedRunsAreToldAtStart()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("hedef");
        const QString broken = target + "/Kasa_nyd_20240115_1200";
        QVERIFY(QDir().mkpath(broken));
        markUnfinished({broken, QStringLiteral("Otomatik Yedekleme(ZIP)"), QStringLiteral("Kasa.nyd"), "/veri", broken});
        write(broken + "/.kx-zip-1-0.part", "yarim");
        write(dir.filePath("Kasa.nyd"), ("PERYOT=1\r\nUNETYEDEK=False\r\nHEDEF_DIZIN=" + target + "\r\n").toUtf8());
        {
            TAnaFormF form(dir.path(), QString());
            // Looked for on a thread of its own: the window is there before the line.
            QTRY_VERIFY(form.unfinishedRunsCheck()->isDone());
            QCOMPARE(form.RichBackup().size(), 1);
            const auto cells = parseLogLine(form.RichBackup().at(0));
            QCOMPARE(cells[0], QStringLiteral("Otomatik Yedekleme(ZIP)"));
            QCOMPARE(cells[1], QStringLiteral("Kasa.nyd"));
            QCOMPARE(cells[5], broken);
            QCOMPARE(cells[6], QStringLiteral("Basarisiz.Yedekleme yarida kesildi."));
            QVERIFY(!QFile::exists(broken + "/.kx-zip-1-0.part"));
        }
        TAnaFormF again(dir.path(), QString());
        QTRY_VERIFY(again.unfinishedRunsCheck()->isDone());
        QCOMPARE(again.RichBackup().size(), 1);
        QVERIFY(Dialogs::takeShown().isEmpty());
    }

    // The start-up check lets a run of a job go once it has told that job's unfinished runs, so
    // its line comes first; a job it does not list goes at once, and a run that is cancelled
    // stops waiting.
    void runsWaitForTheStartupCheck_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<int>("linesWhenPassed");
        QTest::newRow("listed job: after its line") << "Kasa.nyd" << true << false << 1;
        QTest::newRow("job not listed: at once") << "Yeni.nyd" << false << false << 0;
        QTest::newRow("cancelled: stops waiting") << "Kasa.nyd" << false << true << 0;
    }
    void runsWaitForTheStartupCheck()
    {
        QFETCH(QString, job);
        QFETCH(bool, started);
        QFETCH(bool, cancelled);
        QFETCH(int, linesWhenPassed);
        QTemporaryDir dir;
        const QString target = dir.filePath("hedef");
        const QString broken = target + "/Kasa_nyd_20240115_1200";
        QVERIFY(QDir().mkpath(broken));
        markUnfinished({broken, QStringLiteral("Otomatik Yedekleme"), QStringLiteral("Kasa.nyd"), "/veri", broken});
        write(dir.filePath("Kasa.nyd"), ("PERYOT=1\r\nUNETYEDEK=False\r\nHEDEF_DIZIN=" + target + "\r\n").toUtf8());
        setLogFolder(dir.path() + "/");
        backupLog().load();

        UnfinishedRunsCheck check(dir.path() + "/", {QStringLiteral("Kasa.nyd")}, {}, QDate(2024, 1, 15));
        const Run::Gate gate = check.gate();
        std::atomic<bool> cancel{false};
        int linesAtPass = -1;
        // The run's side, on a thread of its own as a run's work is: once through, it tells this
        // thread, which notes how many lines the log has by then.
        std::thread run([&] {
            gate(job, &cancel);
            QMetaObject::invokeMethod(this, [&] { linesAtPass = int(backupLog().lines().size()); }, Qt::QueuedConnection);
        });
        // Should the test fail on the way: the run's side stops waiting, and is waited for.
        const auto joinRun = qScopeGuard([&] {
            cancel = true;
            if (run.joinable())
                run.join();
        });
        if (started)
            check.start();
        cancel = cancelled;
        QTRY_VERIFY_WITH_TIMEOUT(linesAtPass >= 0, 20000);
        QCOMPARE(linesAtPass, linesWhenPassed);
        if (started) {
            QTRY_VERIFY(check.isDone());
            QCOMPARE(backupLog().lines().size(), 1);
            QVERIFY(backupLog().lines().first().contains("Yedekleme yarida kesildi."));
        }
    }

    // The management window is made once, on first demand; a second call while it shows does
    // nothing, and after hiding it shows again.
    // Failed scheduled runs: one notice for the walk, the tray's warning and tooltip listing them,
    // until the logs' tab "Bildirimler" is opened.
    void failedRunsAreNoticed()
    {
        TAnaFormF::setTrayProbe([] { return true; });
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        for (const char *name : {"A.nyd", "B.nyd"})
            write(program + "/" + name, ("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nDOSYA_TURU1=*.*\r\nKAYNAK_DIZIN="
                                         + dir.filePath("yok") + "\r\nHEDEF_DIZIN=" + dir.filePath("hedef") + "\r\n")
                                            .toUtf8());
        TRunnerF::setTimings(0, 20, 1000);
        TAnaFormF form(program, QString());
        const QString title = form.RxTrayIcon1->toolTip();
        QSignalSpy notices(&form.notices(), &NoticeBoard::notice);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)));
        form.TimerOTOTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!form.scheduler().busy(), 60000);
        clock::setNow(QDateTime());
        QCoreApplication::processEvents();
        QCOMPARE(notices.size(), 1);
        const QString failure = QStringLiteral("Basarisiz.Kaynak dizin bulunamadi.");
        QCOMPARE(notices[0][1].toString(), "A.nyd: " + failure + "\nB.nyd: " + failure);
        QCOMPARE(form.RxTrayIcon1->toolTip(), title + "\nA.nyd: " + failure + "\nB.nyd: " + failure);
        const auto looksLikeTheProgram = [&] {
            return form.RxTrayIcon1->icon().pixmap(16).toImage() == applicationIcon().pixmap(16).toImage();
        };
        QVERIFY(!looksLikeTheProgram());

        // Opening the management window leaves them unseen; its tab "Bildirimler" shows the logs.
        form.RxTrayIcon1DblClick();
        TK_YedeklemeF *window = form.managementWindow();
        QCOMPARE(form.notices().unseen().size(), 2);
        window->PageControl1->setCurrentWidget(window->sTabSheetLog);
        QCOMPARE(form.RxTrayIcon1->toolTip(), title);
        QVERIFY(looksLikeTheProgram());
        QVERIFY(form.notices().unseen().isEmpty());
        TAnaFormF::setTrayProbe({});
    }

    void trayCommandsOpenTheirWindows()
    {
        QTemporaryDir dir;
        TAnaFormF form(dir.path(), QString());
        QVERIFY(!form.managementWindow());
        int restore = 0;
        form.openRestoreRequestWindow = [&] { ++restore; };
        form.RxTrayIcon1DblClick();
        TK_YedeklemeF *window = form.managementWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->windowState() & Qt::WindowMaximized);
        form.GenelYedekleme1->trigger();
        QCOMPARE(form.managementWindow(), window);
        window->close(); // closing only hides
        QVERIFY(!window->isVisible());
        form.RxTrayIcon1DblClick();
        QCOMPARE(form.managementWindow(), window);
        QVERIFY(window->isVisible());
        form.GeriYkleme2->trigger();
        form.GeriYkleme2->trigger();
        QCOMPARE(restore, 2);
    }

    // The box of a second start comes before any language is loaded: its button is Turkish like
    // its text. (Last here: the catalogue stays for the rest of the process.)
    void boxBeforeAnyLanguageSaysTamam()
    {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("OK"));
        QVERIFY2(installToolkitTurkish(), "Debian's qt6-translations-l10n is not installed");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("Tamam"));
        QVERIFY(installToolkitTurkish());
    }
};

QTEST_MAIN(TestAnaForm)
#include "tst_anaform.moc"
