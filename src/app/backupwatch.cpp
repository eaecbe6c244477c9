#include "app/backupwatch.h"
#include "platform/kxerror.h"
#include "scheduling/stale.h"

namespace kx {

BackupWatch::BackupWatch(NoticeBoard &notices, const QDateTime &started, const QString &version)
    : m_notices(notices), m_started(started), m_version(version)
{
}

void BackupWatch::jobSeen(JobKind kind, const QString &name, const JobFile &job)
{
    m_facts.insert(name, {kind, job.value(QStringLiteral("GRUBU")), job.isTrue(QStringLiteral("AKTIF")),
                          staleAfterSeconds(job), recordedLastRun(job)});
}

void BackupWatch::logChanged(const QStringList &lines)
{
    m_logLines = lines;
    m_recordStale = true;
}

void BackupWatch::measured(const QString &job, double seconds, std::optional<double> bytes)
{
    m_measured.insert(job, {seconds, bytes});
}

JobRunRecord BackupWatch::record(const QString &job)
{
    if (m_recordStale) {
        m_lastRuns = LastRuns::fromLogLines(m_logLines);
        m_recordStale = false;
    }
    const auto facts = m_facts.constFind(job);
    return m_lastRuns.of(job, facts == m_facts.cend() ? QDateTime() : facts->recordedLastRun);
}

void BackupWatch::tick(const QStringList &folderJobs, const QStringList &firebirdJobs, const QDateTime &now)
{
    m_jobs = folderJobs + firebirdJobs;
    QSet<QString> stale;
    for (const QString &name : std::as_const(m_jobs)) {
        const auto facts = m_facts.constFind(name);
        if (facts == m_facts.cend())
            continue;
        if (kx::isStale(facts->active, facts->staleAfter, record(name).lastSuccess, m_started, now)) {
            stale.insert(name);
            m_notices.stale(name, now.date());
        }
    }
    // A job that is no longer stale (it succeeded, was switched off or deleted) is told again
    // when it goes stale once more.
    for (const QString &name : std::as_const(m_stale))
        if (!stale.contains(name))
            m_notices.fresh(name);
    m_stale = stale;
    writeStatus();
}

void BackupWatch::writeStatus()
{
    if (m_statusFolder.isEmpty())
        return;
    QList<JobStatus> jobs;
    jobs.reserve(m_jobs.size());
    for (const QString &name : std::as_const(m_jobs)) {
        const auto facts = m_facts.constFind(name);
        if (facts == m_facts.cend())
            continue;
        const JobRunRecord r = record(name);
        const Measure m = m_measured.value(name, Measure{-1, std::nullopt});
        jobs.append({name, facts->kind, facts->group, facts->active, m_stale.contains(name), r.lastRun,
                     r.lastResult == RunResult::Unknown ? std::nullopt : std::optional(r.lastResult == RunResult::Succeeded),
                     r.lastSuccess, m.seconds < 0 ? std::nullopt : std::optional(m.seconds), m.bytes});
    }
    try {
        writeStatusFile(m_statusFolder, statusText(jobs, m_started, m_version));
        m_statusBroken = false;
    } catch (const Error &e) {
        if (!m_statusBroken)
            m_notices.failed(kStatusFileName, e.text());
        m_statusBroken = true;
    }
}

} // namespace kx
