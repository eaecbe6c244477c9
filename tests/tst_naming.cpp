// Backup names: run stamps, run folders, archive and Firebird backup file names, the elapsed-time
// and capacity texts.
#include "core/clock.h"
#include "core/joblist.h"
#include "core/service.h"
#include "runs/naming.h"
#include "core/servicecontext.h"

#include <QLocale>
#include <QTest>

using namespace kx;

class TestNaming : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        setTranslators(nullptr, nullptr);
        QLocale::setDefault(QLocale::c());
    }

    void runStamp_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("tick");
        QTest::addColumn<QString>("expected");
        QTest::newRow("padded fields") << QDate(2024, 1, 5) << QTime(9, 5, 30) << "20240105_0905";
        // A manual run started at 14:30:02 carries the tick time five seconds earlier.
        QTest::newRow("manual run minute") << QDate(2024, 12, 31) << QTime(14, 29, 57) << "20241231_1429";
        QTest::newRow("midnight") << QDate(2023, 10, 10) << QTime(0, 0) << "20231010_0000";
    }
    void runStamp()
    {
        QFETCH(QDate, date);
        QFETCH(QTime, tick);
        QFETCH(QString, expected);
        QCOMPARE(TarihSaatCevir(date, tick), expected);
    }

    // The stamp of a run takes the tick time with the day it belongs to: a run set up after
    // midnight for a tick before it, or a tick in the first seconds of a day, never names a
    // moment that did not happen.
    void stampOfARunSetUpNow_data()
    {
        QTest::addColumn<QDateTime>("tick");
        QTest::addColumn<QDateTime>("prepared");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same minute") << QDateTime(QDate(2024, 3, 10), QTime(14, 30, 2))
                                     << QDateTime(QDate(2024, 3, 10), QTime(14, 30, 3)) << "20240310_1429";
        QTest::newRow("first seconds of a day") << QDateTime(QDate(2024, 3, 10), QTime(0, 0, 3))
                                                << QDateTime(QDate(2024, 3, 10), QTime(0, 0, 4)) << "20240310_0000";
        QTest::newRow("set up after midnight") << QDateTime(QDate(2024, 3, 10), QTime(23, 58, 10))
                                               << QDateTime(QDate(2024, 3, 11), QTime(0, 10)) << "20240310_2358";
    }
    void stampOfARunSetUpNow()
    {
        QFETCH(QDateTime, tick);
        QFETCH(QDateTime, prepared);
        QFETCH(QString, expected);
        ServiceContext context;
        clock::setNow(prepared);
        QCOMPARE(kx::runStamp(context.moment()), TarihSaatCevir(prepared.date(), QTime(0, 0))); // no tick yet
        clock::setNow(tick);
        context.takeTickTime();
        clock::setNow(prepared);
        QCOMPARE(kx::runStamp(context.moment()), expected);
        clock::setNow(QDateTime());
    }

    void folderNames()
    {
        QCOMPARE(BackSlash(QString()), QStringLiteral("/"));
        QCOMPARE(BackSlash(QStringLiteral("/yedek")), QStringLiteral("/yedek/"));
        QCOMPARE(BackSlash(QStringLiteral("/yedek/")), QStringLiteral("/yedek/"));

        QCOMPARE(jobPrefix(QStringLiteral("Ana.Kasa.nyd")), QStringLiteral("Ana_Kasa_nyd"));
        const QString run = runFolderName(QStringLiteral("Muhasebe.nyd"), QStringLiteral("20240115_1430"));
        QCOMPARE(run, QStringLiteral("Muhasebe_nyd_20240115_1430"));
        QCOMPARE(folderRunFolder(QStringLiteral("/hedef"), run, false), "/hedef/" + run);
        QCOMPARE(folderRunFolder(QStringLiteral("/hedef/"), run, true), "/hedef/" + run);
        // No second target folder: no second run folder.
        QCOMPARE(folderRunFolder(QString(), run, true), QString());
    }

    void archivePath_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last segment") << "/veri/Muhasebe" << "/h/R/Muhasebe.Zip";
        QTest::newRow("dotted source") << "/veri/eski.arsiv" << "/h/R/eski.arsiv.Zip";
        QTest::newRow("trailing separator") << "/veri/" << "/h/R/.Zip";
    }
    void archivePath()
    {
        QFETCH(QString, source);
        QFETCH(QString, expected);
        QCOMPARE(kx::archivePath(QStringLiteral("/h/R"), source), expected);
    }

    void firebirdBackupFile_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("expected");
        QTest::newRow("local") << "/h/R/" << "/db/STOK.FDB" << "/h/R/STOK.fbk";
        QTest::newRow("server prefix") << "/h/R/" << "server.x:/db/STOK.FDB" << "/h/R/STOK.fbk";
        QTest::newRow("server, bare name") << "/h/R/" << "server.x:STOK.FDB" << "/h/R/STOK.fbk";
        QTest::newRow("no extension") << "/h/R/" << "/db/STOK" << "/h/R/STOK";
        // A Windows server's path, as the run keeps it once the server is split off.
        QTest::newRow("windows folders") << "/h/R/" << "D:\\DB\\X.FDB" << "/h/R/X.fbk";
        QTest::newRow("windows, server in front") << "/h/R/" << "host.lan:D:\\DB\\X.FDB" << "/h/R/X.fbk";
        QTest::newRow("dot only in folder") << "/h/R/" << "/db.v2/STOK" << "/h/R/STOK";
        QTest::newRow("last dot only") << "/h/R/" << "/db/a.b.gdb" << "/h/R/a.b.fbk";
        QTest::newRow("target folder named like a database")
            << "/yedek/eski.FDB_arsiv/R/" << "/db/STOK.FDB" << "/yedek/eski.FDB_arsiv/R/STOK.fbk";
    }
    void firebirdBackupFile()
    {
        QFETCH(QString, run);
        QFETCH(QString, database);
        QFETCH(QString, expected);
        QCOMPARE(kx::firebirdBackupFile(run, database), expected);
    }

    void elapsedText_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("translated");
        // The short form is never translated, only the words of the long form.
        QTest::newRow("0") << qint64(0) << "0 saniye" << "0 saniye";
        QTest::newRow("59") << qint64(59) << "59 saniye" << "59 saniye";
        QTest::newRow("60") << qint64(60) << "1 dakika 0 saniye" << "1 minute 0 second";
        QTest::newRow("75") << qint64(75) << "1 dakika 15 saniye" << "1 minute 15 second";
        QTest::newRow("hours stay minutes") << qint64(3725) << "62 dakika 5 saniye" << "62 minute 5 second";
    }
    void elapsedText()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, plain);
        QFETCH(QString, translated);
        QCOMPARE(SureHesapla(seconds), plain);
        setTranslators(
            [](const QString &t) {
                if (t == QLatin1String("dakika "))
                    return QStringLiteral("minute ");
                if (t == QLatin1String("saniye"))
                    return QStringLiteral("second");
                return t;
            },
            nullptr);
        QCOMPARE(SureHesapla(seconds), translated);
    }

    void capacityText_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("megabytes");
        QTest::addColumn<QString>("expected");
        const QLocale tr(QLocale::Turkish);
        const QLocale en(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("tr thousands") << tr << 1536.0 << "1.536 MB";
        QTest::newRow("tr one decimal") << tr << 1.5 << "1,5 MB";
        QTest::newRow("tr rounded to two") << tr << 1.256 << "1,26 MB";
        QTest::newRow("tr rounds up to whole") << tr << 1.999 << "2 MB";
        QTest::newRow("tr zero") << tr << 0.0 << "0 MB";
        QTest::newRow("tr ten and a half") << tr << 10.5 << "10,5 MB";
        QTest::newRow("en thousands") << en << 1234567.25 << "1,234,567.25 MB";
        QTest::newRow("en one decimal") << en << 1.5 << "1.5 MB";
    }
    void capacityText()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, megabytes);
        QFETCH(QString, expected);
        QLocale::setDefault(locale);
        QCOMPARE(kx::capacityText(megabytes * 1024 * 1024), expected);
    }
};

QTEST_GUILESS_MAIN(TestNaming)
#include "tst_naming.moc"
