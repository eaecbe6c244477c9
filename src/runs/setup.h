#pragma once
// Setting up a scheduled backup run from its job file as the scheduler loaded it: a run of the
// kind, filled from the job's keys, handed to the run controller (which shows it in its window
// and starts it once the window has slid in).

#include "core/jobfile.h"

#include <QDate>
#include <QString>
#include <QStringList>

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

} // namespace kx
