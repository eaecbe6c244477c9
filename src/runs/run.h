#pragma once
// One backup or restore run, without any window. The prepare step (names and texts, what a
// window shows before anything is counted) runs on the user-interface thread and never touches
// a file system: a share that stops answering must not freeze the program. Everything that does
// (the collection, the checks of paths) is the work's, on a thread of its own, which reports back
// by posting to the user-interface thread in order, so a window or a test sees the counts, the
// log lines, the progress and the end exactly in the order the work did them. Nothing of the
// work ever waits in an event loop.

#include "core/runningstate.h"
#include "platform/headway.h"
#include "platform/worker.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>
#include <atomic>
#include <functional>

namespace kx {

class OperationLog;
struct LogEntry;

// What a window of the run shows. User-interface thread only; changed() tells when.
struct RunDisplay {
    QString jobName; // "Yedek Adi :"
    QString source;  // "Kaynak Dizin", "Kaynak Dosya", "Kaynak Dizin / Dosya"
    QString target;  // "Hedef Dizin", "Hedef Dosya"
    // Counts of the files to work on (folder runs) and the size shown under "Kapasite :", once
    // the work has them; until then the window says it is counting.
    bool counted = false;
    qint64 folders = 0;
    qint64 files = 0;
    bool sized = false;
    double bytes = 0;
    // The progress bar of the folder runs: requested maximum, position and statement, in the
    // order the run asked for them (the bar applies its own rules to each).
    int barMaximum = 100;
    int barPosition = 0;
    QString barStatement;
    // How the run ended: the failure text (first line for the window, all of it on demand).
    bool ended = false;
    bool failed = false;
    QString failure;
};

class Run : public QObject
{
    Q_OBJECT
public:
    explicit Run(RunKind kind, QObject *parent = nullptr);
    // Stops the work if nothing did before (see stopWork()).
    ~Run() override;

    RunKind kind() const { return m_kind; }
    quint64 id() const { return m_id; }
    void setId(quint64 id) { m_id = id; }
    const RunDisplay &display() const { return m_display; }

    // The job a backup belongs to ("Muhasebe.nyd"); empty for a restore.
    const QString &jobName() const { return m_jobName; }

    // The prepare step, on the user-interface thread, before start(): no file-system call. A
    // failure here (memory, above all) means the run never starts.
    virtual void prepare() = 0;
    // Called first on the run's own thread, before any of its work, with the run's job: it may
    // wait (for the start-up check of that job), and should return once `cancel` is set.
    using Gate = std::function<void(const QString &jobName, const std::atomic<bool> *cancel)>;
    void setGate(Gate gate) { m_gate = std::move(gate); }
    // Starts the work on its own thread; later calls do nothing.
    void start();
    // Asks the work to stop as soon as it can (the program is ending).
    void cancel() { m_cancel = true; }
    bool isStarted() const { return m_started; }
    bool isFinished() const { return m_finished; }

    // Waits until the work has returned, `timeout` at most (user-interface thread). True when it
    // has, or never started.
    bool waitForWork(std::chrono::milliseconds timeout) { return m_worker.wait(timeout); }
    // Leaves a work that does not return (stuck in a system call) behind: it is cancelled,
    // nothing it posts from now on reaches anyone, and the run is taken from its parent and frees
    // itself once the work returns after all. Returns false, having changed nothing, when the
    // work had already returned. User-interface thread.
    bool abandon();
    bool isAbandoned() const { return m_abandoned; }

    // How far the work has come (the watch on runs that stop moving reads it).
    const Headway &headway() const { return m_headway; }
    // Whether a watch ends this run when it stops moving: folder runs; the Firebird runs bound
    // their server's answers themselves.
    virtual bool watchesHeadway() const { return false; }
    // The work stopped moving: it is left behind (see abandon()) and the run ends here as failed
    // with `failure`, told in its log line at once. False, having changed nothing, when the work
    // had returned after all (its own end is on its way) or the run has no work under way.
    // User-interface thread.
    bool endStalled(const QString &failure);

    // Failures only the general error display can tell (a log that could not be written),
    // handed over once the run has ended.
    QStringList takeErrors();

signals:
    void displayChanged();
    // The run's elapsed time starts counting now.
    void elapsedStarted();
    // The end steps are done; nothing more comes from this run.
    void finished();

protected:
    // The kind's work, on the run's own thread. Anything it throws ends the run as a failure.
    virtual void work() = 0;
    // The failure line of a run that stopped moving, written at once (user-interface thread);
    // returns why the log could not take it, or an empty text.
    virtual QString writeStallLine(const QString &status) { Q_UNUSED(status); return QString(); }

    // From the work: runs `f` on the user-interface thread after everything posted before.
    void onUi(std::function<void()> f);
    // From the work: the progress bar.
    void setBarMaximum(int maximum);
    void setBarPosition(int position); // passed on at most every few milliseconds
    void setBarStatement(std::function<QString()> text); // made on the user-interface thread
    void startElapsed();
    // From the work: the counts of what it is to work on, for the display.
    void postCounts(qint64 folders, qint64 files, qint64 bytes);
    // From the work: the size alone (the runs with one file).
    void postSize(double bytes);
    // From the work: a log line with the time of this moment and the service date of the
    // moment it is written; the texts are made on the user-interface thread (translation).
    void postLog(OperationLog &(*log)(), std::function<LogEntry(const QTime &now)> make);
    // From the work: how the run ended, then finished(). Call exactly once, last.
    void end(bool failed, const QString &failure = QString());

    // Tells the work to stop and waits for its thread; later calls do nothing. The class that
    // completes a run calls it first thing in its destructor: the work reads that class's
    // members, and by the time ~Run runs they are gone, however the run is destroyed (delete,
    // deleteLater, its parent's end).
    void stopWork();

    bool cancelled() const { return m_cancel.load(); }
    // From the work: when it was asked to stop (the program ends, or the run was given up while
    // a call of it hung), ends the run and returns true; the work then returns at once and
    // writes nothing more.
    bool stopped();
    const std::atomic<bool> *cancelFlag() const { return &m_cancel; }

    RunDisplay m_display; // user-interface thread only
    QString m_jobName;    // set before the run starts

private:
    void flushPosition();
    // The end on the user-interface thread: display, then finished().
    void showEnd(bool failed, const QString &failure);

    RunKind m_kind;
    quint64 m_id = 0;
    bool m_started = false;
    bool m_finished = false;
    std::atomic<bool> m_cancel{false};
    // The work's side of the progress bar (the work's thread only).
    bool m_endPosted = false;
    bool m_positionPending = false;
    int m_pendingPosition = 0;
    int m_workMaximum = 100;
    QElapsedTimer m_lastPosition;
    QStringList m_errors;
    Gate m_gate;
    bool m_abandoned = false; // user-interface thread
    Headway m_headway;
    Worker m_worker;
};

} // namespace kx
