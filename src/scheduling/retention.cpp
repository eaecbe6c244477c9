#include "scheduling/retention.h"
#include "core/jobfile.h"
#include "core/joblist.h"
#include "platform/folderdelete.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "scheduling/unfinished.h"

#include <QRegularExpression>
#include <algorithm>

namespace kx {

QList<RunEntry> runList(const QStringList &names, const QString &prefix)
{
    static const QRegularExpression stamp(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})_\\d{4}$"));
    const QString lead = prefix + u'_';
    QList<RunEntry> runs;
    for (const QString &name : names) {
        if (!name.startsWith(lead, Qt::CaseSensitive))
            continue;
        const QString key = name.mid(lead.size());
        const QRegularExpressionMatch m = stamp.match(key);
        if (!m.hasMatch())
            continue;
        const QDate day(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!day.isValid())
            continue;
        runs.append({name, key, day});
    }
    std::sort(runs.begin(), runs.end(), [](const RunEntry &a, const RunEntry &b) { return a.key < b.key; });
    return runs;
}

namespace {

QStringList ruleDeletions(const QList<RunEntry> &runs, const QString &mode, qint64 x)
{
    QStringList doomed;
    const qsizetype n = runs.size();
    if (mode == QLatin1String("1")) {
        if (x > 0 && x < n)
            for (qsizetype i = 0; i < n - x; ++i)
                doomed.append(runs.at(i).name);
    } else if ((mode == QLatin1String("2") || mode == QLatin1String("3")) && x > 0 && n > 0) {
        const QDate threshold = runs.last().day.addDays(-x);
        for (qsizetype i = 0; i < n; ++i) {
            const RunEntry &run = runs.at(i);
            if (run.day >= threshold)
                continue;
            if (mode == QLatin1String("2")) {
                doomed.append(run.name);
                continue;
            }
            // Mode 3 keeps the newest run of each such day: this one goes unless no later run
            // of the same day follows it.
            if (i + 1 < n && runs.at(i + 1).day == run.day)
                doomed.append(run.name);
        }
    }
    return doomed;
}

bool ruleDeletes(const QString &mode, qint64 x)
{
    return x > 0 && (mode == QLatin1String("1") || mode == QLatin1String("2") || mode == QLatin1String("3"));
}

} // namespace

QStringList retentionPlan(const QList<RunEntry> &runs, const QString &mode, qint64 x, const QString &currentKey)
{
    QList<RunEntry> complete;
    QList<RunEntry> incomplete;
    for (const RunEntry &run : runs) {
        if (run.key > currentKey)
            continue; // stamped later than this run: not ours to judge
        (run.incomplete ? incomplete : complete).append(run);
    }
    QStringList doomed = ruleDeletions(complete, mode, x);
    if (ruleDeletes(mode, x) && !complete.isEmpty())
        for (const RunEntry &run : incomplete)
            if (run.key < complete.last().key)
                doomed.append(run.name);
    doomed.removeIf([&](const QString &name) {
        return std::any_of(runs.cbegin(), runs.cend(),
                           [&](const RunEntry &r) { return r.name == name && r.key == currentKey; });
    });
    return doomed;
}

void YedekSil(const QString &programFolder, const QString &jobName, const QString &currentRun)
{
    try {
        const JobFile job = JobFile::load(jobFilePath(programFolder, jobName, jobKindOf(jobName)));
        const QString mode = job.value(QStringLiteral("YEDEKSIL"));
        const qint64 x = job.intValue(QStringLiteral("SILGUN"), 1);
        const QString target = job.value(QStringLiteral("HEDEF_DIZIN"));
        if (target.isEmpty() || scheduleUnit(job) != ScheduleUnit::Hour)
            return;
        const QString prefix = jobPrefix(jobName);
        if (!currentRun.startsWith(prefix + u'_'))
            return; // no run to measure the others by
        QStringList names;
        for (const DirEntry &e : listDirectory(target))
            names.append(e.name);
        const QString folder = target.endsWith(u'/') ? target : target + u'/';
        QList<RunEntry> runs = runList(names, prefix);
        for (RunEntry &r : runs)
            r.incomplete = isUnfinished(folder + r.name);
        for (const QString &name : retentionPlan(runs, mode, x, currentRun.mid(prefix.size() + 1)))
            deleteFolderTree(folder + name);
    } catch (const Error &) {
        // Retention never interrupts the run that called it.
    }
}

} // namespace kx
