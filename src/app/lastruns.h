#pragma once
// One record of each job's last runs, kept from the backup log (and, while the service runs,
// from what it sees of each run). The notices, the stale watch, the status file and the job
// lists all read it, so they never disagree.

#include "runs/oplog.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

namespace kx {

struct LastRun {
    QDateTime lastRun;           // when the newest log line of the job was written
    std::optional<bool> lastOk;  // that line's result
    QDateTime lastSuccess;       // the newest successful line
    std::optional<double> seconds; // the last run this service saw: how long it took
    std::optional<double> bytes;   // and how many bytes it backed up, when it counted them
};

class LastRuns
{
public:
    // From the backup log's lines, oldest first (as the log keeps them): one pass.
    void load(const QStringList &lines);
    // A line written to the backup log.
    void add(const LogEntry &entry);
    // A run of `job` the service saw end: its duration, and its size when known.
    void measured(const QString &job, double seconds, std::optional<double> bytes);

    // The job's record; empty when the log holds nothing of it.
    LastRun value(const QString &job) const { return m_jobs.value(job); }

private:
    void add(const QString &job, const QString &date, const QString &time, const QString &status);

    QHash<QString, LastRun> m_jobs;
};

} // namespace kx
