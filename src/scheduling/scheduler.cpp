#include "scheduling/scheduler.h"
#include "core/clock.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/termination.h"

#include <QMetaObject>
#include <cmath>

namespace kx {

namespace {

// Rounding of the stored 15-digit numbers must not turn exactly two hours into 1.999...
constexpr double kEpsilon = 1e-9;

// A last run recorded later than now (a clock that was ahead when it was recorded) says nothing
// about when the job ran: the job is due rather than waiting until that moment comes round.
bool recordedInFuture(const JobFile &job, double today, double now)
{
    const std::optional<double> day = parseNumber(job.value(QStringLiteral("SON_YEDEK_GUNU")));
    if (!day)
        return false;
    if (*day > today + kEpsilon)
        return true;
    if (*day < today - kEpsilon)
        return false;
    const std::optional<double> time = parseNumber(job.value(QStringLiteral("SON_YEDEK_SAATI")));
    return time && *time > now + kEpsilon;
}

// Periods are counted in 64 bits: a period of two thousand million units is no reason to run at
// every tick.
bool hourlyDue(const JobFile &job, double today, double now)
{
    const qint64 period = schedulePeriod(job);
    const QString lastDay = job.value(QStringLiteral("SON_YEDEK_GUNU"));
    const QString lastTime = job.value(QStringLiteral("SON_YEDEK_SAATI"));
    if (lastDay.isEmpty() || lastTime.isEmpty())
        return true;
    if (parseNumber(lastDay).value_or(today) < today || recordedInFuture(job, today, now))
        return true;
    const double last = parseNumber(lastTime).value_or(0);
    const double hours = std::floor(std::fabs(now - last) * 24 + kEpsilon);
    return hours >= double(period);
}

bool calendarDue(const JobFile &job, qint64 daysPerUnit, double today, double now)
{
    const qint64 period = schedulePeriod(job);
    // More days than any calendar holds: the job ran once and waits for ever.
    const double span = double(period) * double(daysPerUnit);
    const QString lastDay = job.value(QStringLiteral("SON_YEDEK_GUNU"));
    if (!lastDay.isEmpty() && !recordedInFuture(job, today, now)) {
        const double last = parseNumber(lastDay).value_or(today - span);
        if (span > today - last)
            return false;
    }
    const double planned = parseNumber(job.value(QStringLiteral("GHA_YEDEK_SAATI"))).value_or(0);
    if (planned != 0 && planned > now + kEpsilon)
        return false;
    return true;
}

RunKind backupKind(JobKind kind)
{
    return kind == JobKind::Folder ? RunKind::FolderBackup : RunKind::FirebirdBackup;
}

QString unsavedText(const QString &reason)
{
    return trMsg(QStringLiteral("Son yedekleme zamani kaydedilemedi:")) + u' ' + reason;
}

// The time of day the due rule compares with. A walk that goes on past midnight keeps the
// service date of its tick until the next tick comes: its time is then the end of that day,
// not the small hours of the next (which would make every run of that day look to lie ahead).
QTime dueTime(const QDate &serviceDate)
{
    const QDateTime now = clock::now();
    return now.date() > serviceDate ? QTime(23, 59, 59, 999) : now.time();
}

} // namespace

bool isDue(const JobFile &job, const QDate &serviceDate, const QTime &now)
{
    const double today = serialDay(serviceDate);
    const double time = dayFraction(now);
    switch (scheduleUnit(job)) {
    case ScheduleUnit::Hour:
        return hourlyDue(job, today, time);
    case ScheduleUnit::Day:
        return calendarDue(job, 1, today, time);
    case ScheduleUnit::Week:
        return calendarDue(job, 7, today, time);
    case ScheduleUnit::Month:
        return calendarDue(job, 30, today, time);
    case ScheduleUnit::None:
        break;
    }
    return false;
}

Scheduler::Scheduler(ServiceContext &context, RunningState &running, StartRun start, QObject *parent)
    : QObject(parent), m_context(context), m_running(running), m_start(std::move(start))
{
    // A kind that becomes free lets a walk go on that waited for a run started by hand.
    connect(&m_running, &RunningState::changed, this, [this](RunKind, bool running) {
        if (!running && m_busy && !m_waiting)
            advance();
    }, Qt::QueuedConnection);
}

void Scheduler::tick(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs)
{
    m_context.tick();
    if (m_busy || m_running.anyBackup())
        return;

    m_busy = true;
    m_programFolder = programFolder;
    // The lists may be rebuilt during the walk; it goes over what they were when it began.
    m_queue.clear();
    for (const QString &name : folderJobs)
        m_queue.append({JobKind::Folder, name});
    for (const QString &name : firebirdJobs)
        m_queue.append({JobKind::Firebird, name});
    advance();
}

void Scheduler::runEnded(quint64 run)
{
    if (!m_busy || !m_waiting || run != m_currentRun)
        return;
    m_currentEnded = true;
    advance();
}

void Scheduler::advance()
{
    try {
        if (m_waiting) {
            if (!m_currentEnded)
                return;
            // The program is ending with the run cut short: no record, it runs again.
            if (terminationRequested()) {
                endWalk();
                return;
            }
            recordLastRun();
        }
        while (!m_queue.isEmpty()) {
            if (terminationRequested()) {
                endWalk();
                return;
            }
            const Entry entry = m_queue.first();
            const QString path = jobFilePath(m_programFolder, entry.name, entry.kind);
            if (!isPlainFile(path)) {
                // A job deleted since: nothing of it is kept.
                m_unsaved.remove(path);
                m_toldUnreadable.remove(path);
                m_toldUnsaved.remove(path);
                m_queue.removeFirst();
                continue;
            }
            JobFile job;
            try {
                job = JobFile::load(path);
            } catch (const Error &e) {
                // One file that cannot be read keeps no other job from its run.
                tellOnce(m_toldUnreadable, entry, path, e.text());
                m_queue.removeFirst();
                continue;
            }
            m_toldUnreadable.remove(path);
            if (m_jobSeen)
                m_jobSeen(entry.kind, entry.name, job);
            // The due rule goes by the last run even when its file has not taken it yet.
            applyLastRun(path, job);
            if (m_unsaved.contains(path))
                saveLastRun(entry, path, job);
            if (!job.isTrue(QStringLiteral("AKTIF")) || !isDue(job, m_context.moment().serviceDate, dueTime(m_context.moment().serviceDate))) {
                m_queue.removeFirst();
                continue;
            }
            if (const QString reason = m_heldBack ? m_heldBack(entry.kind, entry.name) : QString(); !reason.isEmpty()) {
                m_queue.removeFirst();
                tell(entry, reason);
                m_current = entry;
                m_currentJob = job;
                recordLastRun();
                continue;
            }
            // One run per kind at a time: a run started by hand goes first, this job is tested
            // again once it has ended.
            if (m_running.isRunning(backupKind(entry.kind)))
                return;
            m_queue.removeFirst();
            const quint64 run = m_start(entry.kind, entry.name, job, scheduleUnit(job) == ScheduleUnit::Hour);
            if (run == 0)
                continue;
            m_waiting = true;
            m_current = entry;
            m_currentJob = job;
            m_currentRun = run;
            m_currentEnded = false;
            return;
        }
        endWalk();
    } catch (const Error &e) {
        endWalk();
        emit failed(e.text());
    } catch (const std::exception &e) {
        endWalk();
        emit failed(QString::fromLocal8Bit(e.what()));
    }
}

void Scheduler::recordLastRun()
{
    m_waiting = false;
    const RunMoment &s = m_context.moment();
    const QString path = jobFilePath(m_programFolder, m_current.name, m_current.kind);
    // Kept until the file takes it: a job whose record cannot be written must not run again at
    // every tick.
    m_unsaved.insert(path, {formatNumber(serialDay(s.serviceDate)), formatNumber(dayFraction(s.tickTime))});
    // Read the file again: edits saved during the run survive. A file deleted during its own
    // run is written again from what it held when the run started.
    JobFile record = m_currentJob;
    if (isPlainFile(path)) {
        try {
            record = JobFile::load(path);
        } catch (const Error &e) {
            // The walk's next visit finds the file unreadable too: that is the failure told.
            tellOnce(m_toldUnreadable, m_current, path, unsavedText(e.text()));
            return;
        }
    }
    saveLastRun(m_current, path, record);
}

void Scheduler::saveLastRun(const Entry &entry, const QString &path, JobFile record)
{
    applyLastRun(path, record);
    try {
        record.save(path);
    } catch (const Error &e) {
        tellOnce(m_toldUnsaved, entry, path, unsavedText(e.text()));
        return;
    }
    m_unsaved.remove(path);
    m_toldUnsaved.remove(path);
}

void Scheduler::applyLastRun(const QString &path, JobFile &job) const
{
    const auto it = m_unsaved.constFind(path);
    if (it == m_unsaved.cend())
        return;
    job.setValue(QStringLiteral("SON_YEDEK_GUNU"), it->day);
    job.setValue(QStringLiteral("SON_YEDEK_SAATI"), it->time);
}

void Scheduler::tellOnce(QSet<QString> &told, const Entry &entry, const QString &path, const QString &text)
{
    if (told.contains(path))
        return;
    told.insert(path);
    tell(entry, text);
}

void Scheduler::tell(const Entry &entry, const QString &text)
{
    if (m_writeLog) {
        const QString logFailure = m_writeLog(entry.kind, entry.name, trMsg(QStringLiteral("Basarisiz.")) + text);
        if (logFailure.isEmpty())
            return;
        // Both go to the error display: what happened and why the log does not say it.
        const QString both = text + u'\n' + logFailure;
        QMetaObject::invokeMethod(this, [this, both] { emit failed(both); }, Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(this, [this, text] { emit failed(text); }, Qt::QueuedConnection);
}

void Scheduler::endWalk()
{
    m_queue.clear();
    m_waiting = false;
    m_currentRun = 0;
    if (!m_busy)
        return;
    m_busy = false;
    emit walkEnded();
}

} // namespace kx
