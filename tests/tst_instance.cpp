// One service per program folder: the executable copied into a folder and started twice; the
// second start ends at once and says why, the first goes on; a folder lock taken in-process
// is refused while another holder has it and free again once that holder is gone.
#include "platform/folderlock.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void lockIsExclusive()
    {
        QTemporaryDir dir;
        {
            FolderLock first(dir.path());
            QVERIFY(first.acquired());
            FolderLock second(dir.path());
            QVERIFY(!second.acquired());
            QVERIFY(second.busy());
        }
        FolderLock again(dir.path());
        QVERIFY(again.acquired());
        // A folder that cannot be opened is no second service: the program starts and says what
        // goes wrong there itself.
        const FolderLock missing(dir.filePath("yok"));
        QVERIFY(!missing.acquired());
        QVERIFY(!missing.busy());
    }

    void secondStartInTheSameFolderEnds()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath("korvanex-yedek");
        QVERIFY(QFile::copy(QStringLiteral(KX_PROGRAM), program));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        // Headless, whatever the test itself was started with.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(program, {});
        QVERIFY(first.waitForStarted());
        // The first has the folder once a lock of our own is refused.
        QTRY_VERIFY_WITH_TIMEOUT(!FolderLock(dir.path()).acquired(), 20000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(program, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("zaten calisiyor"));
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(FolderLock(dir.path()).acquired());
    }
};

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
