// How each job has been doing, read from the backup log: a run's lines taken together, the
// newest run's result, the newest success and the failures in a row; the job file's last run
// where the log holds none; the log file read from its end.
#include "testfiles.h"
#include "core/codepage.h"
#include "core/daytime.h"
#include "runs/lastruns.h"
#include "runs/oplog.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using namespace kxtest;

namespace {

// One log line; "ok" and "fail" stand for the two statuses.
QString line(const QString &job, const QString &at, const QString &source, const QString &target, const QString &status)
{
    const QStringList when = at.split(u' ');
    QString s = status;
    if (s == QLatin1String("ok"))
        s = QStringLiteral("Basarili");
    else if (s == QLatin1String("fail"))
        s = QStringLiteral("Basarisiz.Kaynak dizin bulunamadi.");
    return formatLogLine({QStringLiteral("Otomatik Yedekleme"), job, when.value(0), when.value(1), source, target, s});
}

QString shown(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

} // namespace

class TestLastRuns : public QObject
{
    Q_OBJECT

private slots:
    void records_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("lastRun");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("lastSuccess");
        QTest::addColumn<int>("failuresInARow");

        const QString ok = QStringLiteral("Basarili");
        const QString noSource = QStringLiteral("Basarisiz.Kaynak dizin bulunamadi.");
        const QString second = QStringLiteral("Basarisiz.\"/yedek2\" klasoru olusturulamadi. Permission denied");
        const int succeeded = int(RunResult::Succeeded), failed = int(RunResult::Failed), unknown = int(RunResult::Unknown);

        QTest::newRow("one run")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok")} << "A.nyd"
            << "05.01.2024 22:00:04" << succeeded << ok << "05.01.2024 22:00:04" << 0;
        QTest::newRow("the second target fails the run")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok"),
                           line("A.nyd", "05.01.2024 22:00:09", "/yedek/A_nyd_1", "/yedek2/A_nyd_1", second)}
            << "A.nyd" << "05.01.2024 22:00:04" << failed << second << "" << 1;
        QTest::newRow("both targets written")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok"),
                           line("A.nyd", "05.01.2024 22:00:09", "/yedek/A_nyd_1", "/yedek2/A_nyd_1", "ok")}
            << "A.nyd" << "05.01.2024 22:00:04" << succeeded << ok << "05.01.2024 22:00:04" << 0;
        QTest::newRow("failures in a row after a success")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok"),
                           line("A.nyd", "06.01.2024 22:00:02", "/veri", "/yedek/A_nyd_2", "fail"),
                           line("A.nyd", "07.01.2024 22:00:03", "/veri", "/yedek/A_nyd_3", "fail")}
            << "A.nyd" << "07.01.2024 22:00:03" << failed << noSource << "05.01.2024 22:00:04" << 2;
        QTest::newRow("a success ends the failures")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "fail"),
                           line("A.nyd", "06.01.2024 22:00:02", "/veri", "/yedek/A_nyd_2", "ok")}
            << "A.nyd" << "06.01.2024 22:00:02" << succeeded << ok << "06.01.2024 22:00:02" << 0;
        // A Firebird run and a folder run end side by side: each job's lines are its own.
        QTest::newRow("runs of other jobs in between")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok"),
                           line("Stok.fyd", "05.01.2024 22:00:05", "/db/stok.fdb", "/yedek/stok.fbk", "ok"),
                           line("A.nyd", "05.01.2024 22:00:09", "/yedek/A_nyd_1", "/yedek2/A_nyd_1", second)}
            << "A.nyd" << "05.01.2024 22:00:04" << failed << second << "" << 1;
        QTest::newRow("a run that reads elsewhere is a run of its own")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok"),
                           line("A.nyd", "05.01.2024 22:01:00", "/veri", "/yedek/A_nyd_2", "fail")}
            << "A.nyd" << "05.01.2024 22:01:00" << failed << noSource << "05.01.2024 22:00:04" << 1;
        // The scheduler's own lines (a job file it could not record into) name no folders.
        QTest::newRow("a line without folders")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "ok"),
                           line("A.nyd", "05.01.2024 22:00:05", "", "", "Basarisiz.Son yedekleme zamani kaydedilemedi:")}
            << "A.nyd" << "05.01.2024 22:00:05" << failed << "Basarisiz.Son yedekleme zamani kaydedilemedi:"
            << "05.01.2024 22:00:04" << 1;
        QTest::newRow("status letter case")
            << QStringList{line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek/A_nyd_1", "BASARILI"),
                           line("A.nyd", "06.01.2024 22:00:04", "/veri", "/yedek/A_nyd_2", "basarisiz.x")}
            << "A.nyd" << "06.01.2024 22:00:04" << failed << "basarisiz.x" << "05.01.2024 22:00:04" << 1;
        QTest::newRow("lines that are no run")
            << QStringList{QStringLiteral("MODUL=X"), QStringLiteral(""),
                           line("", "05.01.2024 22:00:04", "/veri", "/yedek", "ok"),
                           line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek", "yarim satir")}
            << "A.nyd" << "" << unknown << "" << "" << 0;
        QTest::newRow("a date that cannot be read keeps the result")
            << QStringList{line("A.nyd", "5/1/2024 10:00", "/veri", "/yedek", "ok")} << "A.nyd" << "" << succeeded
            << ok << "" << 0;
        QTest::newRow("names are exact")
            << QStringList{line("a.nyd", "05.01.2024 22:00:04", "/veri", "/yedek", "ok")} << "A.nyd" << "" << unknown
            << "" << "" << 0;
    }
    void records()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, job);
        const JobRunRecord r = LastRuns::fromLogLines(lines).of(job);
        QTEST(shown(r.lastRun), "lastRun");
        QTEST(int(r.lastResult), "result");
        QTEST(r.lastStatus, "status");
        QTEST(shown(r.lastSuccess), "lastSuccess");
        QTEST(r.failuresInARow, "failuresInARow");
    }

    // The job file's last run is what is known of a job the log does not name (a cleared log);
    // the log's newest run wins over it.
    void jobFileStandsIn_data()
    {
        QTest::addColumn<QByteArray>("jobFile");
        QTest::addColumn<bool>("logged");
        QTest::addColumn<QString>("lastRun");
        QTest::addColumn<int>("result");
        const QByteArray recorded = "SON_YEDEK_GUNU=45295\r\nSON_YEDEK_SAATI=0,9375\r\n"; // 2024-01-04 22:30
        QTest::newRow("not logged") << recorded << false << "04.01.2024 22:30:00" << int(RunResult::Unknown);
        QTest::newRow("logged") << recorded << true << "05.01.2024 22:00:04" << int(RunResult::Succeeded);
        QTest::newRow("a point as separator") << QByteArray("SON_YEDEK_GUNU=45295\r\nSON_YEDEK_SAATI=0.5\r\n") << false
                                              << "04.01.2024 12:00:00" << int(RunResult::Unknown);
        QTest::newRow("day without time") << QByteArray("SON_YEDEK_GUNU=45295\r\n") << false << "04.01.2024 00:00:00"
                                          << int(RunResult::Unknown);
        QTest::newRow("never ran") << QByteArray("AKTIF=True\r\n") << false << "" << int(RunResult::Unknown);
        QTest::newRow("unreadable day") << QByteArray("SON_YEDEK_GUNU=dun\r\n") << false << "" << int(RunResult::Unknown);
    }
    void jobFileStandsIn()
    {
        QFETCH(QByteArray, jobFile);
        QFETCH(bool, logged);
        QTemporaryDir dir;
        put(dir.filePath("A.nyd"), jobFile);
        const JobFile job = JobFile::load(dir.filePath("A.nyd"));
        QStringList lines;
        if (logged)
            lines.append(line("A.nyd", "05.01.2024 22:00:04", "/veri", "/yedek", "ok"));
        const JobRunRecord r = LastRuns::fromLogLines(lines).of("A.nyd", recordedLastRun(job));
        QTEST(shown(r.lastRun), "lastRun");
        QTEST(int(r.lastResult), "result");
    }

    // A thousand jobs in a log the size the program keeps, read from the file: every job has
    // its own record, from its own lines only.
    void manyJobsFromTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("backup2.kxk");
        QStringList lines;
        for (int i = 0; i < OperationLog::kMaxLines; ++i) {
            const int job = i % 1000;
            const int round = i / 1000;
            // Job n fails in its round n % 5, and only there.
            lines.append(line(QStringLiteral("Is%1.nyd").arg(job), QStringLiteral("%1.01.2024 10:%2:00").arg(round + 10).arg(job % 60, 2, 10, QChar(u'0')),
                              QStringLiteral("/veri/%1").arg(job), QStringLiteral("/yedek/%1/%2").arg(job).arg(round),
                              job % 5 == round ? QStringLiteral("fail") : QStringLiteral("ok")));
        }
        // Older lines beyond what the log keeps are not read.
        put(path, QByteArray("MODUL=M|YEDEKADI=Eski.nyd|TARIH=01.01.2020|SAAT=10:00:00|DURUMU=Basarisiz.\r\n")
                      + codepage::joinLines(lines));
        const LastRuns runs = LastRuns::fromLogFile(path);
        QCOMPARE(runs.jobs().size(), 1000);
        for (int job = 0; job < 1000; ++job) {
            const JobRunRecord r = runs.of(QStringLiteral("Is%1.nyd").arg(job));
            const bool failedLast = job % 5 == 4;
            QCOMPARE(r.lastResult, failedLast ? RunResult::Failed : RunResult::Succeeded);
            QCOMPARE(r.failuresInARow, failedLast ? 1 : 0);
            QCOMPARE(r.lastRun.date(), QDate(2024, 1, 14));
            QCOMPARE(r.lastSuccess.date(), QDate(2024, 1, failedLast ? 13 : 14));
        }
        QCOMPARE(LastRuns::fromLogFile(dir.filePath("yok.kxk")).jobs().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLastRuns)
#include "tst_lastruns.moc"
