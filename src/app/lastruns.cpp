#include "app/lastruns.h"
#include "app/notices.h"

namespace kx {

void LastRuns::load(const QStringList &lines)
{
    m_jobs.clear();
    for (const QString &line : lines) {
        const std::array<QString, 7> cells = parseLogLine(line);
        add(cells[1], cells[2], cells[3], cells[6]);
    }
}

void LastRuns::add(const LogEntry &entry)
{
    add(entry.name, entry.date, entry.time, entry.status);
}

void LastRuns::add(const QString &job, const QString &date, const QString &time, const QString &status)
{
    if (job.isEmpty())
        return;
    const QDateTime when(QDate::fromString(date, QStringLiteral("dd.MM.yyyy")),
                         QTime::fromString(time, QStringLiteral("HH:mm:ss")));
    // A line without a readable moment still tells the result; only its time is unknown.
    LastRun &r = m_jobs[job];
    const bool ok = !isFailureStatus(status);
    r.lastOk = ok;
    if (when.isValid())
        r.lastRun = when;
    if (ok && when.isValid())
        r.lastSuccess = when;
}

void LastRuns::measured(const QString &job, double seconds, std::optional<double> bytes)
{
    LastRun &r = m_jobs[job];
    r.seconds = seconds;
    r.bytes = bytes;
}

} // namespace kx
