// Retention of hourly runs, end to end from the job file, and the folder delete it relies on.
#include "core/jobfile.h"
#include "core/service.h"
#include "platform/folderdelete.h"
#include "scheduling/retention.h"
#include "scheduling/unfinished.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;

namespace {

const QString kJob = QStringLiteral("Muhasebe.nyd");

// Names beside the runs that must never count as runs nor be deleted. Their dates are the
// oldest, so a rule that took them for runs would delete them first.
const QStringList kStrangers = {
    QStringLiteral("Muhasebe_nyd_eski_nyd_20240101_1000"), // the runs of job "Muhasebe_nyd_eski.nyd"
    QStringLiteral("muhasebe_nyd_20240101_1000"),          // other letter case
    QStringLiteral("Muhasebe_nyd_20241301_1000"),          // month 13
    QStringLiteral("Muhasebe_nyd_20240101_10000"),
    QStringLiteral("Muhasebe_nyd_20240101_١٠٠٠"), // digits, but not ASCII ones
};
const QString kNotes = QStringLiteral("Muhasebe_nyd_notes.txt");

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write("x");
}

// A run folder as a backup leaves it: files and a sub-folder.
void makeRun(const QString &folder)
{
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/alt")));
    touch(folder + QStringLiteral("/Muhasebe.Zip"));
    touch(folder + QStringLiteral("/alt/a.txt"));
}

QStringList stamps(int firstDay, int lastDay, const QStringList &times)
{
    QStringList out;
    for (int d = firstDay; d <= lastDay; ++d)
        for (const QString &t : times)
            out.append(QStringLiteral("Muhasebe_nyd_202401%1_%2").arg(d, 2, 10, QLatin1Char('0')).arg(t));
    return out;
}

QStringList without(QStringList all, const QStringList &gone)
{
    for (const QString &g : gone)
        all.removeAll(g);
    return all;
}

QStringList listed(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    names.sort();
    return names;
}

} // namespace

class TestRetention : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program, m_target, m_target2;

    void writeJob(const QString &mode, const QString &days, const QString &unit, const QString &target)
    {
        JobFile job;
        job.setValue(QStringLiteral("HEDEF_DIZIN"), target);
        job.setValue(QStringLiteral("HEDEFDIZIN2"), m_target2);
        job.setValue(QStringLiteral("YEDEKSIL"), mode);
        job.setValue(QStringLiteral("SILGUN"), days);
        job.setValue(QStringLiteral("YEDEK_ZAMANI"), unit);
        job.save(m_program + u'/' + kJob);
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).removeRecursively());
        m_program = m_dir.filePath(QStringLiteral("program"));
        m_target = m_dir.filePath(QStringLiteral("hedef"));
        m_target2 = m_dir.filePath(QStringLiteral("hedef2"));
        QVERIFY(QDir().mkpath(m_program));
    }

    void rules_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("runs");
        QTest::addColumn<QStringList>("deleted");

        // Two runs on one day: order is by the whole stamp, not by the day alone.
        const QStringList six = stamps(1, 3, {"0900", "1700"});
        QTest::newRow("count keeps 3 of 6") << "1" << "3" << "1" << six << six.mid(0, 3);
        QTest::newRow("count keeps 6 of 6") << "1" << "6" << "1" << six << QStringList();
        QTest::newRow("count unreadable means 1") << "1" << "abc" << "1" << six << six.mid(0, 5);
        QTest::newRow("count with blanks around") << "1" << " 3" << "1" << six << six.mid(0, 3);
        QTest::newRow("count, daily job") << "1" << "1" << "2" << six << QStringList();
        QTest::newRow("unknown mode") << "9" << "1" << "1" << six << QStringList();

        const QStringList daily = stamps(5, 15, {"1200"});
        QTest::newRow("days before newest minus 7") << "2" << "7" << "1" << daily << stamps(5, 7, {"1200"});

        const QStringList hourly = stamps(5, 15, {"0900", "1300", "1700"});
        QTest::newRow("last of each older day") << "3" << "7" << "1" << hourly << stamps(5, 7, {"0900", "1300"});
    }
    void rules()
    {
        QFETCH(QString, mode);
        QFETCH(QString, days);
        QFETCH(QString, unit);
        QFETCH(QStringList, runs);
        QFETCH(QStringList, deleted);

        for (const QString &target : {m_target, m_target2}) {
            for (const QString &r : runs + kStrangers)
                makeRun(target + u'/' + r);
            touch(target + u'/' + kNotes);
        }
        const QStringList before = listed(m_target);
        writeJob(mode, days, unit, m_target);

        YedekSil(m_program, kJob, runs.last());

        QCOMPARE(listed(m_target), without(before, deleted));
        QCOMPARE(listed(m_target2), before);
    }

    // Retention measures the others by the run that called it: later stamps (a clock that was
    // ahead) neither count nor go, the current run never goes, and unfinished or failed runs are
    // no backups: they go once a newer complete run exists.
    void aroundTheCurrentRun_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QStringList>("runs");
        QTest::addColumn<QStringList>("unfinished");
        QTest::addColumn<QStringList>("failed");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("deleted");
        const QStringList six = stamps(1, 3, {"0900", "1700"});
        const QString future = QStringLiteral("Muhasebe_nyd_20250101_1200");
        QTest::newRow("clock was ahead, keep 2") << "1" << "2" << six + QStringList{future} << QStringList()
                                                 << QStringList() << six.last() << six.mid(0, 4);
        QTest::newRow("clock was ahead, keep 1") << "1" << "1" << six + QStringList{future} << QStringList()
                                                 << QStringList() << six.last() << six.mid(0, 5);
        // The run just made on a clock a day back: today's runs are later and stay.
        QTest::newRow("clock a day back") << "1" << "1" << six << QStringList() << QStringList() << six.at(1)
                                          << six.mid(0, 1);
        const QStringList four = stamps(1, 4, {"1200"});
        QTest::newRow("days counted from the current run") << "2" << "1" << four + QStringList{future}
                                                           << QStringList() << QStringList() << four.last()
                                                           << four.mid(0, 2);
        QTest::newRow("failed and unfinished go, keep 3") << "1" << "3" << six << QStringList{six.at(4)}
                                                          << QStringList{six.at(1)} << six.last()
                                                          << QStringList{six.at(0), six.at(1), six.at(4)};
        QTest::newRow("incomplete, kept 6 of 4 complete") << "1" << "6" << six << QStringList{six.at(0)}
                                                          << QStringList{six.at(3)} << six.last()
                                                          << QStringList{six.at(0), six.at(3)};
        // A broken 17:00 is not the run that stands for its day.
        QTest::newRow("last of day, failed 17:00") << "3" << "1" << six << QStringList() << QStringList{six.at(1)}
                                                   << six.last() << QStringList{six.at(1)};
        QTest::newRow("never delete keeps failed ones") << "0" << "1" << six << QStringList{six.at(0)}
                                                        << QStringList{six.at(2)} << six.last() << QStringList();
        QTest::newRow("later unfinished stays") << "1" << "1" << six + QStringList{future} << QStringList{future}
                                                << QStringList() << six.last() << six.mid(0, 5);
        // The run folder was there already (same minute, overwrite off) and never finished.
        QTest::newRow("current unfinished stays") << "1" << "1" << six << QStringList{six.last()} << QStringList()
                                                  << six.last() << six.mid(0, 4);
    }
    void aroundTheCurrentRun()
    {
        QFETCH(QString, mode);
        QFETCH(QString, days);
        QFETCH(QStringList, runs);
        QFETCH(QStringList, unfinished);
        QFETCH(QStringList, failed);
        QFETCH(QString, current);
        QFETCH(QStringList, deleted);
        for (const QString &r : runs)
            makeRun(m_target + u'/' + r);
        for (const QString &r : unfinished + failed)
            markUnfinished({m_target + u'/' + r, QStringLiteral("Otomatik Yedekleme"), kJob, QString(), QString()});
        for (const QString &r : failed)
            markFailed(m_target + u'/' + r);
        const QStringList before = listed(m_target);
        writeJob(mode, days, QStringLiteral("1"), m_target);
        YedekSil(m_program, kJob, current);
        QCOMPARE(listed(m_target), without(before, deleted));
    }

    void missingPiecesDoNothing()
    {
        // The job file is missing.
        makeRun(m_target + QStringLiteral("/Muhasebe_nyd_20240101_1000"));
        makeRun(m_target + QStringLiteral("/Muhasebe_nyd_20240102_1000"));
        YedekSil(m_program, kJob, QStringLiteral("Muhasebe_nyd_20240102_1000"));
        QCOMPARE(listed(m_target).size(), 2);

        // The target folder is missing.
        writeJob(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), m_dir.filePath(QStringLiteral("yok")));
        YedekSil(m_program, kJob, QStringLiteral("Muhasebe_nyd_20240102_1000"));
        QCOMPARE(listed(m_target).size(), 2);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("yok"))));
    }

    void deleteLeavesLinkTargets()
    {
        const QString run = m_dir.filePath(QStringLiteral("run"));
        const QString outside = m_dir.filePath(QStringLiteral("disari"));
        makeRun(run);
        makeRun(outside);
        QVERIFY(QFile::link(outside, run + QStringLiteral("/baglanti")));
        QVERIFY(QFile::link(outside + QStringLiteral("/Muhasebe.Zip"), run + QStringLiteral("/dosyabag")));
        touch(run + QStringLiteral("/salt.txt"));
        QVERIFY(QFile::setPermissions(run + QStringLiteral("/salt.txt"), QFileDevice::ReadOwner));

        QVERIFY(deleteFolderTree(run + u'/'));
        QVERIFY(!QFileInfo::exists(run));
        QCOMPARE(listed(outside), QStringList({"Muhasebe.Zip", "alt"}));
        QCOMPARE(listed(outside + QStringLiteral("/alt")), QStringList{"a.txt"});
    }

    void deleteRefusesNonFolders()
    {
        const QString real = m_dir.filePath(QStringLiteral("gercek"));
        const QString link = m_dir.filePath(QStringLiteral("bag"));
        const QString file = m_dir.filePath(QStringLiteral("dosya.txt"));
        makeRun(real);
        touch(file);
        QVERIFY(QFile::link(real, link));

        QVERIFY(!deleteFolderTree(file));
        // With or without a trailing separator, a link to a folder is not the folder.
        QVERIFY(!deleteFolderTree(link));
        QVERIFY(!deleteFolderTree(link + u'/'));
        QVERIFY(QFileInfo::exists(file));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(listed(real), QStringList({"Muhasebe.Zip", "alt"}));
        QVERIFY(!deleteFolderTree(QString()));
    }
};

QTEST_GUILESS_MAIN(TestRetention)
#include "tst_retention.moc"
