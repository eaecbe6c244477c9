#pragma once
// The stale-backup watch's rule: an active job whose last successful run is older than twice its
// schedule's interval is stale, whatever the cause (runs failing, the machine off, a job file
// that cannot be written, the scheduler stopped).

#include "core/jobfile.h"

#include <QDateTime>

namespace kx {

// Twice the job's interval in seconds: PERYOT hours, days, weeks, or months of 31 days; 0 for a
// job without a schedule (never stale).
qint64 staleAfterSeconds(const JobFile &job);

// `lastSuccess` invalid: the job has no successful run on record, and is measured from `since`
// (when the watch began: the service's start).
bool isStale(bool active, qint64 staleAfter, const QDateTime &lastSuccess, const QDateTime &since,
             const QDateTime &now);

} // namespace kx
