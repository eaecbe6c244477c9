#include "runs/runcontroller.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

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
    cancelAll();
    const QList<Run *> left = m_runs.values();
    m_runs.clear();
    qDeleteAll(left); // each waits for its thread
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
