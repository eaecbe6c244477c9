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
};

// The runs of a job among the names of a folder, oldest first. The prefix is compared with
// letter case, and the stamp must be a valid date in eight digits, "_" and four digits.
QList<RunEntry> runList(const QStringList &names, const QString &prefix);

// The names to delete, in deletion order.
QStringList retentionPlan(const QList<RunEntry> &runs, const QString &mode, qint64 x);

// Reads the job file and deletes what its rule says. Runs that never finished are left out.
// Silent: a missing job file, target folder or failing delete just ends or skips. Touches no
// shared state, so a run may call it from its own thread.
void YedekSil(const QString &programFolder, const QString &jobName);

} // namespace kx
