// Job files: code page, number forms, lookup and rewrite rules, the job lists and the start-up
// normalisation.
#include "core/codepage.h"
#include "core/daytime.h"
#include "core/jobfile.h"
#include "core/joblist.h"
#include "platform/files.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kx;

class TestJobFile : public QObject
{
    Q_OBJECT

    QByteArray read(const QString &p) { return readWholeFile(p); }
    void write(const QString &p, const QByteArray &d)
    {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(d);
    }

private slots:
    void codePageRoundTripsEveryByte()
    {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        const QString text = codepage::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(codepage::encode(text), all);
        // Turkish letters sit where Windows-1254 puts them.
        QCOMPARE(codepage::decode(QByteArray("\xD0\xDD\xDE\xF0\xFD\xFE")), QStringLiteral("ĞİŞğış"));
        QCOMPARE(codepage::encode(QStringLiteral("€")), QByteArray("\x80"));
        QVERIFY(codepage::canEncode(QStringLiteral("Muhasebe Çalışma Şubesi")));
        QVERIFY(!codepage::canEncode(QStringLiteral("yedek 任务")));
        QCOMPARE(codepage::firstUnencodable(QStringLiteral("aŽb")), QChar(u'Ž'));
        QCOMPARE(codepage::toLowerByte('I'), (unsigned char)'i');
        QCOMPARE(codepage::toLowerByte(0xDE), (unsigned char)0xFE); // Ş → ş
    }

    void lineEnds()
    {
        QCOMPARE(codepage::splitLines("a\r\nb\rc\nd"), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(codepage::splitLines("a\n\nb\r\n"), QStringList({"a", "", "b"}));
        QCOMPARE(codepage::joinLines({"a", "b"}), QByteArray("a\r\nb\r\n"));
    }

    void numberForms()
    {
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        QCOMPARE(formatNumber(dayFraction(QTime(14, 30))), QStringLiteral("0,604166666666667"));
        QCOMPARE(formatNumber(dayFraction(QTime(12, 0))), QStringLiteral("0,5"));
        QCOMPARE(formatNumber(serialDay(QDate(2024, 1, 31))), QStringLiteral("45322"));
        QCOMPARE(formatNumber(0), QStringLiteral("0"));
        QCOMPARE(formatNumber(-2.25), QStringLiteral("-2,25"));
        QCOMPARE(formatNumber(0.00001), QStringLiteral("0,00001"));
        QCOMPARE(formatNumber(0.000001), QStringLiteral("1E-6"));
        QCOMPARE(formatNumber(1e15), QStringLiteral("1E15"));
        QCOMPARE(formatNumber(45322.604166666667), QStringLiteral("45322,6041666667"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(formatNumber(0.5), QStringLiteral("0.5"));

        QCOMPARE(parseNumber("0,5").value(), 0.5);
        QCOMPARE(parseNumber(" 0.5 ").value(), 0.5);
        QCOMPARE(parseNumber("45322").value(), 45322.0);
        QCOMPARE(parseNumber("1,5E-6").value(), 1.5e-6);
        QVERIFY(!parseNumber("").has_value());
        QVERIFY(!parseNumber("12:30").has_value());
        QVERIFY(!parseNumber("abc").has_value());
        QCOMPARE(dateFromSerial(45322), QDate(2024, 1, 31));
        QCOMPARE(dateFromSerial(45322.9), QDate(2024, 1, 31));
        QCOMPARE(timeFromFraction(0.604166666666667), QTime(14, 30));
        QVERIFY(!dateFromSerial(1e300).isValid());
    }

    void lookupRules()
    {
        JobFile j({"akTIF=True", "AKTIF=False", "ACIKLAMA=a=b=c", "no equals here", "=", "BOSLUK= x ",
                   "AKTIFX=1"});
        QCOMPARE(j.value("AKTIF"), QStringLiteral("True"));
        QCOMPARE(j.value("aciklama"), QStringLiteral("a=b=c"));
        QCOMPARE(j.value("BOSLUK"), QStringLiteral(" x "));
        QCOMPARE(j.value("MISSING"), QString());
        QCOMPARE(j.value("AKTI"), QString());
        QVERIFY(!j.contains("no equals here"));
        QCOMPARE(j.value(""), QString()); // the line "=" has an empty value
    }

    void rewriteRules()
    {
        JobFile j({"grubu=Muhasebe", "junk line", "ACIKLAMA=eski", "AKTIF=True"});
        j.setValue("Grubu", "Satis");     // in place, key upper case
        j.setValue("HEDEFDIZIN2", "/x");  // appended
        j.setValue("aciklama", "");       // removed
        j.setValue("MSN_IP", "");         // absent stays absent
        j.setValue("NOT", "iki\r\nsatir"); // a line break never splits the file
        QCOMPARE(j.lines(), QStringList({"GRUBU=Satis", "junk line", "AKTIF=True", "HEDEFDIZIN2=/x", "NOT=iki  satir"}));
    }

    // One boolean rule for job files (and the settings file): words in any case or numbers;
    // "exactly True" only where a job must be switched on on purpose.
    void booleans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flag"); // read with default false / true: -1 means "the default"
        QTest::addColumn<bool>("exactlyTrue");
        QTest::newRow("True") << "True" << 1 << true;
        QTest::newRow("lower case") << "true" << 1 << false;
        QTest::newRow("upper FALSE") << "FALSE" << 0 << false;
        QTest::newRow("number 0") << "0" << 0 << false;
        QTest::newRow("number 2") << "2" << 1 << false;
        QTest::newRow("blanks around") << " True " << 1 << false;
        QTest::newRow("a word") << "Evet" << -1 << false;
        QTest::newRow("missing") << QString() << -1 << false;
    }
    void booleans()
    {
        QFETCH(QString, text);
        QFETCH(int, flag);
        QFETCH(bool, exactlyTrue);
        JobFile j;
        j.setValue("A", text);
        QCOMPARE(j.flag("A", false), flag == -1 ? false : flag == 1);
        QCOMPARE(j.flag("A", true), flag == -1 ? true : flag == 1);
        QCOMPARE(j.isTrue("A"), exactlyTrue);
    }

    void integers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("negative") << "-12" << qint64(-12);
        QTest::newRow("plus sign") << "+4" << qint64(4);
        QTest::newRow("blanks around") << " 3 " << qint64(3);
        QTest::newRow("beyond 32 bits") << "99999999999" << qint64(99999999999);
        QTest::newRow("trailing letters") << "12a" << qint64(-77);
        QTest::newRow("decimal") << "1,5" << qint64(-77);
        QTest::newRow("blank inside") << "1 2" << qint64(-77);
    }
    void integers()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        JobFile j({"I=" + text});
        QCOMPARE(j.intValue("I", -77), value);
    }

    void scheduleUnitsAndPeriods_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("period");
        QTest::addColumn<qint64>("count");
        QTest::newRow("hour") << "1" << int(ScheduleUnit::Hour) << "2" << qint64(2);
        QTest::newRow("day") << "2" << int(ScheduleUnit::Day) << "0" << qint64(1);
        QTest::newRow("week") << "3" << int(ScheduleUnit::Week) << "-4" << qint64(1);
        QTest::newRow("month") << "4" << int(ScheduleUnit::Month) << "x" << qint64(1);
        QTest::newRow("five") << "5" << int(ScheduleUnit::None) << "2147483648" << qint64(2147483648);
        QTest::newRow("leading zero") << "01" << int(ScheduleUnit::None) << QString() << qint64(1);
        QTest::newRow("blank") << " 1" << int(ScheduleUnit::None) << " 7" << qint64(7);
    }
    void scheduleUnitsAndPeriods()
    {
        QFETCH(QString, unit);
        QFETCH(int, expected);
        QFETCH(QString, period);
        QFETCH(qint64, count);
        JobFile j;
        j.setValue("YEDEK_ZAMANI", unit);
        j.setValue("PERYOT", period);
        QCOMPARE(int(scheduleUnit(j)), expected);
        QCOMPARE(schedulePeriod(j), count);
    }

    void saveIsAtomicOwnerOnlyAndKeepsOddLines()
    {
        QTemporaryDir dir;
        const QString p = dir.filePath("Odd.nyd");
        QByteArray odd("KEY=v\x00z\r\n=\r\n==\r\nlone\rcr\nlf\r\n", 28);
        odd += QByteArray(1 << 20, 'x') + "\r\n\x81\x8E\xFE=\xDD\r\nlast";
        write(p, odd);
        JobFile j = JobFile::load(p);
        QCOMPARE(j.lines().size(), 9);
        QCOMPARE(j.value("KEY"), QString::fromLatin1("v\0z", 3));
        j.save(p);
        QByteArray expected = odd;
        expected.replace("lone\rcr\nlf", "lone\r\ncr\r\nlf");
        expected += "\r\n";
        QCOMPARE(read(p), expected);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(p).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        // Only the renamed file is left: no temporary beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"Odd.nyd"}));
    }

    void randomBytesNeverLoseLines()
    {
        // Bounded fuzzing of the reader: any bytes load, and a rewrite keeps every line.
        QTemporaryDir dir;
        const QString p = dir.filePath("f.nyd");
        QRandomGenerator rng(1234);
        for (int round = 0; round < 300; ++round) {
            QByteArray data(rng.bounded(400), Qt::Uninitialized);
            for (char &c : data) {
                const int r = rng.bounded(10);
                c = r == 0 ? '\r' : r == 1 ? '\n' : r == 2 ? '=' : char(rng.bounded(256));
            }
            write(p, data);
            JobFile j = JobFile::load(p);
            j.save(p);
            const JobFile again = JobFile::load(p);
            QCOMPARE(again.lines(), j.lines());
            QCOMPARE(read(p), codepage::joinLines(j.lines()));
            for (const QString &l : j.lines()) {
                const QString key = l.section(u'=', 0, 0);
                if (l.contains(u'=') && !key.isEmpty())
                    QVERIFY(!again.value(key).isNull() || l.endsWith(u'='));
            }
        }
    }

    void scanAndPaths()
    {
        QTemporaryDir dir;
        const QString f = dir.path() + "/";
        for (const char *n : {"B.fyd", "a.fyd", "c.FYD", "x.nyd.bak", "y.nyd", ".gizli.nyd", "bad\\name.nyd"})
            write(f + n, "AKTIF=True\r\n");
        QDir(f).mkdir("X.nyd");
        QDir(f).mkpath("sub");
        write(f + "sub/z.nyd", "");
        QCOMPARE(scanJobFiles(f, JobKind::Firebird), QStringList({"a.fyd", "B.fyd", "c.FYD"}));
        QCOMPARE(scanJobFiles(f, JobKind::Folder), QStringList({".gizli.nyd", "y.nyd"}));
        QCOMPARE(scanJobFiles(f + "missing", JobKind::Folder), QStringList());

        QCOMPARE(jobFilePath(dir.path(), "Muhasebe.nyd", JobKind::Folder), f + "Muhasebe.nyd");
        for (const char *bad : {"../x.nyd", "a/b.nyd", "a\\b.nyd", ".nyd", "Muhasebe.fyd", "Muhasebe", "a\tb.nyd"})
            QVERIFY_THROWS_EXCEPTION(Error, jobFilePath(f, QString::fromUtf8(bad), JobKind::Folder));
        QVERIFY_THROWS_EXCEPTION(Error, jobFilePath(f, QStringLiteral("任务.nyd"), JobKind::Folder));
        QCOMPARE(jobFilePath(f, QStringLiteral("Şube İş.nyd"), JobKind::Folder), f + QStringLiteral("Şube İş.nyd"));
    }

    void normalisation()
    {
        QTemporaryDir dir;
        const QString f = dir.path() + "/";
        write(f + "old.nyd", "YEDEK_ZAMANI=3\r\nHAFTA_SURE=2\r\nMSN_IP=10.0.0.5\r\nGUN_SURE=9\r\n");
        write(f + "a.fyd", "YEDEK_ZAMANI=1\r\nSAAT_SURE=4\r\n");
        write(f + "b.fyd", "YEDEK_ZAMANI=7\r\nPERYOT=5\r\nSAAT_SURE=4\r\n");
        const QByteArray current("PERYOT=3\nUNETYEDEK=False\nAKTIF=True");
        write(f + "new.nyd", current);
        QFile::setPermissions(f + "new.nyd", QFileDevice::ReadOwner | QFileDevice::ReadUser);
        QFileInfo before(f + "new.nyd");

        NormalizeJobFiles(f, {"a.fyd", "b.fyd"}, {"new.nyd", "old.nyd"});
        QCOMPARE(read(f + "old.nyd"),
                 QByteArray("YEDEK_ZAMANI=3\r\nHAFTA_SURE=2\r\nMSN_IP=10.0.0.5\r\nGUN_SURE=9\r\nPERYOT=2\r\nUNETYEDEK=TRUE\r\n"));
        QCOMPARE(read(f + "a.fyd"), QByteArray("YEDEK_ZAMANI=1\r\nSAAT_SURE=4\r\nPERYOT=4\r\nUNETYEDEK=FALSE\r\n"));
        // An unknown unit removes a PERYOT it had, whatever the job before it held.
        QCOMPARE(read(f + "b.fyd"), QByteArray("YEDEK_ZAMANI=7\r\nSAAT_SURE=4\r\nUNETYEDEK=FALSE\r\n"));
        // A current file is not even rewritten (a read-only one would fail otherwise).
        QCOMPARE(read(f + "new.nyd"), current);
        QCOMPARE(QFileInfo(f + "new.nyd").lastModified(), before.lastModified());

        // A listed file that is gone stops the walk with the file error; earlier ones are done.
        write(f + "c.fyd", "YEDEK_ZAMANI=2\r\nGUN_SURE=6\r\n");
        QVERIFY_THROWS_EXCEPTION(Error, NormalizeJobFiles(f, {"c.fyd", "gone.fyd", "d.fyd"}, {}));
        QVERIFY(read(f + "c.fyd").contains("PERYOT=6"));
    }
};

QTEST_GUILESS_MAIN(TestJobFile)
#include "tst_jobfile.moc"
