#include "runs/lastruns.h"
#include "core/codepage.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/filetail.h"
#include "runs/oplog.h"

namespace kx {

namespace {

enum Cell { Module, Name, Date, Time, Source, Target, Status };

QDateTime loggedAt(const QString &date, const QString &time)
{
    const QDate d = QDate::fromString(date.trimmed(), QStringLiteral("dd.MM.yyyy"));
    if (!d.isValid())
        return QDateTime();
    QTime t = QTime::fromString(time.trimmed(), QStringLiteral("HH:mm:ss"));
    if (!t.isValid())
        t = QTime::fromString(time.trimmed(), QStringLiteral("HH:mm"));
    return QDateTime(d, t.isValid() ? t : QTime(0, 0));
}

bool startsWithWord(const QString &status, const QString &word)
{
    return !word.isEmpty() && status.startsWith(word, Qt::CaseInsensitive);
}

// The run of a job still being read: its lines so far.
struct OpenRun {
    QDateTime at;
    bool failed = false;
    QString status;
    QString lastTarget;
};

} // namespace

RunResult resultOfStatus(const QString &status)
{
    const QString s = status.trimmed();
    if (s.isEmpty())
        return RunResult::Unknown;
    // Lines written while the program spoke another language keep that language's words; both
    // the program's own and the present translation count.
    for (const QString &word : {QStringLiteral("Basarili"), trMsg(QStringLiteral("Basarili"))})
        if (s.compare(word, Qt::CaseInsensitive) == 0)
            return RunResult::Succeeded;
    QString failed = trMsg(QStringLiteral("Basarisiz."));
    if (failed.endsWith(u'.'))
        failed.chop(1);
    if (startsWithWord(s, QStringLiteral("Basarisiz")) || startsWithWord(s, failed))
        return RunResult::Failed;
    return RunResult::Unknown;
}

LastRuns LastRuns::fromLogLines(const QStringList &lines)
{
    LastRuns out;
    QHash<QString, OpenRun> open;
    const auto close = [&out](const QString &name, const OpenRun &run) {
        JobRunRecord &r = out.m_jobs[name];
        r.lastRun = run.at;
        r.lastStatus = run.status;
        r.lastResult = run.failed ? RunResult::Failed : RunResult::Succeeded;
        if (run.failed) {
            ++r.failuresInARow;
        } else {
            r.failuresInARow = 0;
            r.lastSuccess = run.at;
        }
    };
    for (const QString &line : lines) {
        const std::array<QString, 7> cells = parseLogLine(line);
        const QString &name = cells[Name];
        const RunResult result = resultOfStatus(cells[Status]);
        if (name.isEmpty() || result == RunResult::Unknown)
            continue;
        const bool failed = result == RunResult::Failed;
        auto it = open.find(name);
        // The second target's line reads from where the line before it wrote to.
        if (it != open.end() && !cells[Source].isEmpty() && cells[Source] == it->lastTarget) {
            if (failed && !it->failed) {
                it->failed = true;
                it->status = cells[Status];
            }
            it->lastTarget = cells[Target];
            continue;
        }
        if (it != open.end())
            close(name, *it);
        open.insert(name, OpenRun{loggedAt(cells[Date], cells[Time]), failed, cells[Status], cells[Target]});
    }
    for (auto it = open.cbegin(); it != open.cend(); ++it)
        close(it.key(), it.value());
    return out;
}

LastRuns LastRuns::fromLogFile(const QString &path)
{
    const FileTail tail = readFileTail(path, OperationLog::kMaxLines, OperationLog::kMaxBytes);
    return fromLogLines(codepage::splitLines(tail.bytes));
}

JobRunRecord LastRuns::of(const QString &jobName, const QDateTime &recorded) const
{
    const auto it = m_jobs.constFind(jobName);
    if (it != m_jobs.cend())
        return *it;
    JobRunRecord r;
    r.lastRun = recorded;
    return r;
}

QDateTime recordedLastRun(const JobFile &job)
{
    const std::optional<double> day = parseNumber(job.value(QStringLiteral("SON_YEDEK_GUNU")));
    if (!day)
        return QDateTime();
    const QDate date = dateFromSerial(*day);
    if (!date.isValid())
        return QDateTime();
    const std::optional<double> time = parseNumber(job.value(QStringLiteral("SON_YEDEK_SAATI")));
    const QTime t = time ? timeFromFraction(*time) : QTime(0, 0);
    return QDateTime(date, t.isValid() ? t : QTime(0, 0));
}

} // namespace kx
