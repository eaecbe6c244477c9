#pragma once
// "Simdi Yedekle": a job run at once, outside its schedule, from the management window or a job
// editor. Refused while a backup of the kind runs; otherwise the run of the job's current
// values is set up (its window shows it) and the job file gets its last-run keys right away,
// whatever the run then does.

#include "core/jobfile.h"
#include "core/joblist.h"

#include <QString>

namespace kx {

class RunController;

// record and password: the current job record (the job file as read, UNETSIFRE deciphered);
// jobName: the name the run carries; fileToUpdate: the job file that gets the last-run keys
// (nothing is written when there is no file there). Returns the run's number, 0 when refused.
// A last-run write that fails throws kx::Error after the run has started.
quint64 manualRun(RunController &runs, const QString &programFolder, JobKind kind, const JobFile &record,
                  const QString &password, const QString &jobName, const QString &fileToUpdate);

} // namespace kx
