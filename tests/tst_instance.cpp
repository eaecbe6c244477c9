// One service per program folder: the executable copied into a folder and started twice; the
// second start ends at once and says why, the first goes on; a folder lock taken in-process
// is refused while another holder has it and free again once that holder is gone. SIGTERM ends
// the service even while a run's work is stuck in the kernel, and the next start tells of it.
#include "platform/folderlock.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

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

    // A scheduled run with a second target is stuck in the kernel while it collects its first
    // run folder for the second copy (a named pipe nobody writes stands for a share whose server
    // has gone). SIGTERM ends the service within a few seconds all the same; the second run
    // folder keeps its unfinished marker, and the next start of the real program tells of it.
    // With a second of no progress allowed (Ayar.ini), the stuck run is given up first: its
    // failure line names the folder, and the other job of the tick is backed up all the same.
    void sigtermEndsAServiceWithAStuckRun_data()
    {
        QTest::addColumn<bool>("givenUp");
        QTest::newRow("stuck until SIGTERM") << false;
        QTest::newRow("given up, the other job runs") << true;
    }
    void sigtermEndsAServiceWithAStuckRun()
    {
        QFETCH(bool, givenUp);
        QTemporaryDir dir;
        const QString program = dir.filePath("korvanex-yedek");
        QVERIFY(QFile::copy(QStringLiteral(KX_STALL_PROGRAM), program));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString first = dir.filePath("hedef1");
        const QString second = dir.filePath("hedef2");
        kxtest::put(dir.filePath("kaynak/a.txt"), "a");
        kxtest::put(dir.filePath("Kasa.nyd"), kxtest::hourlyJob(dir.filePath("kaynak"), first, "HEDEFDIZIN2=" + second + "\r\n"));
        auto logHas = [&](const QByteArray &a, const QByteArray &b) {
            QFile f(dir.filePath("backup2.kxk"));
            if (!f.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray &line : f.readAll().split('\n'))
                if (line.contains(a) && line.contains(b))
                    return true;
            return false;
        };
        if (givenUp) {
            kxtest::put(dir.filePath("Ayar.ini"), "[KxStored]\r\nILERLEMESIZ_SANIYE=1\r\n");
            kxtest::put(dir.filePath("Yerel.nyd"), kxtest::hourlyJob(dir.filePath("kaynak"), dir.filePath("yerel")));
        }
        const QString fifo = dir.filePath("durak");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString reached = dir.filePath("durdu");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcessEnvironment stalling = env;
        stalling.insert(QStringLiteral("KX_STALL_BELOW"), first);
        stalling.insert(QStringLiteral("KX_STALL_FIFO"), fifo);
        stalling.insert(QStringLiteral("KX_STALL_REACHED"), reached);
        QProcess service;
        service.setProcessEnvironment(stalling);
        service.start(program, {});
        QVERIFY(service.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(reached), 60000);
        auto markers = [&] {
            QStringList out;
            for (QDirIterator it(second, {QStringLiteral(".kx-tamamlanmadi")}, QDir::Files | QDir::Hidden,
                                 QDirIterator::Subdirectories);
                 it.hasNext();)
                out.append(it.next());
            return out;
        };
        QCOMPARE(markers().size(), 1);
        if (givenUp) {
            QTRY_VERIFY_WITH_TIMEOUT(logHas("Kasa.nyd", "Basarisiz.Yanit vermeyen klasor: " + QFile::encodeName(first)), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(logHas("Yerel.nyd", "Basarili"), 30000);
        }

        service.terminate();
        QVERIFY2(service.waitForFinished(10000), "the service did not end within 10 s of SIGTERM");
        QCOMPARE(service.exitStatus(), QProcess::NormalExit);
        QCOMPARE(service.exitCode(), 0);
        QCOMPARE(markers().size(), 1);
        const QString runFolder = QFileInfo(markers().first()).path();

        QVERIFY(QFile::remove(program));
        QVERIFY(QFile::copy(QStringLiteral(KX_PROGRAM), program));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcess next;
        next.setProcessEnvironment(env);
        next.start(program, {});
        QVERIFY(next.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(logHas("Yedekleme yarida kesildi.", QFile::encodeName(runFolder)), 20000);
        next.terminate();
        QVERIFY(next.waitForFinished(20000));
        QCOMPARE(next.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
