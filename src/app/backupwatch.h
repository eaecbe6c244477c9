#pragma once
// Knowing when backups stop: the stale-backup watch and the status file, fed by the scheduler's
// walk (the jobs it loads), the backup log (every line written) and the runs the service sees
// end. Failures and stale jobs go to the notice board; the watch and the status file read the
// same record of each job's last runs as the job lists.

#include "app/notices.h"
#include "app/statusfile.h"
#include "core/jobfile.h"
#include "runs/lastruns.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>

namespace kx {

class BackupWatch
{
public:
    // `started`: when the service started (a job that never succeeded is measured from there).
    BackupWatch(NoticeBoard &notices, const QDateTime &started, const QString &version);

    // The folder for korvanex.prom (DURUM_KLASORU); empty: no status file.
    void setStatusFolder(const QString &folder) { m_statusFolder = folder; }
    QString statusFolder() const { return m_statusFolder; }


    // A job file as the scheduler loaded it: whether it is active, its group and schedule.
    void jobSeen(JobKind kind, const QString &name, const JobFile &job);
    // The backup log's lines (oldest first) whenever they changed: the record is made again
    // from them when next needed.
    void logChanged(const QStringList &lines);
    // A backup run of `job` the service saw end: how long it took, and its size when counted.
    void measured(const QString &job, double seconds, std::optional<double> bytes);
    // The job's record: the log's, the job file's last run standing in when the log has none.
    JobRunRecord record(const QString &job);

    // At every tick, over the current job lists: each active job is checked for staleness (a
    // stale one told once a day), then the status file is written. A job not yet seen by the
    // scheduler is left out until it is.
    void tick(const QStringList &folderJobs, const QStringList &firebirdJobs, const QDateTime &now);
    // After a run: the status file again.
    void runEnded() { writeStatus(); }

    bool isStale(const QString &job) const { return m_stale.contains(job); }

private:
    struct Facts {
        JobKind kind = JobKind::Folder;
        QString group;
        bool active = false;
        qint64 staleAfter = 0;
        QDateTime recordedLastRun;
    };
    struct Measure {
        double seconds = 0;
        std::optional<double> bytes;
    };
    void writeStatus();

    NoticeBoard &m_notices;
    QDateTime m_started;
    QString m_version;
    QString m_statusFolder;
    QStringList m_logLines;
    bool m_recordStale = true;
    LastRuns m_lastRuns;
    QHash<QString, Measure> m_measured;
    QHash<QString, Facts> m_facts;
    QStringList m_jobs; // the job lists of the last tick, folder jobs first
    QSet<QString> m_stale;
    // The status file could not be written last time: told once, until a write succeeds.
    bool m_statusBroken = false;
};

} // namespace kx
