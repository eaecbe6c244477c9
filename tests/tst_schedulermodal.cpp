// The scheduler beside a modal window: the window's own event loop runs the walk on.
#include "schedulerfixture.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QTest>

using namespace kx;

class TestSchedulerModal : public kxtest::SchedulerFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // A modal window open when the tick comes (an editor, say) does not hold the runs, and the
    // runs do not hold the window: it returns as soon as it is closed.
    void modalDialogDuringATick()
    {
        writeJob("a.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("b.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        writeJob("k.fyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\n");
        QDialog dialog;
        QElapsedTimer sinceClose;
        bool walkDoneBeforeClose = false;
        // The second run never ends by itself while the dialog is open: the dialog closes in the
        // middle of the walk.
        m_duringRun = [&](const QString &name) {
            if (name == "b.nyd") {
                m_runMs = -1;
                QTimer::singleShot(0, &dialog, [&] {
                    walkDoneBeforeClose = !m_scheduler->busy();
                    sinceClose.start();
                    dialog.accept();
                });
            }
        };
        QTimer::singleShot(0, &dialog, [&] {
            clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(9, 0, 5)));
            m_scheduler->tick(m_folder, {"a.nyd", "b.nyd"}, {"k.fyd"});
        });
        dialog.exec();
        QVERIFY(sinceClose.isValid());
        QVERIFY(sinceClose.elapsed() < 2000);
        QVERIFY(!walkDoneBeforeClose);
        // Two runs went through while the dialog was open; the walk goes on after it.
        QCOMPARE(m_started, QStringList({"a.nyd+R", "b.nyd+R"}));
        QVERIFY(m_scheduler->busy());
        m_runMs = 30;
        endRun(RunKind::FolderBackup, m_lastRun);
        QTRY_VERIFY(!m_scheduler->busy());
        QCOMPARE(m_started, QStringList({"a.nyd+R", "b.nyd+R", "k.fyd+R"}));
    }
};

QTEST_MAIN(TestSchedulerModal)
#include "tst_schedulermodal.moc"
