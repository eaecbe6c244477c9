#pragma once
// How each job has been doing, read from the backup log: per job the newest run, its result, the
// newest run that succeeded and how many runs have failed one after the other since. One pass
// over the log builds the record for every job at once, so asking for a thousand jobs costs one
// hash lookup each. The job file's last-run keys stand in for the time when the log holds no
// run of a job (a log that was cleared).
//
// A run may leave more than one line: the second target's copy follows the first target's line,
// and reads from where that line wrote to. Such a line belongs to the run before it, and a run
// is successful only when every one of its lines is.

#include "core/jobfile.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace kx {

enum class RunResult { Unknown, Succeeded, Failed };

struct JobRunRecord {
    // When the newest run of the job was logged (the date and time of its first line), or, with
    // no run in the log, the last run the job file records; invalid when neither knows one.
    QDateTime lastRun;
    // The newest logged run's result; Unknown when the log holds no run of the job.
    RunResult lastResult = RunResult::Unknown;
    // The status of that run as logged: "Basarili", or the first failing line's "Basarisiz.…".
    QString lastStatus;
    // The newest logged run that succeeded; invalid when the log holds none.
    QDateTime lastSuccess;
    // Runs that failed one after the other, up to and including the newest (0 after a success).
    int failuresInARow = 0;
};

class LastRuns
{
public:
    LastRuns() = default;
    // From the backup log's lines, oldest first (OperationLog::lines()).
    static LastRuns fromLogLines(const QStringList &lines);
    // From the backup log file itself, read from its end as the log keeps it; a missing file
    // gives an empty record. Throws kx::Error when the file cannot be read.
    static LastRuns fromLogFile(const QString &path);

    // The record of one job (its job file name, "Muhasebe.nyd"). recordedLastRun: what the job's
    // file records as its last run (recordedLastRun() below), used when the log has no run of it.
    JobRunRecord of(const QString &jobName, const QDateTime &recordedLastRun = QDateTime()) const;
    // The jobs the log knows.
    QStringList jobs() const { return m_jobs.keys(); }

private:
    QHash<QString, JobRunRecord> m_jobs;
};

// The last run a job file records (SON_YEDEK_GUNU and SON_YEDEK_SAATI); invalid when the day is
// missing or unreadable. A missing time is the start of that day.
QDateTime recordedLastRun(const JobFile &job);

// A status text of the log as a result: "Basarili" (or its translation) succeeded, a text
// beginning with "Basarisiz" (or the translation of "Basarisiz.") failed, anything else is no
// result. Letter case is ignored.
RunResult resultOfStatus(const QString &status);

} // namespace kx
