// Knowing when backups stop, without a window: the stale rule, the notices the tray shows and
// the status file a monitoring system reads.
#include "testfiles.h"
#include "app/backupwatch.h"
#include "app/notices.h"
#include "app/statusfile.h"
#include "runs/oplog.h"
#include "scheduling/stale.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

using namespace kx;

namespace {

// A strict reader of the Prometheus text format (version 0.0.4) as node_exporter's textfile
// collector takes it: every family declared by HELP and TYPE before its samples, names and label
// names as the format allows, label values quoted with only \\, \" and \n escaped, one value per
// line, no series twice, a line feed after the last line. Fails the test on anything else.
struct Series {
    QString name;
    QMap<QString, QString> labels;
    double value = 0;
};

QList<Series> readStrict(const QByteArray &text)
{
    QList<Series> out;
    [&] {
        QVERIFY2(text.endsWith('\n'), "the file ends with a line feed");
        static const QRegularExpression metricName(QStringLiteral("^[a-zA-Z_:][a-zA-Z0-9_:]*$"));
        static const QRegularExpression labelName(QStringLiteral("^[a-zA-Z_][a-zA-Z0-9_]*$"));
        QSet<QString> helped, typed, seen;
        for (const QByteArray &raw : text.chopped(1).split('\n')) {
            const QString line = QString::fromUtf8(raw);
            QVERIFY2(line.toUtf8() == raw, "UTF-8 only");
            if (line.startsWith(QStringLiteral("# HELP "))) {
                const QString name = line.mid(7).section(u' ', 0, 0);
                QVERIFY(metricName.match(name).hasMatch());
                QVERIFY2(!helped.contains(name), qPrintable(name));
                helped.insert(name);
                continue;
            }
            if (line.startsWith(QStringLiteral("# TYPE "))) {
                const QStringList parts = line.mid(7).split(u' ');
                QCOMPARE(parts.size(), 2);
                QCOMPARE(parts[1], QStringLiteral("gauge"));
                QVERIFY(!typed.contains(parts[0]));
                typed.insert(parts[0]);
                continue;
            }
            QVERIFY2(!line.startsWith(u'#') && !line.isEmpty(), qPrintable(line));
            Series s;
            qsizetype i = 0;
            while (i < line.size() && line[i] != u'{' && line[i] != u' ')
                ++i;
            s.name = line.left(i);
            QVERIFY2(typed.contains(s.name) && helped.contains(s.name), qPrintable(line));
            if (i < line.size() && line[i] == u'{') {
                ++i;
                while (line[i] != u'}') {
                    const qsizetype eq = line.indexOf(u'=', i);
                    QVERIFY(eq > i);
                    const QString key = line.mid(i, eq - i);
                    QVERIFY2(labelName.match(key).hasMatch(), qPrintable(key));
                    QVERIFY(line[eq + 1] == u'"');
                    QString value;
                    qsizetype j = eq + 2;
                    for (;; ++j) {
                        QVERIFY2(j < line.size(), "unterminated label value");
                        if (line[j] == u'"')
                            break;
                        if (line[j] == u'\\') {
                            const QChar e = line[++j];
                            QVERIFY2(e == u'\\' || e == u'"' || e == u'n', "unknown escape");
                            value += e == u'n' ? u'\n' : e;
                        } else {
                            value += line[j];
                        }
                    }
                    QVERIFY(!s.labels.contains(key));
                    s.labels.insert(key, value);
                    i = j + 1;
                    if (line[i] == u',')
                        ++i;
                }
                ++i;
            }
            QVERIFY2(line[i] == u' ', qPrintable(line));
            bool ok = false;
            s.value = line.mid(i + 1).toDouble(&ok);
            QVERIFY2(ok, qPrintable(line));
            QString key = s.name;
            for (auto it = s.labels.cbegin(); it != s.labels.cend(); ++it)
                key += u'|' + it.key() + u'=' + it.value();
            QVERIFY2(!seen.contains(key), qPrintable(line));
            seen.insert(key);
            out.append(s);
        }
    }();
    return out;
}

std::optional<double> valueOf(const QList<Series> &all, const QString &name, const QString &job)
{
    for (const Series &s : all)
        if (s.name == name && s.labels.value(QStringLiteral("job")) == job)
            return s.value;
    return std::nullopt;
}

} // namespace

class TestWatch : public QObject
{
    Q_OBJECT

private slots:
    // Twice the interval, measured from the last success, or from the watch's start when the
    // job never succeeded.
    void staleRule_data()
    {
        QTest::addColumn<QByteArray>("job");
        QTest::addColumn<qint64>("hoursSinceSuccess"); // -1: no success on record
        QTest::addColumn<bool>("stale");
        const QByteArray daily = "AKTIF=True\r\nYEDEK_ZAMANI=2\r\n";
        QTest::newRow("daily, 47 h") << daily << qint64(47) << false;
        QTest::newRow("daily, 49 h") << daily << qint64(49) << true;
        QTest::newRow("hourly every 3, 5 h") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=3\r\n") << qint64(5)
                                            << false;
        QTest::newRow("hourly every 3, 7 h") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=3\r\n") << qint64(7)
                                            << true;
        QTest::newRow("weekly, 13 days") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=3\r\n") << qint64(13 * 24) << false;
        QTest::newRow("weekly, 15 days") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=3\r\n") << qint64(15 * 24) << true;
        QTest::newRow("monthly, 61 days") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=4\r\n") << qint64(61 * 24) << false;
        QTest::newRow("monthly, 63 days") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=4\r\n") << qint64(63 * 24) << true;
        QTest::newRow("switched off") << QByteArray("AKTIF=False\r\nYEDEK_ZAMANI=2\r\n") << qint64(500) << false;
        QTest::newRow("no schedule") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=9\r\n") << qint64(5000) << false;
        QTest::newRow("huge period") << QByteArray("AKTIF=True\r\nYEDEK_ZAMANI=4\r\nPERYOT=9000000000000000\r\n")
                                     << qint64(1000000) << false;
        QTest::newRow("never, watched 47 h") << daily << qint64(-1) << false;
        QTest::newRow("success in the future") << daily << qint64(-100) << false;
    }
    void staleRule()
    {
        QFETCH(QByteArray, job);
        QFETCH(qint64, hoursSinceSuccess);
        QFETCH(bool, stale);
        QTemporaryDir dir;
        kxtest::put(dir.filePath("j.nyd"), job);
        const JobFile file = JobFile::load(dir.filePath("j.nyd"));
        const QDateTime now(QDate(2026, 6, 1), QTime(12, 0));
        const QDateTime success = hoursSinceSuccess == -1 ? QDateTime() : now.addSecs(-3600 * hoursSinceSuccess);
        QCOMPARE(isStale(file.isTrue(QStringLiteral("AKTIF")), staleAfterSeconds(file), success,
                         now.addSecs(-47 * 3600), now),
                 stale);
    }

    // Failures of one scheduler walk make one notice; the jobs stay unseen until acknowledged;
    // a stale job is told once a day.
    void noticesComeInBatches()
    {
        NoticeBoard board;
        QSignalSpy notices(&board, &NoticeBoard::notice);
        QSignalSpy state(&board, &NoticeBoard::unseenChanged);
        board.setHolding(true);
        board.failed(QStringLiteral("A.nyd"), QStringLiteral("Basarisiz.Kaynak dizin bulunamadi."));
        board.failed(QStringLiteral("B.fyd"), QStringLiteral("Basarisiz.Sunucu yanit vermedi."));
        QCoreApplication::processEvents();
        QCOMPARE(notices.size(), 0);
        board.setHolding(false);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0][0].toString(), QStringLiteral("Yedekleme sorunlari"));
        QCOMPARE(notices[0][1].toString(), QStringLiteral("A.nyd: Basarisiz.Kaynak dizin bulunamadi.\n"
                                                          "B.fyd: Basarisiz.Sunucu yanit vermedi."));
        QCOMPARE(state.size(), 1);
        QCOMPARE(board.unseen().size(), 2);

        // Outside a walk: whatever comes in one turn of the event loop is one notice.
        const QDate day(2026, 6, 1);
        board.stale(QStringLiteral("C.nyd"), day);
        board.stale(QStringLiteral("C.nyd"), day);
        QVERIFY(notices.wait(1000));
        QCOMPARE(notices.size(), 2);
        QCOMPARE(notices[1][1].toString(), QStringLiteral("C.nyd: Uzun suredir basarili yedek alinamadi."));
        board.stale(QStringLiteral("C.nyd"), day);
        board.fresh(QStringLiteral("D.nyd"));
        QCoreApplication::processEvents();
        QCOMPARE(notices.size(), 2);

        board.acknowledge();
        QVERIFY(board.unseen().isEmpty());
        QCOMPARE(state.size(), 2);
        QCOMPARE(state[1][0].toBool(), false);
        // A new day, or a job that went fresh and stale again, is told again.
        board.stale(QStringLiteral("C.nyd"), day.addDays(1));
        board.fresh(QStringLiteral("C.nyd"));
        board.stale(QStringLiteral("C.nyd"), day.addDays(1));
        QVERIFY(notices.wait(1000));
        QCOMPARE(notices.last()[1].toString(), QStringLiteral("C.nyd: Uzun suredir basarili yedek alinamadi.\n"
                                                              "C.nyd: Uzun suredir basarili yedek alinamadi."));
        QCOMPARE(board.unseen().size(), 1);
    }

    // The watch over the record: a daily job without success for two days goes stale and is told
    // once that day; a good run makes it fresh; the status file follows every tick.
    void watchFollowsTheRecord()
    {
        QTemporaryDir dir;
        kxtest::put(dir.filePath("G.nyd"), "AKTIF=True\r\nYEDEK_ZAMANI=2\r\nGRUBU=Satis\r\n");
        kxtest::put(dir.filePath("K.fyd"), "AKTIF=False\r\nYEDEK_ZAMANI=2\r\n");
        const QDateTime start(QDate(2026, 6, 1), QTime(8, 0));
        NoticeBoard board;
        QSignalSpy notices(&board, &NoticeBoard::notice);
        BackupWatch watch(board, start, QStringLiteral("s3.02.11"));
        watch.setStatusFolder(dir.path());
        QStringList log{QStringLiteral("MODUL=Otomatik Yedekleme|YEDEKADI=G.nyd|TARIH=01.06.2026|SAAT=07:00:00|"
                                       "KAYNAK=/k|HEDEF=/h|DURUMU=Basarili")};
        watch.logChanged(log);
        const auto logLine = [&](const LogEntry &e) {
            log.append(formatLogLine(e));
            watch.logChanged(log);
        };
        watch.jobSeen(JobKind::Folder, QStringLiteral("G.nyd"), JobFile::load(dir.filePath("G.nyd")));
        watch.jobSeen(JobKind::Firebird, QStringLiteral("K.fyd"), JobFile::load(dir.filePath("K.fyd")));
        const auto prom = [&] { return readStrict(kxtest::contents(dir.filePath("korvanex.prom"))); };

        board.setHolding(true);
        logLine({QStringLiteral("Otomatik Yedekleme"), QStringLiteral("G.nyd"), QStringLiteral("02.06.2026"),
                          QStringLiteral("07:00:00"), QString(), QString(),
                          QStringLiteral("Basarisiz.Kaynak dizin bulunamadi.")});
        watch.tick({QStringLiteral("G.nyd")}, {QStringLiteral("K.fyd")}, start.addSecs(47 * 3600));
        QVERIFY(!watch.isStale(QStringLiteral("G.nyd")));
        QCOMPARE(valueOf(prom(), "korvanex_job_last_result", "G.nyd"), 0.0);
        QCOMPARE(valueOf(prom(), "korvanex_job_last_success_timestamp_seconds", "G.nyd"),
                 double(start.addSecs(-3600).toSecsSinceEpoch()));
        QCOMPARE(valueOf(prom(), "korvanex_job_active", "K.fyd"), 0.0);

        watch.tick({QStringLiteral("G.nyd")}, {QStringLiteral("K.fyd")}, start.addSecs(49 * 3600));
        watch.tick({QStringLiteral("G.nyd")}, {QStringLiteral("K.fyd")}, start.addSecs(50 * 3600));
        QVERIFY(watch.isStale(QStringLiteral("G.nyd")));
        QVERIFY(!watch.isStale(QStringLiteral("K.fyd"))); // switched off
        QCOMPARE(valueOf(prom(), "korvanex_job_stale", "G.nyd"), 1.0);
        board.setHolding(false);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0][1].toString(), QStringLiteral("G.nyd: Uzun suredir basarili yedek alinamadi."));

        logLine({QStringLiteral("Manuel Yedekleme"), QStringLiteral("G.nyd"), QStringLiteral("03.06.2026"),
                          QStringLiteral("10:00:00"), QString(), QString(), QStringLiteral("Basarili")});
        watch.measured(QStringLiteral("G.nyd"), 2.5, 4096);
        watch.runEnded();
        QCOMPARE(valueOf(prom(), "korvanex_job_last_size_bytes", "G.nyd"), 4096.0);
        QCOMPARE(valueOf(prom(), "korvanex_job_last_duration_seconds", "G.nyd"), 2.5);
        watch.tick({QStringLiteral("G.nyd")}, {}, QDateTime(QDate(2026, 6, 3), QTime(10, 5)));
        QVERIFY(!watch.isStale(QStringLiteral("G.nyd")));
        QCOMPARE(valueOf(prom(), "korvanex_job_stale", "G.nyd"), 0.0);
        QCOMPARE(valueOf(prom(), "korvanex_job_last_result", "G.nyd"), 1.0);
        QCOMPARE(valueOf(prom(), "korvanex_job_active", "K.fyd"), std::nullopt); // no longer listed

        // A status folder that cannot be written is told once, not at every tick.
        watch.setStatusFolder(dir.filePath("yok/yok"));
        watch.tick({QStringLiteral("G.nyd")}, {}, QDateTime(QDate(2026, 6, 3), QTime(10, 10)));
        watch.tick({QStringLiteral("G.nyd")}, {}, QDateTime(QDate(2026, 6, 3), QTime(10, 15)));
        QVERIFY(notices.wait(1000));
        QCOMPARE(notices.size(), 2);
        QVERIFY(notices[1][1].toString().startsWith(QStringLiteral("korvanex.prom: ")));
        QCoreApplication::processEvents();
        QCOMPARE(notices.size(), 2);
    }

    // The file after a good and a failed run: what a monitoring system reads, parsed strictly.
    void statusFile()
    {
        const QDateTime started(QDate(2026, 6, 1), QTime(8, 0), Qt::UTC);
        JobStatus good;
        good.name = QStringLiteral("Muhasebe.nyd");
        good.group = QStringLiteral("Satis \"A\"\\B\n");
        good.active = true;
        good.lastRun = started.addSecs(3600);
        good.lastOk = true;
        good.lastSuccess = good.lastRun;
        good.seconds = 12.5;
        good.bytes = 123456789;
        JobStatus bad;
        bad.name = QStringLiteral("Stok\u015f") + QChar(0xDCFE) + QStringLiteral(".fyd"); // a name byte that is no UTF-8
        bad.kind = JobKind::Firebird;
        bad.active = true;
        bad.stale = true;
        bad.lastRun = started.addSecs(7200);
        bad.lastOk = false;
        JobStatus idle;
        idle.name = QStringLiteral("Yeni.nyd");

        QTemporaryDir dir;
        writeStatusFile(dir.path(), statusText({good, bad, idle}, started, QStringLiteral("s3.02.11")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"korvanex.prom"});
        const QList<Series> all = readStrict(kxtest::contents(dir.filePath("korvanex.prom")));
        if (QTest::currentTestFailed())
            return;

        const QString badName = QStringLiteral("Stok\u015f\ufffd.fyd");
        QCOMPARE(valueOf(all, "korvanex_job_last_result", "Muhasebe.nyd"), 1.0);
        QCOMPARE(valueOf(all, "korvanex_job_last_result", badName), 0.0);
        QCOMPARE(valueOf(all, "korvanex_job_last_result", "Yeni.nyd"), std::nullopt);
        QCOMPARE(valueOf(all, "korvanex_job_last_run_timestamp_seconds", badName), double(bad.lastRun.toSecsSinceEpoch()));
        QCOMPARE(valueOf(all, "korvanex_job_last_success_timestamp_seconds", "Muhasebe.nyd"),
                 double(good.lastRun.toSecsSinceEpoch()));
        QCOMPARE(valueOf(all, "korvanex_job_last_success_timestamp_seconds", badName), 0.0);
        QCOMPARE(valueOf(all, "korvanex_job_last_duration_seconds", "Muhasebe.nyd"), 12.5);
        QCOMPARE(valueOf(all, "korvanex_job_last_size_bytes", "Muhasebe.nyd"), 123456789.0);
        QCOMPARE(valueOf(all, "korvanex_job_last_size_bytes", badName), std::nullopt);
        QCOMPARE(valueOf(all, "korvanex_job_stale", badName), 1.0);
        QCOMPARE(valueOf(all, "korvanex_job_stale", "Muhasebe.nyd"), 0.0);
        QCOMPARE(valueOf(all, "korvanex_job_active", "Yeni.nyd"), 0.0);
        for (const Series &s : all) {
            if (s.labels.value("job") == "Muhasebe.nyd") {
                QCOMPARE(s.labels.value("group"), good.group);
                QCOMPARE(s.labels.value("kind"), QStringLiteral("folder"));
            }
            if (s.labels.value("job") == badName)
                QCOMPARE(s.labels.value("kind"), QStringLiteral("firebird"));
        }
        QCOMPARE(valueOf(all, "korvanex_start_time_seconds", QString()), double(started.toSecsSinceEpoch()));
        bool version = false;
        for (const Series &s : all)
            version |= s.name == "korvanex_build_info" && s.labels.value("version") == "s3.02.11" && s.value == 1;
        QVERIFY(version);
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
