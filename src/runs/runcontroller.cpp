#include "runs/runcontroller.h"
#include "core/service.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace kx {

namespace {
std::atomic<qint64> g_noProgressMs{5 * 60 * 1000};
}

void setNoProgressTimeout(std::chrono::milliseconds timeout)
{
    g_noProgressMs = timeout.count() > 0 ? timeout.count() : 5 * 60 * 1000;
}

std::chrono::milliseconds noProgressTimeout()
{
    return std::chrono::milliseconds(g_noProgressMs.load());
}

QString waitedText(std::chrono::milliseconds waited)
{
    const qint64 seconds = std::max<qint64>(1, (waited.count() + 500) / 1000);
    return seconds % 60 == 0 ? trMsg(QStringLiteral("%1 dk")).arg(seconds / 60)
                             : trMsg(QStringLiteral("%1 sn")).arg(seconds);
}

RunController::RunController(QObject *parent) : QObject(parent)
{
    connect(&m_watch, &QTimer::timeout, this, &RunController::watch);
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
    m_progress.clear();
    m_watch.stop();
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
    if (run->watchesHeadway()) {
        m_progress.insert(run->id(), Progress{});
        // Looked at a few times within the time allowed, never more often than needed.
        m_watch.start(int(std::clamp<qint64>(noProgressTimeout().count() / 8, 10, 5000)));
    }
    connect(run, &Run::finished, this, [this, run] { finished(run); });
    try {
        run->prepare();
    } catch (...) {
        // Nothing ran: the flag goes back as it was, and the caller hears why.
        m_runs.remove(run->id());
        m_progress.remove(run->id());
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
    m_progress.remove(run->id());
    if (m_progress.isEmpty())
        m_watch.stop();
    const RunKind kind = run->kind();
    const quint64 id = run->id();
    const QStringList errors = run->takeErrors();
    // A run left behind frees itself once its work returns.
    if (!run->isAbandoned())
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

QString RunController::heldBack(const QString &jobName) const
{
    const auto it = m_hanging.constFind(jobName);
    if (jobName.isEmpty() || it == m_hanging.cend())
        return QString();
    return trMsg(QStringLiteral("Onceki yedekleme hala yanit vermeyen klasoru bekliyor: %1; yenisi baslatilmadi."))
        .arg(*it);
}

void RunController::watch()
{
    const auto limit = noProgressTimeout().count();
    QList<Run *> stuck;
    for (auto it = m_progress.begin(); it != m_progress.end(); ++it) {
        Run *run = m_runs.value(it.key());
        // The time counts from the start of the work: a window still sliding in is no stall.
        if (!run || !run->isStarted() || run->isFinished())
            continue;
        const quint64 steps = run->headway().steps();
        if (!it->since.isValid() || steps != it->steps) {
            it->steps = steps;
            it->since.start();
        } else if (it->since.elapsed() >= limit) {
            stuck.append(run);
        }
    }
    for (Run *run : std::as_const(stuck))
        stalled(run);
}

void RunController::stalled(Run *run)
{
    QStringList folders = run->headway().waitingIn();
    // Inside an archive no call is marked: the run's own two ends are what it waits on.
    if (folders.isEmpty())
        for (const QString &end : {run->display().source, run->display().target})
            if (!end.isEmpty())
                folders.append(end);
    const QString where = folders.join(QStringLiteral(", "));
    const QString job = run->jobName();
    const QString failure = trMsg(QStringLiteral("Yanit vermeyen klasor: %1; %2 boyunca ilerleme olmadi."))
                                .arg(where, waitedText(noProgressTimeout()));
    // Held back before anything hears of the end: the walk it lets go on must not start it again.
    if (!job.isEmpty())
        m_hanging.insert(job, where);
    // Ends through finished(): flag cleared, runEnded told, the run left to free itself.
    if (!run->endStalled(failure)) {
        m_hanging.remove(job);
        return;
    }
    if (!job.isEmpty())
        connect(run, &QObject::destroyed, this, [this, job] { m_hanging.remove(job); });
}

} // namespace kx
