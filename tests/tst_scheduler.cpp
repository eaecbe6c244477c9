// The scheduler: due rules and the tick, driven directly with a set clock.
#include "core/clock.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/files.h"
#include "platform/termination.h"
#include "scheduling/scheduler.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

class TestScheduler : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    Scheduler m_scheduler;
    QStringList m_started;

    void writeJob(const QString &name, const QByteArray &text) { writeWholeFile(m_folder + name, text); }

    // A run that "works" for a few event-loop turns: the flag of its kind stays set until a
    // timer clears it, as a runner window does when it closes.
    Scheduler::StartRun fakeRuns()
    {
        return [this](JobKind kind, const QString &name, bool retention) {
            bool &flag = kind == JobKind::Folder ? service().folderBackupRunning : service().firebirdBackupRunning;
            QVERIFY2(!flag, "a run started while another of its kind was running");
            m_started.append(name + (retention ? "+R" : ""));
            flag = true;
            QTimer::singleShot(30, [&flag] { flag = false; });
        };
    }

    void tickAt(const QDateTime &now, const QStringList &folderJobs, const QStringList &fbJobs = {})
    {
        clock::setNow(now);
        m_scheduler.tick(m_folder, folderJobs, fbJobs, fakeRuns());
    }

private slots:
    void init()
    {
        resetService();
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        m_folder = m_dir.path() + "/";
        m_started.clear();
    }
    void cleanup()
    {
        clock::setNow(QDateTime());
        QLocale::setDefault(QLocale::c());
    }

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
        QVERIFY(!m_scheduler.busy());
        QCOMPARE(service().serviceDate, QDate(2024, 1, 15));
        QCOMPARE(service().tickTime, QTime(14, 30, 50));
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

    void busyTicksOnlyMoveDateAndTime()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        // A manual backup runs: the tick does nothing else.
        service().folderBackupRunning = true;
        tickAt(QDateTime(QDate(2024, 2, 1), QTime(8, 0, 10)), {"a.nyd"});
        QVERIFY(m_started.isEmpty());
        QCOMPARE(service().serviceDate, QDate(2024, 2, 1));
        QCOMPARE(service().tickTime, QTime(8, 0, 5));
        service().folderBackupRunning = false;
        service().firebirdBackupRunning = true;
        tickAt(QDateTime(QDate(2024, 2, 1), QTime(8, 5, 10)), {"a.nyd"});
        QVERIFY(m_started.isEmpty());
        service().firebirdBackupRunning = false;

        // A tick arriving while the scheduler waits for its own run.
        int nested = 0;
        clock::setNow(QDateTime(QDate(2024, 2, 1), QTime(9, 0, 0)));
        m_scheduler.tick(m_folder, {"a.nyd"}, {}, [&](JobKind, const QString &name, bool) {
            m_started.append(name);
            service().folderBackupRunning = true;
            QTimer::singleShot(0, [&] {
                clock::setNow(QDateTime(QDate(2024, 2, 2), QTime(0, 2, 0)));
                m_scheduler.tick(m_folder, {"a.nyd"}, {}, [&](JobKind, const QString &, bool) { ++nested; });
                service().folderBackupRunning = false;
            });
        });
        QCOMPARE(m_started, QStringList({"a.nyd"}));
        QCOMPARE(nested, 0);
        // The record carries the values of the latest tick.
        const JobFile after = JobFile::load(m_folder + "a.nyd");
        QCOMPARE(after.value("SON_YEDEK_GUNU"), day(2024, 2, 2));
        QCOMPARE(after.value("SON_YEDEK_SAATI"), time(0, 1, 55));
    }

    void lastRunWriteReadsTheFileAgain()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nACIKLAMA=eski\r\n");
        clock::setNow(QDateTime(QDate(2024, 3, 1), QTime(12, 0, 5)));
        m_scheduler.tick(m_folder, {"a.nyd", "b.nyd"}, {}, [&](JobKind, const QString &name, bool) {
            if (name == "a.nyd") {
                QFile::remove(m_folder + "a.nyd"); // deleted during its own run
                service().jobBuffer = JobFile({"FOREIGN=1"}); // someone else used the buffer
            } else {
                writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nACIKLAMA=yeni\r\n"); // saved in an editor
            }
        });
        QCOMPARE(readWholeFile(m_folder + "a.nyd"), QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nSON_YEDEK_GUNU=")
                                                           + day(2024, 3, 1).toLatin1() + "\r\nSON_YEDEK_SAATI="
                                                           + time(12, 0).toLatin1() + "\r\n");
        const JobFile b = JobFile::load(m_folder + "b.nyd");
        QCOMPARE(b.value("ACIKLAMA"), QStringLiteral("yeni"));
        QVERIFY(b.contains("SON_YEDEK_GUNU"));
    }

    void terminationEndsTheWaitWithoutARecord()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        clock::setNow(QDateTime(QDate(2024, 3, 1), QTime(12, 0, 5)));
        // The run never ends by itself; a termination request arrives while the tick waits.
        m_scheduler.tick(m_folder, {"a.nyd", "b.nyd"}, {}, [&](JobKind, const QString &name, bool) {
            m_started.append(name);
            service().folderBackupRunning = true;
            QTimer::singleShot(30, [] { setTerminationRequested(true); });
        });
        setTerminationRequested(false);
        QCOMPARE(m_started, QStringList({"a.nyd"}));
        QVERIFY(!m_scheduler.busy());
        QVERIFY(!readWholeFile(m_folder + "a.nyd").contains("SON_YEDEK"));
    }

    void failureEndsTheTickAndClearsTheBusyMark()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        QVERIFY(QFile::link("/proc/self/mem", m_folder + "bad.nyd"));
        writeJob("c.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        clock::setNow(QDateTime(QDate(2024, 3, 1), QTime(12, 0, 5)));
        QVERIFY_THROWS_EXCEPTION(std::exception, m_scheduler.tick(m_folder, {"a.nyd", "bad.nyd", "c.nyd"}, {}, fakeRuns()));
        QCOMPARE(m_started, QStringList({"a.nyd+R"}));
        QVERIFY(!m_scheduler.busy());
        QVERIFY(!readWholeFile(m_folder + "c.nyd").contains("SON_YEDEK"));
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
