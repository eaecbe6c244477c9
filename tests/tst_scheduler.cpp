// The scheduler: due rules and the tick, driven directly with a set clock; runs are stood in for
// by a small fake that holds the flag of its kind for a few turns of the event loop.
#include "core/clock.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/files.h"
#include "platform/termination.h"
#include "scheduling/scheduler.h"
#include "schedulerfixture.h"
#include "testsystem.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace kx;

namespace {

QString day(int y, int m, int d)
{
    return formatNumber(serialDay(QDate(y, m, d)));
}

QString time(int h, int m, int s = 0)
{
    return formatNumber(dayFraction(QTime(h, m, s)));
}

JobFile job(const QStringList &lines)
{
    return JobFile(lines);
}

} // namespace

class TestScheduler : public kxtest::SchedulerFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void hourlyRule()
    {
        const QDate today(2024, 1, 15);
        // Stored 5 s before the tick that started it; ticks every 300 s after that.
        const QTime started(10, 0, 0);
        const JobFile j = job({"YEDEK_ZAMANI=1", "PERYOT=1", "SON_YEDEK_GUNU=" + day(2024, 1, 15),
                               "SON_YEDEK_SAATI=" + formatNumber(dayFraction(started.addSecs(-5)))});
        QVERIFY(!isDue(j, today, started.addSecs(11 * 300))); // eleventh tick: 3305 s
        QVERIFY(isDue(j, today, started.addSecs(12 * 300)));  // twelfth: 3605 s

        const JobFile late = job({"YEDEK_ZAMANI=1", "PERYOT=3", "SON_YEDEK_GUNU=" + day(2024, 1, 14),
                                  "SON_YEDEK_SAATI=" + time(23, 0)});
        QVERIFY(isDue(late, today, QTime(0, 4, 55)));

        const JobFile two = job({"YEDEK_ZAMANI=1", "PERYOT=2", "SON_YEDEK_GUNU=" + day(2024, 1, 15),
                                 "SON_YEDEK_SAATI=" + time(9, 58)});
        QVERIFY(!isDue(two, today, QTime(11, 57, 30)));
        QVERIFY(isDue(two, today, QTime(11, 58, 30)));
        // Stored with the other separator still reads.
        const JobFile dots = job({"YEDEK_ZAMANI=1", "PERYOT=2", "SON_YEDEK_GUNU=45306", "SON_YEDEK_SAATI=0.415277777777778"});
        QVERIFY(!isDue(dots, today, QTime(11, 57, 30)));

        QVERIFY(isDue(job({"YEDEK_ZAMANI=1"}), today, QTime(3, 0)));
        QVERIFY(isDue(job({"YEDEK_ZAMANI=1", "SON_YEDEK_GUNU=" + day(2024, 1, 15)}), today, QTime(3, 0)));
        // Unreadable last day counts as today; PERYOT "x" as 1.
        const JobFile odd = job({"YEDEK_ZAMANI=1", "PERYOT=x", "SON_YEDEK_GUNU=dun", "SON_YEDEK_SAATI=" + time(2, 30)});
        QVERIFY(!isDue(odd, today, QTime(3, 29)));
        QVERIFY(isDue(odd, today, QTime(3, 30)));
    }

    void calendarRules()
    {
        const JobFile daily = job({"YEDEK_ZAMANI=2", "PERYOT=1", "GHA_YEDEK_SAATI=" + time(2, 0),
                                   "SON_YEDEK_GUNU=" + day(2024, 1, 10)});
        QVERIFY(!isDue(daily, QDate(2024, 1, 11), QTime(1, 55)));
        QVERIFY(isDue(daily, QDate(2024, 1, 11), QTime(2, 0)));
        QVERIFY(!isDue(daily, QDate(2024, 1, 10), QTime(23, 0)));

        const JobFile weekly = job({"YEDEK_ZAMANI=3", "PERYOT=2", "GHA_YEDEK_SAATI=0", "SON_YEDEK_GUNU=" + day(2024, 1, 1)});
        QVERIFY(!isDue(weekly, QDate(2024, 1, 14), QTime(12, 0)));
        QVERIFY(isDue(weekly, QDate(2024, 1, 15), QTime(0, 0)));

        const JobFile monthly = job({"YEDEK_ZAMANI=4", "PERYOT=1", "SON_YEDEK_GUNU=" + day(2023, 2, 1)});
        QVERIFY(!isDue(monthly, QDate(2023, 3, 2), QTime(12, 0)));
        QVERIFY(isDue(monthly, QDate(2023, 3, 3), QTime(0, 5)));

        // Never run: due at once, unless the planned time is still ahead.
        QVERIFY(isDue(job({"YEDEK_ZAMANI=2"}), QDate(2024, 1, 1), QTime(0, 1)));
        QVERIFY(!isDue(job({"YEDEK_ZAMANI=2", "GHA_YEDEK_SAATI=" + time(2, 0)}), QDate(2024, 1, 1), QTime(1, 0)));
        // An unreadable last day reads as exactly one span ago.
        QVERIFY(isDue(job({"YEDEK_ZAMANI=3", "SON_YEDEK_GUNU=?"}), QDate(2024, 1, 1), QTime(1, 0)));

        for (const char *unit : {"5", "0", "", "01", " 1"})
            QVERIFY2(!isDue(job({QStringLiteral("YEDEK_ZAMANI=") + unit}), QDate(2024, 1, 1), QTime(12, 0)), unit);
    }

    // The due rule for a service date of 10 June 2024 at 12:00 (a row's time when given). A last
    // run recorded in the future (the clock was ahead) makes the job due at once, whatever the
    // unit; the planned time of the calendar units still counts. A last run recorded at this
    // very moment is no future one.
    void dueRule_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<bool>("due");
        const QTime noon(12, 0);
        const auto last = [](const QString &dayText, const QString &timeText = QString()) {
            QStringList l{"SON_YEDEK_GUNU=" + dayText};
            if (!timeText.isEmpty())
                l.append("SON_YEDEK_SAATI=" + timeText);
            return l;
        };
        const QStringList hourly{"YEDEK_ZAMANI=1", "PERYOT=1"};
        QTest::newRow("hourly, a year ahead") << hourly + last(day(2025, 6, 10), time(12, 30)) << noon << true;
        QTest::newRow("hourly, later today") << hourly + last(day(2024, 6, 10), time(12, 30)) << noon << true;
        QTest::newRow("hourly, this very moment") << hourly + last(day(2024, 6, 10), time(12, 0)) << noon << false;
        QTest::newRow("hourly, ahead, unreadable day")
            << hourly + last(QStringLiteral("yarin"), time(11, 30)) << noon << false;

        const QStringList daily{"YEDEK_ZAMANI=2", "PERYOT=1", "GHA_YEDEK_SAATI=" + time(2, 0)};
        QTest::newRow("daily, a year ahead") << daily + last(day(2025, 6, 10), time(2, 0)) << noon << true;
        QTest::newRow("daily, a year ahead, before the planned time")
            << daily + last(day(2025, 6, 10), time(2, 0)) << QTime(1, 55) << false;
        QTest::newRow("daily, earlier today") << daily + last(day(2024, 6, 10), time(2, 0)) << noon << false;

        const QStringList weekly{"YEDEK_ZAMANI=3", "PERYOT=1", "GHA_YEDEK_SAATI=" + time(13, 0)};
        QTest::newRow("weekly, next month") << weekly + last(day(2024, 7, 1), time(13, 0)) << QTime(13, 5) << true;
        QTest::newRow("weekly, next month, before the planned time")
            << weekly + last(day(2024, 7, 1), time(13, 0)) << noon << false;

        const QStringList monthly{"YEDEK_ZAMANI=4", "PERYOT=1"};
        QTest::newRow("monthly, later today") << monthly + last(day(2024, 6, 10), time(12, 0, 1)) << noon << true;
    }
    void dueRule()
    {
        QFETCH(QStringList, lines);
        QFETCH(QTime, now);
        QFETCH(bool, due);
        QCOMPARE(isDue(job(lines), QDate(2024, 6, 10), now), due);
    }

    // A walk that goes on past midnight keeps its service date until the next tick: the runs of
    // that day do not look as if they lay ahead in the small hours of the next.
    void walkPastMidnight()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("daily.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=2\r\nGHA_YEDEK_SAATI=" + time(2, 0).toLatin1()
                                  + "\r\nSON_YEDEK_GUNU=" + day(2024, 3, 10).toLatin1() + "\r\nSON_YEDEK_SAATI="
                                  + time(2, 0).toLatin1() + "\r\n");
        writeJob("hourly.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nSON_YEDEK_GUNU=" + day(2024, 3, 10).toLatin1()
                                   + "\r\nSON_YEDEK_SAATI=" + time(23, 30).toLatin1() + "\r\n");
        m_runMs = -1;
        clock::setNow(QDateTime(QDate(2024, 3, 10), QTime(23, 58, 5)));
        m_scheduler->tick(m_folder, {"a.nyd", "daily.nyd", "hourly.nyd"}, {});
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        clock::setNow(QDateTime(QDate(2024, 3, 11), QTime(0, 1)));
        endRun(RunKind::FolderBackup, m_lastRun);
        QVERIFY(!m_scheduler->busy());
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
    }

    // Large, zero and negative periods: counted in 64 bits, never due at every tick.
    void periodsNeverMakeAJobDueAtEveryTick_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("period");
        QTest::addColumn<bool>("dueNextDay");
        QTest::newRow("monthly, largest int") << "4" << "2147483647" << false;
        QTest::newRow("weekly, beyond int") << "3" << "99999999999" << false;
        QTest::newRow("daily, largest negative") << "2" << "-2147483648" << true;
        QTest::newRow("daily, zero") << "2" << "0" << true;
        QTest::newRow("hourly, largest int") << "1" << "2147483647" << true;
        QTest::newRow("hourly, negative") << "1" << "-5" << true;
        QTest::newRow("hourly, blanks around") << "1" << " 3 " << true;
    }
    void periodsNeverMakeAJobDueAtEveryTick()
    {
        QFETCH(QString, unit);
        QFETCH(QString, period);
        QFETCH(bool, dueNextDay);
        // Ran at 10:00 today: a tick five minutes later must not find it due again.
        const JobFile j = job({"YEDEK_ZAMANI=" + unit, "PERYOT=" + period, "SON_YEDEK_GUNU=" + day(2024, 5, 10),
                               "SON_YEDEK_SAATI=" + time(10, 0)});
        QVERIFY(!isDue(j, QDate(2024, 5, 10), QTime(10, 5)));
        QVERIFY(!isDue(j, QDate(2024, 5, 10), QTime(10, 55)));
        // A non-positive period is one unit: the next day (and, hourly, the next hour) it runs.
        QCOMPARE(isDue(j, QDate(2024, 5, 11), QTime(10, 5)), dueNextDay);
        if (unit == "1")
            QCOMPARE(isDue(j, QDate(2024, 5, 10), QTime(11, 5)), period.trimmed().toLongLong() <= 1);
    }

    void tickRunsDueJobsInOrderAndRecordsThem()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("B.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=2\r\nGRUBU=x\r\n");
        writeJob("lower.nyd", "AKTIF=true\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("five.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=5\r\n");
        writeJob("k.fyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        tickAt(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 55)), {"a.nyd", "B.nyd", "gone.nyd", "five.nyd", "lower.nyd"},
               {"k.fyd"});
        // Each run started only after the one before had ended (the fake checks the flag).
        QCOMPARE(m_started, QStringList({"a.nyd+R", "B.nyd", "k.fyd+R"}));
        QCOMPARE(m_context.moment().serviceDate, QDate(2024, 1, 15));
        QCOMPARE(m_context.moment().tickTime, QTime(14, 30, 50));
        // 14:30:50 as a fraction of the day, with the Turkish separator.
        QCOMPARE(readWholeFile(m_folder + "B.nyd"),
                 QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=2\r\nGRUBU=x\r\nSON_YEDEK_GUNU=45306\r\n"
                            "SON_YEDEK_SAATI=0,60474537037037\r\n"));
        QVERIFY(!readWholeFile(m_folder + "lower.nyd").contains("SON_YEDEK"));
        QVERIFY(!readWholeFile(m_folder + "five.nyd").contains("SON_YEDEK"));
        QVERIFY(!QFile::exists(m_folder + "gone.nyd"));

        // Five minutes later nothing is due yet.
        m_started.clear();
        tickAt(QDateTime(QDate(2024, 1, 15), QTime(14, 35, 55)), {"a.nyd", "B.nyd"}, {"k.fyd"});
        QVERIFY(m_started.isEmpty());
    }

    // The tick returns at once; the walk goes on as runs end, and the record of a job is written
    // only after its own run has ended.
    void tickDoesNotWaitForItsRuns()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        m_runMs = -1;
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(9, 0, 5)));
        m_scheduler->tick(m_folder, {"a.nyd", "b.nyd"}, {});
        QVERIFY(m_scheduler->busy());
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        QVERIFY(!readWholeFile(m_folder + "a.nyd").contains("SON_YEDEK"));
        // Another run's end is not ours.
        m_scheduler->runEnded(m_lastRun + 7);
        QCOMPARE(m_started.size(), 1);
        endRun(RunKind::FolderBackup, m_lastRun);
        QVERIFY(readWholeFile(m_folder + "a.nyd").contains("SON_YEDEK_SAATI"));
        QCOMPARE(m_started, QStringList({"a.nyd+R", "b.nyd+R"}));
        QVERIFY(!readWholeFile(m_folder + "b.nyd").contains("SON_YEDEK"));
        QSignalSpy ended(m_scheduler.get(), &Scheduler::walkEnded);
        endRun(RunKind::FolderBackup, m_lastRun);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!m_scheduler->busy());
        QVERIFY(readWholeFile(m_folder + "b.nyd").contains("SON_YEDEK_SAATI"));
    }

    // A run of the same kind started by hand while the walk is under way goes first; the job is
    // tested again when it has ended.
    void walkWaitsForAManualRunOfItsKind()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("k.fyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        m_runMs = -1;
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(9, 0, 5)));
        m_scheduler->tick(m_folder, {"a.nyd"}, {"k.fyd"});
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        m_running.set(RunKind::FirebirdBackup, true); // a manual Firebird run
        endRun(RunKind::FolderBackup, m_lastRun);
        QCOMPARE(m_started.size(), 1);
        QVERIFY(m_scheduler->busy());
        m_running.set(RunKind::FirebirdBackup, false);
        QTRY_COMPARE(m_started, QStringList({"a.nyd+R", "k.fyd+R"}));
        endRun(RunKind::FirebirdBackup, m_lastRun);
        QVERIFY(!m_scheduler->busy());
    }

    void busyTicksOnlyMoveDateAndTime()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        // A manual backup runs: the tick does nothing else.
        m_running.set(RunKind::FolderBackup, true);
        tickAt(QDateTime(QDate(2024, 2, 1), QTime(8, 0, 10)), {"a.nyd"});
        QVERIFY(m_started.isEmpty());
        QCOMPARE(m_context.moment().serviceDate, QDate(2024, 2, 1));
        QCOMPARE(m_context.moment().tickTime, QTime(8, 0, 5));
        m_running.set(RunKind::FolderBackup, false);
        m_running.set(RunKind::FirebirdBackup, true);
        tickAt(QDateTime(QDate(2024, 2, 1), QTime(8, 5, 10)), {"a.nyd"});
        QVERIFY(m_started.isEmpty());
        m_running.set(RunKind::FirebirdBackup, false);

        // A tick arriving while the walk waits for its own run.
        m_runMs = -1;
        clock::setNow(QDateTime(QDate(2024, 2, 1), QTime(9, 0, 0)));
        m_scheduler->tick(m_folder, {"a.nyd"}, {});
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        clock::setNow(QDateTime(QDate(2024, 2, 2), QTime(0, 2, 0)));
        m_scheduler->tick(m_folder, {"a.nyd"}, {});
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        endRun(RunKind::FolderBackup, m_lastRun);
        // The record carries the values of the latest tick.
        const JobFile after = JobFile::load(m_folder + "a.nyd");
        QCOMPARE(after.value("SON_YEDEK_GUNU"), day(2024, 2, 2));
        QCOMPARE(after.value("SON_YEDEK_SAATI"), time(0, 1, 55));
    }

    // In the first five seconds of a day the tick time is that day's 00:00, never 23:59:5x: the
    // record and the run folder stamp lie within the day recorded.
    void tickTimeStaysWithinItsDay_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QTime>("tick");
        QTest::newRow("midnight") << QTime(0, 0, 0) << QTime(0, 0);
        QTest::newRow("four seconds past") << QTime(0, 0, 4, 999) << QTime(0, 0);
        QTest::newRow("five seconds past") << QTime(0, 0, 5) << QTime(0, 0);
        QTest::newRow("later") << QTime(0, 0, 7) << QTime(0, 0, 2);
        QTest::newRow("last second of the day") << QTime(23, 59, 59) << QTime(23, 59, 54);
    }
    void tickTimeStaysWithinItsDay()
    {
        QFETCH(QTime, now);
        QFETCH(QTime, tick);
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=1\r\n");
        tickAt(QDateTime(QDate(2024, 3, 10), now), {"a.nyd"});
        QCOMPARE(m_context.moment().tickTime, tick);
        QCOMPARE(m_context.moment().tickDate, QDate(2024, 3, 10));
        const JobFile after = JobFile::load(m_folder + "a.nyd");
        QCOMPARE(after.value("SON_YEDEK_GUNU"), day(2024, 3, 10));
        QCOMPARE(after.value("SON_YEDEK_SAATI"), formatNumber(dayFraction(tick)));
        // An hourly job recorded that way is not due again at the next tick of the same day.
        if (now.secsTo(QTime(23, 59, 59)) >= 300)
            QVERIFY(!isDue(after, QDate(2024, 3, 10), now.addSecs(300)));
    }

    void lastRunWriteReadsTheFileAgain()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nACIKLAMA=eski\r\n");
        m_duringRun = [&](const QString &name) {
            if (name == "a.nyd")
                QFile::remove(m_folder + "a.nyd"); // deleted during its own run
            else
                writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nACIKLAMA=yeni\r\n"); // saved in an editor
        };
        tickAt(QDateTime(QDate(2024, 3, 1), QTime(12, 0, 5)), {"a.nyd", "b.nyd"});
        QCOMPARE(readWholeFile(m_folder + "a.nyd"), QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nSON_YEDEK_GUNU=")
                                                           + day(2024, 3, 1).toLatin1() + "\r\nSON_YEDEK_SAATI="
                                                           + time(12, 0).toLatin1() + "\r\n");
        const JobFile b = JobFile::load(m_folder + "b.nyd");
        QCOMPARE(b.value("ACIKLAMA"), QStringLiteral("yeni"));
        QVERIFY(b.contains("SON_YEDEK_GUNU"));
    }

    void terminationEndsTheWalkWithoutARecord()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        m_duringRun = [](const QString &) { setTerminationRequested(true); };
        tickAt(QDateTime(QDate(2024, 3, 1), QTime(12, 0, 5)), {"a.nyd", "b.nyd"});
        setTerminationRequested(false);
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        QVERIFY(!readWholeFile(m_folder + "a.nyd").contains("SON_YEDEK"));
    }

    // A job file that cannot be read is skipped: the jobs after it run, and the failure is told
    // once, not again at every tick while it lasts.
    void unreadableJobFileIsSkippedAndToldOnce()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        QVERIFY(QFile::link("/proc/self/mem", m_folder + "bad.nyd"));
        writeJob("c.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        QSignalSpy failed(m_scheduler.get(), &Scheduler::failed);
        tickAt(QDateTime(QDate(2024, 3, 1), QTime(12, 0, 5)), {"a.nyd", "bad.nyd", "c.nyd"});
        QCOMPARE(m_started, QStringList({"a.nyd+R", "c.nyd+R"}));
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY2(failed.at(0).at(0).toString().contains("bad.nyd"), qPrintable(failed.at(0).at(0).toString()));
        QVERIFY(readWholeFile(m_folder + "c.nyd").contains("SON_YEDEK"));
        m_started.clear();
        tickAt(QDateTime(QDate(2024, 3, 1), QTime(13, 0, 5)), {"a.nyd", "bad.nyd", "c.nyd"});
        QCoreApplication::processEvents();
        QCOMPARE(m_started, QStringList({"a.nyd+R", "c.nyd+R"}));
        QCOMPARE(failed.count(), 1);
    }

    // A job file that cannot be written (the program folder full, the file read-only): the last
    // run is kept in memory and the due rule goes by it, so an hourly job runs once an hour, not
    // at every tick, and the jobs after it still run. The failure is told once: in the backup
    // log, or, when that cannot take it, by the general error display. Once the file can be
    // written the kept last run goes into it.
    void unsavedLastRunIsKeptAndToldOnce_data()
    {
        QTest::addColumn<QString>("log");
        QTest::newRow("backup log") << "writes";
        QTest::newRow("backup log unwritable") << "fails";
        QTest::newRow("no backup log") << "none";
    }
    void unsavedLastRunIsKeptAndToldOnce()
    {
        QFETCH(QString, log);
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        const QString path = m_folder + "a.nyd";
        const QByteArray before = readWholeFile(path);
        auto readOnly = std::make_unique<kxtest::ReadOnlyMount>(path);
        if (!readOnly->mounted)
            QSKIP("a read-only mount needs root");
        QStringList logged;
        if (log != "none")
            m_scheduler->setLogWriter([&](JobKind kind, const QString &name, const QString &status) {
                logged.append(QStringLiteral("%1|%2|%3").arg(int(kind)).arg(name, status));
                return log == "fails" ? QStringLiteral("backup2.kxk dolu") : QString();
            });
        QSignalSpy failed(m_scheduler.get(), &Scheduler::failed);
        m_runMs = 0;
        // Seven hours of ticks.
        const QDateTime start(QDate(2024, 3, 1), QTime(10, 0, 5));
        for (int tick = 0; tick < 7 * 12; ++tick)
            tickAt(start.addSecs(300 * tick), {"a.nyd", "b.nyd"});
        QCoreApplication::processEvents();
        QCOMPARE(m_started.count("a.nyd+R"), 7);
        QCOMPARE(m_started.count("b.nyd+R"), 7);
        QCOMPARE(readWholeFile(path), before);
        QCOMPARE(JobFile::load(m_folder + "b.nyd").value("SON_YEDEK_SAATI"), time(16, 0));

        const QString told = log == "none" ? QString() : logged.value(0);
        QCOMPARE(logged.size(), log == "none" ? 0 : 1);
        if (log != "none") {
            QVERIFY2(told.startsWith("0|a.nyd|Basarisiz.Son yedekleme zamani kaydedilemedi: ") && told.contains(path),
                     qPrintable(told));
        }
        QCOMPARE(failed.count(), log == "writes" ? 0 : 1);
        if (!failed.isEmpty()) {
            const QString text = failed.at(0).at(0).toString();
            QVERIFY2(text.startsWith("Son yedekleme zamani kaydedilemedi: ") && text.contains(path), qPrintable(text));
            QCOMPARE(text.contains("backup2.kxk dolu"), log == "fails");
        }

        // Writable again: the next tick writes the kept last run, without running the job.
        readOnly.reset();
        m_started.clear();
        tickAt(QDateTime(QDate(2024, 3, 1), QTime(16, 57, 5)), {"a.nyd", "b.nyd"});
        QVERIFY(m_started.isEmpty());
        const JobFile after = JobFile::load(path);
        QCOMPARE(after.value("SON_YEDEK_GUNU"), day(2024, 3, 1));
        QCOMPARE(after.value("SON_YEDEK_SAATI"), time(16, 0));
        // Mended, a new failure is told again.
        readOnly = std::make_unique<kxtest::ReadOnlyMount>(path);
        QVERIFY(readOnly->mounted);
        tickAt(QDateTime(QDate(2024, 3, 1), QTime(17, 0, 5)), {"a.nyd", "b.nyd"});
        QCoreApplication::processEvents();
        QCOMPARE(m_started, QStringList({"a.nyd+R", "b.nyd+R"}));
        QCOMPARE(logged.size() + failed.count(), log == "fails" ? 4 : 2);
    }
};

QTEST_MAIN(TestScheduler)
#include "tst_scheduler.moc"
