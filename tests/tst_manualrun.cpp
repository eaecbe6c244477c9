// The manual run without a window: a refusal comes back for the window to show, and nothing runs
// or is written then.
#include "testfiles.h"
#include "app/manualrun.h"
#include "core/servicecontext.h"
#include "core/service.h"
#include "runs/runcontroller.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kx;

class TestManualRun : public QObject
{
    Q_OBJECT

private slots:
    void refusedWhileABackupOfItsKindRuns()
    {
        QTemporaryDir dir;
        const QString jobPath = dir.filePath(QStringLiteral("a.nyd"));
        kxtest::put(jobPath, "AKTIF=True\r\n");
        RunController runs;
        runs.running().set(RunKind::FolderBackup, true);
        ServiceContext context;
        const ManualRunResult result = manualRun(context, runs, dir.path(), JobKind::Folder, JobFile::load(jobPath), QString(),
                                                 QStringLiteral("a.nyd"), jobPath);
        QCOMPARE(result.id, quint64(0));
        QCOMPARE(result.refusal, QStringLiteral("Su an yedekleme yapiliyor.\r\nDaha sonra yeniden deneyiniz."));
        QVERIFY(runs.runs().isEmpty());
        QCOMPARE(kxtest::contents(jobPath), QByteArray("AKTIF=True\r\n"));
        runs.running().set(RunKind::FolderBackup, false);
    }
};

QTEST_GUILESS_MAIN(TestManualRun)
#include "tst_manualrun.moc"
