#pragma once
// Retention: pruning older run folders of an hourly job in its first target folder, by the
// job's mode (YEDEKSIL) and number (SILGUN). Only entries named exactly job prefix + "_" + run
// stamp are ever considered; folders of other jobs and files placed by hand are never touched.

#include <QDate>
#include <QString>
#include <QStringList>

namespace kx {

struct RunEntry {
    QString name; // as listed
    QString key;  // the run stamp
    QDate day;
    bool incomplete = false; // unfinished or failed: holds no whole backup
};

// The runs of a job among the names of a folder, oldest first. The prefix is compared with
// letter case, and the stamp must be a valid date in eight digits, "_" and four digits.
QList<RunEntry> runList(const QStringList &names, const QString &prefix);

// The names to delete, in deletion order, after the run stamped `currentKey` (listed or not). The rule counts complete runs only, and never those stamped later than
// the current run: after the clock was ahead, a folder from the "future" would otherwise count as
// the newest and make every new run delete itself. Such folders stay. The current run is never
// deleted. Unfinished and failed runs are no backups: they go once a newer complete run exists,
// unless the rule deletes nothing at all (mode "0", an unknown mode, a count below 1).
QStringList retentionPlan(const QList<RunEntry> &runs, const QString &mode, qint64 x, const QString &currentKey);

// Reads the job file and deletes what its rule says after the run whose folder is named
// `currentRun` (see retentionPlan). Silent: a missing job file, target folder or failing delete
// just ends or skips. Touches no shared state, so a run may call it from its own thread.
void YedekSil(const QString &programFolder, const QString &jobName, const QString &currentRun);

} // namespace kx
