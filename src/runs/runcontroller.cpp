#include "runs/runcontroller.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace kx {

RunController::RunController(QObject *parent) : QObject(parent)
{
    // A run cut short by the end of the program leaves its folder marked unfinished; it is told
    // at the next start.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &RunController::cancelAll);
}

RunController::~RunController()
{
    leave(kEndGrace);
}

int RunController::leave(std::chrono::milliseconds grace)
{
    cancelAll();
    const QList<Run *> runs = m_runs.values();
    m_runs.clear();
    // One deadline for all: the runs stop side by side.
    const auto deadline = std::chrono::steady_clock::now() + grace;
    int left = 0;
    for (Run *run : runs) {
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!run->waitForWork(std::max(rest, std::chrono::milliseconds(0))) && run->abandon()) {
            ++left;
            continue;
        }
        delete run;
    }
    return left;
}

void RunController::cancelAll()
{
    for (Run *run : std::as_const(m_runs))
        run->cancel();
}

quint64 RunController::start(std::unique_ptr<Run> owned)
{
    if (!owned || m_running.isRunning(owned->kind()))
        return 0;
    Run *run = owned.release();
    run->setParent(this);
    run->setId(++m_lastId);
    m_runs.insert(run->id(), run);
    m_running.set(run->kind(), true);
    run->setGate(m_gate);
    connect(run, &Run::finished, this, [this, run] { finished(run); });
    try {
        run->prepare();
    } catch (...) {
        // Nothing ran: the flag goes back as it was, and the caller hears why.
        m_runs.remove(run->id());
        m_running.set(run->kind(), false);
        delete run;
        throw;
    }
    if (m_viewFactory)
        m_viewFactory(run);
    else
        run->start();
    return run->id();
}

void RunController::finished(Run *run)
{
    if (!m_runs.remove(run->id()))
        return;
    const RunKind kind = run->kind();
    const quint64 id = run->id();
    const QStringList errors = run->takeErrors();
    run->deleteLater();
    m_running.set(kind, false);
    emit runEnded(id, kind);
    if (errors.isEmpty() || !m_errorDisplay)
        return;
    // From a fresh turn of the event loop: nothing of the run is on the stack any more, and
    // whatever the display does cannot touch it.
    QTimer::singleShot(0, this, [this, errors] {
        for (const QString &e : errors)
            if (m_errorDisplay)
                m_errorDisplay(e);
    });
}

} // namespace kx
