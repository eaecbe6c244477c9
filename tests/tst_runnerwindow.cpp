// Runner windows: slide-in to the work area's corner with the run started once the window has
// grown, the close sequence after the run's end, hiding by double click, what the window shows of
// its run; and the progress bar.
#include "core/service.h"
#include "runs/folderbackuprun.h"
#include "runs/run.h"
#include "runs/runcontroller.h"
#include "ui/folderbackupwindow.h"
#include "ui/progressbar.h"
#include "ui/runnerwindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <thread>

using namespace kx;

Q_DECLARE_METATYPE(kx::RunKind)

namespace {

// What a window saw, kept outside it because the window deletes itself on close.
struct Trace {
    int runs = 0;
    QRect geometryAtRun;
    QList<int> heights; // every height the window took
};

// A run that does nothing but end when told (or at once).
class FakeRun : public Run
{
public:
    FakeRun(RunKind kind, bool endAtOnce) : Run(kind), m_endAtOnce(endAtOnce) {}
    void prepare() override {}
    std::atomic<bool> release{false};

protected:
    void work() override
    {
        while (!m_endAtOnce && !release && !cancelled())
            std::this_thread::yield();
        end(false);
    }

private:
    bool m_endAtOnce;
};

class Window : public TRunnerF
{
public:
    Window(Run *run, bool hideOnDoubleClick, Trace &trace, RunnerDetail layout = RunnerDetail::Detailed)
        : TRunnerF(run, run->kind(), hideOnDoubleClick, layout), m_trace(trace)
    {
        detail = addRow(QStringLiteral("Kaynak :"), true);
        status = addRow(QStringLiteral("Durum :"), false);
        addSureRow();
        finishLayout();
        connect(this, &TRunnerF::runStarting, this, [this] {
            ++m_trace.runs;
            m_trace.geometryAtRun = geometry();
        });
    }

    QLabel *detail;
    QLabel *status;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        m_trace.heights.append(height());
        TRunnerF::resizeEvent(event);
    }

private:
    Trace &m_trace;
};

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
    void init()
    {
        TRunnerF::setTimings(0, 0, 1000);
    }

    void lifeCycle_data()
    {
        QTest::addColumn<RunKind>("kind");
        QTest::addColumn<bool>("detailed");
        QTest::newRow("folder backup, detailed") << RunKind::FolderBackup << true;
        QTest::newRow("firebird backup, compact") << RunKind::FirebirdBackup << false;
        QTest::newRow("folder restore, detailed") << RunKind::FolderRestore << true;
        QTest::newRow("firebird restore, compact") << RunKind::FirebirdRestore << false;
    }
    void lifeCycle()
    {
        QFETCH(RunKind, kind);
        QFETCH(bool, detailed);

        Trace trace;
        FakeRun run(kind, true);
        QPointer<Window> w =
            new Window(&run, false, trace, detailed ? RunnerDetail::Detailed : RunnerDetail::Compact);
        const int clientHeight = w->clientHeight();
        QSignalSpy closed(w.data(), &TRunnerF::closed);
        QSignalSpy finished(&run, &Run::finished);
        QCOMPARE(clientHeight, detailed ? 186 : 111);
        // Detail rows only exist in the detailed layout; plain rows always.
        QCOMPARE(w->detail != nullptr, detailed);
        QCOMPARE(w->sureValue() != nullptr, detailed);
        QVERIFY(w->status);

        w->startSlideIn();
        QVERIFY(w->isVisible());
        // The run starts from the slide timer, not from startSlideIn.
        QCOMPARE(trace.runs, 0);
        QVERIFY(!run.isStarted());

        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(trace.runs, 1);
        QCOMPARE(finished.count(), 1);
        const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect g = trace.geometryAtRun;
        QCOMPARE(g.height(), clientHeight);
        QCOMPARE(g.width(), TRunnerF::kWidth);
        QCOMPARE(g.x(), work.x() + work.width() - TRunnerF::kWidth - 2);
        QCOMPARE(g.y() + g.height(), work.y() + work.height());
        QVERIFY(trace.heights.size() > 2); // grown step by step, not set at once
        QCOMPARE(trace.heights.last(), 0); // slid out before closing
        QTRY_VERIFY(w.isNull());
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
        FakeRun run(RunKind::FolderBackup, false);
        QPointer<Window> w = new Window(&run, hides, trace);
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
        run.release = true;
        QTRY_COMPARE(closed.count(), 1);
        if (hides) {
            // Once down to 0 the window never comes back, neither for the run nor the slide-out.
            const qsizetype zero = trace.heights.indexOf(0, atClick);
            QVERIFY(zero >= atClick);
            for (qsizetype i = zero; i < trace.heights.size(); ++i)
                QCOMPARE(trace.heights.at(i), 0);
        }
        QTRY_VERIFY(w.isNull());
    }

    // The window of a real folder backup shows that it counts, then the counts, and the bar as
    // the run moves it: full at the end of a copy.
    void folderBackupWindowShowsItsRun()
    {
        QTemporaryDir dir;
        for (const char *name : {"a.txt", "b.txt", "c.txt"}) {
            QFile f(dir.filePath(QStringLiteral("src/") + QLatin1String(name)));
            QVERIFY(QDir().mkpath(dir.filePath("src")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        FolderBackupParams p;
        p.jobName = QStringLiteral("Is.nyd");
        p.sourceFolder = dir.filePath("src");
        p.targetFolder = dir.filePath("hedef");
        p.filters = QStringList{QStringLiteral("*.*")};
        RunController controller;
        QPointer<TOtoYedekDosyaF> window;
        QString barText;
        QStringList counts;
        controller.setViewFactory([&](Run *run) {
            window = static_cast<TOtoYedekDosyaF *>(showRunWindow(run, true));
            connect(window.data(), &TRunnerF::closed, this, [&] {
                barText = window->progressBar()->text();
                counts = {window->LabelDosya->text(), window->LabelKlasor->text()};
            });
        });
        QVERIFY(controller.start(std::make_unique<FolderBackupRun>(dir.path(), p)) != 0);
        QVERIFY(window);
        QCOMPARE(window->LabelYedekAdi->text(), QStringLiteral("Is.nyd"));
        // Counted on the run's own thread, once the window has slid in.
        QCOMPARE(window->LabelDosya->text(), QStringLiteral("Sayiliyor..."));
        QTRY_VERIFY(window.isNull());
        QCOMPARE(counts.value(0), QStringLiteral("3"));
        QCOMPARE(counts.value(1), QStringLiteral("0")); // no subfolder entered
        QCOMPARE(barText, QStringLiteral("Yedekleme Islemi Tamamlandi. %100"));
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
