#pragma once
// "Simdi Yedekle": a job run at once, outside its schedule, from the management window or a job
// editor. It takes its own tick time in the service's context; it is refused while a backup of
// the kind runs; otherwise the run of the job's current values is set up (its window shows it)
// and the job file gets its last-run keys right away, whatever the run then does.

#include "core/jobfile.h"
#include "core/joblist.h"

#include <QString>

namespace kx {

class RunController;
class ServiceContext;

// What came of it: the run's number, 0 when refused; a refusal the user is to be told of, as it
// is to be shown (translated), empty otherwise.
struct ManualRunResult {
    quint64 id = 0;
    QString refusal;
};

// record and password: the current job record (the job file as read, UNETSIFRE deciphered);
// jobName: the name the run carries; fileToUpdate: the job file that gets the last-run keys
// (nothing is written when there is no file there). A last-run write that fails throws
// kx::Error after the run has started.
ManualRunResult manualRun(ServiceContext &context, RunController &runs, const QString &programFolder, JobKind kind,
                          const JobFile &record, const QString &password, const QString &jobName,
                          const QString &fileToUpdate);

} // namespace kx
