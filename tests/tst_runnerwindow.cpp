// Runner windows: the in-progress flag, slide-in to the work area's corner with the run started
// from the slide timer, the close sequence, hiding by double click; and the progress bar.
#include "core/service.h"
#include "platform/dialogs.h"
#include "runs/progressbar.h"
#include "runs/runnerwindow.h"

#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace kx;

Q_DECLARE_METATYPE(kx::TRunnerF::Kind)

namespace {

// What a runner saw, kept outside it because the window deletes itself on close.
struct Trace {
    int runs = 0;
    QRect geometryAtRun;
    QList<int> heights; // every height the window took
    bool flagAtClose = true;
};

class Runner : public TRunnerF
{
public:
    Runner(Kind kind, bool hideOnDoubleClick, Trace &trace) : TRunnerF(kind, hideOnDoubleClick), m_trace(trace)
    {
        detail = addRow(QStringLiteral("Kaynak :"), true);
        status = addRow(QStringLiteral("Durum :"), false);
        addSureRow();
        finishLayout();
    }

    QLabel *detail;
    QLabel *status;
    bool finishAtOnce = true;

protected:
    void runWork() override
    {
        ++m_trace.runs;
        m_trace.geometryAtRun = geometry();
        if (finishAtOnce)
            finishRun();
    }
    void resizeEvent(QResizeEvent *event) override
    {
        m_trace.heights.append(height());
        TRunnerF::resizeEvent(event);
    }

private:
    Trace &m_trace;
};

bool flagOf(TRunnerF::Kind kind)
{
    const ServiceState &s = service();
    switch (kind) {
    case TRunnerF::Kind::FolderBackup:
        return s.folderBackupRunning;
    case TRunnerF::Kind::FirebirdBackup:
        return s.firebirdBackupRunning;
    case TRunnerF::Kind::FolderRestore:
        return s.folderRestoreRunning;
    case TRunnerF::Kind::FirebirdRestore:
        return s.firebirdRestoreRunning;
    }
    return false;
}

int flagsSet()
{
    const ServiceState &s = service();
    return int(s.folderBackupRunning) + int(s.firebirdBackupRunning) + int(s.folderRestoreRunning)
           + int(s.firebirdRestoreRunning);
}

bool anyTimerActive(const QObject *o)
{
    const auto timers = o->findChildren<QTimer *>();
    return std::any_of(timers.begin(), timers.end(), [](const QTimer *t) { return t->isActive(); });
}

} // namespace

class TestRunnerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Dialogs::setScripted(true); }
    void init()
    {
        resetService();
        TRunnerF::setTimings(0, 0, 1000);
    }
    void cleanup() { QCOMPARE(flagsSet(), 0); }

    void lifeCycle_data()
    {
        QTest::addColumn<TRunnerF::Kind>("kind");
        QTest::addColumn<bool>("detailed");
        QTest::newRow("folder backup, detailed") << TRunnerF::Kind::FolderBackup << true;
        QTest::newRow("firebird backup, compact") << TRunnerF::Kind::FirebirdBackup << false;
        QTest::newRow("folder restore, detailed") << TRunnerF::Kind::FolderRestore << true;
        QTest::newRow("firebird restore, compact") << TRunnerF::Kind::FirebirdRestore << false;
    }
    void lifeCycle()
    {
        QFETCH(TRunnerF::Kind, kind);
        QFETCH(bool, detailed);
        service().detailedRunners = detailed;

        Trace trace;
        QPointer<Runner> w = new Runner(kind, false, trace);
        const int clientHeight = w->clientHeight();
        QSignalSpy closed(w.data(), &TRunnerF::closed);
        connect(w.data(), &TRunnerF::closed, this, [&] { trace.flagAtClose = flagOf(kind); });
        QVERIFY(flagOf(kind));
        QCOMPARE(flagsSet(), 1);
        QCOMPARE(clientHeight, detailed ? 186 : 111);
        // Detail rows only exist in the detailed layout; plain rows always.
        QCOMPARE(w->detail != nullptr, detailed);
        QCOMPARE(w->sureValue() != nullptr, detailed);
        QVERIFY(w->status);

        w->startSlideIn();
        QVERIFY(w->isVisible());
        QCOMPARE(trace.runs, 0); // the run starts from the slide timer, not from startSlideIn

        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(trace.runs, 1);
        QVERIFY(!trace.flagAtClose);
        const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect g = trace.geometryAtRun;
        QCOMPARE(g.height(), clientHeight);
        QCOMPARE(g.width(), TRunnerF::kWidth);
        QCOMPARE(g.x(), work.x() + work.width() - TRunnerF::kWidth - 2);
        QCOMPARE(g.y() + g.height(), work.y() + work.height());
        QVERIFY(trace.heights.size() > 2); // grown step by step, not set at once
        QCOMPARE(trace.heights.last(), 0); // slid out before closing
        QTRY_VERIFY(w.isNull());
        QVERIFY(!flagOf(kind));
    }

    void doubleClick_data()
    {
        QTest::addColumn<bool>("hides");
        QTest::newRow("kind that hides") << true;
        QTest::newRow("kind that does not hide") << false;
    }
    void doubleClick()
    {
        QFETCH(bool, hides);
        TRunnerF::setTimings(15, 0, 1000);
        Trace trace;
        QPointer<Runner> w = new Runner(TRunnerF::Kind::FolderBackup, hides, trace);
        w->finishAtOnce = false;
        QSignalSpy closed(w.data(), &TRunnerF::closed);
        w->startSlideIn();
        QTRY_VERIFY(w->height() >= 20);
        const qsizetype atClick = trace.heights.size();
        QTest::mouseDClick(w.data(), Qt::LeftButton, {}, QPoint(10, 5));
        QTRY_COMPARE(trace.runs, 1);
        if (hides) {
            QTRY_COMPARE(w->height(), 0);
        } else {
            QCOMPARE(trace.geometryAtRun.height(), w->clientHeight());
            QCOMPARE(w->height(), w->clientHeight());
            QVERIFY(!anyTimerActive(w)); // nothing is left that could still move the window
        }
        QVERIFY(service().folderBackupRunning);
        w->finishRun();
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!service().folderBackupRunning);
        if (hides) {
            // Once down to 0 the window never comes back, neither for the run nor the slide-out.
            const qsizetype zero = trace.heights.indexOf(0, atClick);
            QVERIFY(zero >= atClick);
            for (qsizetype i = zero; i < trace.heights.size(); ++i)
                QCOMPARE(trace.heights.at(i), 0);
        }
        QTRY_VERIFY(w.isNull());
    }

    void progressPosition()
    {
        KxProgressBar bar;
        bar.setMaximum(100);
        bar.setPosition(40);
        QCOMPARE(bar.position(), 40);
        bar.setPosition(-1);
        QCOMPARE(bar.position(), 40);
        bar.setPosition(101);
        QCOMPARE(bar.position(), 40);
        bar.setPosition(100);
        QCOMPARE(bar.position(), 100);
        bar.setPosition(0);
        QCOMPARE(bar.position(), 0);
    }

    void progressText_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("percent");
        QTest::newRow("full") << 10 << 10 << "%100";
        QTest::newRow("no maximum") << 0 << 0 << "%0";
        QTest::newRow("tiny share rounds down") << 10001 << 1 << "%0";
        QTest::newRow("rounds to nearest") << 3 << 2 << "%67";
        QTest::newRow("half") << 10000 << 5000 << "%50";
    }
    void progressText()
    {
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(QString, percent);
        KxProgressBar bar;
        bar.setStatement(QStringLiteral("Yedekleme Islemi Tamamlandi."));
        bar.setMaximum(maximum);
        bar.setPosition(position);
        QCOMPARE(bar.text(), "Yedekleme Islemi Tamamlandi. " + percent);
    }
};

QTEST_MAIN(TestRunnerWindow)
#include "tst_runnerwindow.moc"
