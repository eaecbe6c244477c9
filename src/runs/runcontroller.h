#pragma once
// The one owner of the runs and of the in-progress flags. A run is set up here: refused while a
// run of its kind is in progress, otherwise its flag is set, its prepare step done and it is
// handed to the window hook, which starts it once its window has slid in. When the run's end
// steps are done the flag is cleared, exactly once, and the run is released; failures only the
// general error display can tell are passed on then, from here, never from the run or its
// window. The controller never waits on a run's work without a limit: a work stuck in a system
// call (a share that stopped answering) is left behind when the program ends.
//
// It also watches the folder runs: one whose work makes no progress (no call of it returns, no
// file done, no bytes moved) for noProgressTimeout() is ended as failed, naming the folders it
// waits on and the time waited, and its work is left behind; its flag clears, so the scheduler's
// walk goes on. Until that work returns, its job is not started again (heldBack()): at most
// one work per job is ever left hanging.

#include "core/runningstate.h"
#include "runs/run.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

namespace kx {

// How long a folder run may go without progress before it is ended: five minutes unless set.
// Read from the program settings ("ILERLEMESIZ_SANIYE", seconds) at start; tests set it short.
inline constexpr char kNoProgressKey[] = "ILERLEMESIZ_SANIYE";
void setNoProgressTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds noProgressTimeout();
// "5 dk", "90 sn": the time waited, as the failure line says it.
QString waitedText(std::chrono::milliseconds waited);

class RunController : public QObject
{
    Q_OBJECT
public:
    explicit RunController(QObject *parent = nullptr);
    // Asks every run to stop and gives them kEndGrace to do so (see leave()).
    ~RunController() override;

    // How long the end of the program waits for runs to stop before it leaves them behind.
    static constexpr std::chrono::milliseconds kEndGrace{2000};

    RunningState &running() { return m_running; }
    const RunningState &running() const { return m_running; }

    // Sets the run up. Returns its number, or 0 when a run of its kind is in progress (the run
    // is then dropped). Whatever its prepare step throws comes through, with nothing set.
    quint64 start(std::unique_ptr<Run> run);

    // Called with every run right after its prepare step: the window that shows it, which
    // calls Run::start() once it has slid in. Without a hook a run starts at once.
    using ViewFactory = std::function<void(Run *)>;
    void setViewFactory(ViewFactory factory) { m_viewFactory = std::move(factory); }
    // The general error display, for failures that surface at a run's end.
    using ErrorDisplay = std::function<void(const QString &)>;
    void setErrorDisplay(ErrorDisplay display) { m_errorDisplay = std::move(display); }

    // Handed to every run before it starts (Run::setGate).
    void setWorkGate(Run::Gate gate) { m_gate = std::move(gate); }

    // Runs set up and not ended yet.
    QList<Run *> runs() const { return m_runs.values(); }
    void cancelAll();
    // The program is ending: asks every run to stop and waits `grace` at most for their works
    // to return. Runs whose work returned are freed; the others are left behind (Run::abandon),
    // their run folders still marked unfinished. Nothing is told of either. Returns how many
    // were left behind.
    int leave(std::chrono::milliseconds grace);

    // Why the job must not start now, the folders its left-behind work still waits on named, or
    // an empty text when none of its works hangs.
    QString heldBack(const QString &jobName) const;

signals:
    // The run's end steps are done and its flag is clear.
    void runEnded(quint64 run, kx::RunKind kind);

private:
    void finished(Run *run);
    void watch();
    void stalled(Run *run);

    struct Progress {
        quint64 steps = 0;
        QElapsedTimer since;
    };

    RunningState m_running;
    QHash<quint64, Run *> m_runs;
    quint64 m_lastId = 0;
    ViewFactory m_viewFactory;
    ErrorDisplay m_errorDisplay;
    Run::Gate m_gate;
    QTimer m_watch;
    QHash<quint64, Progress> m_progress;
    QHash<QString, QString> m_hanging;
};

} // namespace kx
