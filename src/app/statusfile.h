#pragma once
// The status file for monitoring: every job's last runs in the Prometheus text format that
// node_exporter's textfile collector reads, so one administrator watches many machines from the
// monitoring system they already have. Written whole and atomically, so a scrape never sees half
// a file.

#include "core/joblist.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace kx {

// One job as the status file shows it.
struct JobStatus {
    QString name; // the job file's name, "Muhasebe.nyd"
    JobKind kind = JobKind::Folder;
    QString group;
    bool active = false;
    bool stale = false;
    QDateTime lastRun;             // invalid: never ran (written as 0)
    std::optional<bool> lastOk;    // the last run's result; none before the first
    QDateTime lastSuccess;         // invalid: no successful run on record (written as 0)
    std::optional<double> seconds; // the last run's duration, when this service saw it
    std::optional<double> bytes;   // the last run's size, when this service saw it
};

inline const QString kStatusFileName = QStringLiteral("korvanex.prom");

// The file's text: per job the gauges korvanex_job_last_run_timestamp_seconds,
// korvanex_job_last_success_timestamp_seconds, korvanex_job_last_result (1/0),
// korvanex_job_last_duration_seconds, korvanex_job_last_size_bytes, korvanex_job_active and
// korvanex_job_stale, labelled job, kind (folder/firebird) and group; for the service
// korvanex_start_time_seconds and korvanex_build_info{version}.
QByteArray statusText(const QList<JobStatus> &jobs, const QDateTime &started, const QString &version);

// Writes `text` as korvanex.prom in `folder` (atomically). Throws kx::Error when it cannot.
void writeStatusFile(const QString &folder, const QByteArray &text);

} // namespace kx
