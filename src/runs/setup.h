#pragma once
// Setting up a scheduled backup run from its job file as the scheduler loaded it: a run of the
// kind, filled from the job's keys, handed to the run controller (which shows it in its window
// and starts it once the window has slid in).

#include "core/jobfile.h"
#include "platform/worker.h"
#include "runs/run.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

namespace kx {

class RunController;
struct RunMoment;

// The run's number, or 0 when a backup of the kind is in progress. The run belongs to the moment
// given (its stamp, its log lines' day).
quint64 DosyaOtoYedekAyarla(RunController &runs, const QString &programFolder, const QString &jobName,
                            const JobFile &job, bool retention, const RunMoment &moment);
quint64 FirebirdOtoYedekAyarla(RunController &runs, const QString &programFolder, const QString &jobName,
                               const JobFile &job, bool retention, const RunMoment &moment);

// At start: every run folder of the listed jobs that a run left unfinished (the program was
// killed, the machine went down) gets its leftover temporaries removed and one failure line in
// the backup log (dated serviceDate), once. Returns how many were found. A log that cannot be
// written throws kx::Error with the writer's reason, after every run was handled.
int reportUnfinishedRuns(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs,
                         const QDate &serviceDate);

// The same at the start of the service, on a thread of its own: the targets may lie on a share
// that does not answer, and the tray and the scheduler do not wait for it. The lines are written
// on the thread the object lives on, job by job in list order. A run of a job waits, on its own
// thread, through gate() until the check has passed its job, so the check's lines come first.
class UnfinishedRunsCheck : public QObject
{
    Q_OBJECT
public:
    // Its lines are dated serviceDate.
    UnfinishedRunsCheck(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs,
                        const QDate &serviceDate, QObject *parent = nullptr);
    // Stops the check (see leave()).
    ~UnfinishedRunsCheck() override;

    void start();
    bool isDone() const { return m_done; }
    // For RunController::setWorkGate: returns once the check has passed the job (at once for a
    // job it does not list), has ended, or `cancel` is set.
    Run::Gate gate() const;
    // The program is ending: stops the check and waits `grace` at most; past that the check is
    // left behind (its thread uses nothing of this object). False when it was.
    bool leave(std::chrono::milliseconds grace);

signals:
    // Every listed job was looked at: `found` unfinished runs told.
    void done(int found);
    // A line could not be written into the backup log (told once, with the writer's reason).
    void failed(const QString &text);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QString m_programFolder;
    QStringList m_folderJobs;
    QStringList m_firebirdJobs;
    QDate m_serviceDate;
    bool m_done = false;
    Worker m_worker;
};

} // namespace kx
