// The job record's rules without a window: what a job name may be.
#include "app/jobrecord.h"

#include <QTest>

using namespace kx;

class TestJobRecord : public QObject
{
    Q_OBJECT

private slots:
    // A job file name holds at most 255 bytes on disk, its extension and every byte of a
    // character in UTF-8 counted.
    void nameLength_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        const QString s2(u'\u015F'); // "ş": two bytes
        QTest::newRow("251 bytes and the extension") << QString(251, u'a') << true;
        QTest::newRow("252 bytes and the extension") << QString(252, u'a') << false;
        QTest::newRow("two-byte letters, 251 bytes") << s2.repeated(125) + u'a' << true;
        QTest::newRow("two-byte letters, 252 bytes in 126 characters") << s2.repeated(126) << false;
    }
    void nameLength()
    {
        QFETCH(QString, name);
        QFETCH(bool, fits);
        for (JobKind kind : {JobKind::Folder, JobKind::Firebird}) {
            const QString problem = jobNameProblem(name, kind);
            QCOMPARE(problem.isEmpty(), fits);
            if (!fits)
                QCOMPARE(problem, QStringLiteral("Yedekleme adi cok uzun (%1 bayt); uzantisiyla birlikte en fazla "
                                                 "255 bayt olabilir.")
                                      .arg(name.toUtf8().size() + 4));
        }
    }
};

QTEST_GUILESS_MAIN(TestJobRecord)
#include "tst_jobrecord.moc"
