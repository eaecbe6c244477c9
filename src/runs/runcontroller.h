#pragma once
// The one owner of the runs and of the in-progress flags. A run is set up here: refused while a
// run of its kind is in progress, otherwise its flag is set, its prepare step done and it is
// handed to the window hook, which starts it once its window has slid in. When the run's end
// steps are done the flag is cleared, exactly once, and the run is released; failures only the
// general error display can tell are passed on then, from here, never from the run or its
// window. The controller never waits on a run's work without a limit: a work stuck in a system
// call (a share that stopped answering) is left behind when the program ends.

#include "core/runningstate.h"
#include "runs/run.h"

#include <QHash>
#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace kx {

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

signals:
    // The run's end steps are done and its flag is clear.
    void runEnded(quint64 run, kx::RunKind kind);

private:
    void finished(Run *run);

    RunningState m_running;
    QHash<quint64, Run *> m_runs;
    quint64 m_lastId = 0;
    ViewFactory m_viewFactory;
    ErrorDisplay m_errorDisplay;
    Run::Gate m_gate;
};

} // namespace kx
