#include "scheduling/scheduler.h"
#include "core/clock.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/termination.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <cmath>

namespace kx {

namespace {

// Rounding of the stored 15-digit numbers must not turn exactly two hours into 1.999...
constexpr double kEpsilon = 1e-9;

bool hourlyDue(const JobFile &job, double today, double now)
{
    const int period = job.intValue(QStringLiteral("PERYOT"), 1);
    const QString lastDay = job.value(QStringLiteral("SON_YEDEK_GUNU"));
    const QString lastTime = job.value(QStringLiteral("SON_YEDEK_SAATI"));
    if (lastDay.isEmpty() || lastTime.isEmpty())
        return true;
    if (parseNumber(lastDay).value_or(today) < today)
        return true;
    const double last = parseNumber(lastTime).value_or(0);
    const double hours = std::floor(std::fabs(now - last) * 24 + kEpsilon);
    return hours >= period;
}

bool calendarDue(const JobFile &job, int daysPerUnit, double today, double now)
{
    const int span = job.intValue(QStringLiteral("PERYOT"), 1) * daysPerUnit;
    const QString lastDay = job.value(QStringLiteral("SON_YEDEK_GUNU"));
    if (!lastDay.isEmpty()) {
        const double last = parseNumber(lastDay).value_or(today - span);
        if (span > today - last)
            return false;
    }
    const double planned = parseNumber(job.value(QStringLiteral("GHA_YEDEK_SAATI"))).value_or(0);
    if (planned != 0 && planned > now + kEpsilon)
        return false;
    return true;
}

bool &backupFlag(JobKind kind)
{
    return kind == JobKind::Folder ? service().folderBackupRunning : service().firebirdBackupRunning;
}

} // namespace

bool isDue(const JobFile &job, const QDate &serviceDate, const QTime &now)
{
    const double today = serialDay(serviceDate);
    const double time = dayFraction(now);
    const QString unit = job.value(QStringLiteral("YEDEK_ZAMANI"));
    if (unit == QLatin1String("1"))
        return hourlyDue(job, today, time);
    if (unit == QLatin1String("2"))
        return calendarDue(job, 1, today, time);
    if (unit == QLatin1String("3"))
        return calendarDue(job, 7, today, time);
    if (unit == QLatin1String("4"))
        return calendarDue(job, 30, today, time);
    return false;
}

void Scheduler::waitWhileRunning(JobKind kind)
{
    // Lets events run (timers, tray, windows, the runner itself) and sleeps in between, so the
    // wait costs no processor time of its own.
    while (backupFlag(kind) && !terminationRequested()) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void Scheduler::tick(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs,
                     const StartRun &start)
{
    ServiceState &s = service();
    s.serviceDate = clock::today();
    s.tickTime = clock::timeOfDay().addSecs(-5);
    if (m_busy || s.anyBackupRunning())
        return;

    struct BusyMark {
        bool &busy;
        explicit BusyMark(bool &b) : busy(b) { busy = true; }
        ~BusyMark() { busy = false; }
    } mark(m_busy);

    // The lists may be rebuilt while we wait for a run; walk what they were when the tick began.
    QList<std::pair<JobKind, QString>> walk;
    for (const QString &name : folderJobs)
        walk.append({JobKind::Folder, name});
    for (const QString &name : firebirdJobs)
        walk.append({JobKind::Firebird, name});

    for (const auto &[kind, name] : walk) {
        const QString path = jobFilePath(programFolder, name, kind);
        if (!QFileInfo(path).isFile())
            continue;
        s.jobBuffer = JobFile::load(path);
        const JobFile loaded = s.jobBuffer;
        if (loaded.value(QStringLiteral("AKTIF")) != QLatin1String("True"))
            continue;
        if (!isDue(loaded, s.serviceDate, clock::timeOfDay()))
            continue;

        // One run per kind at a time: a manual run of this kind may have started meanwhile.
        waitWhileRunning(kind);
        if (terminationRequested())
            return;
        s.jobBuffer = loaded;
        const QString unit = loaded.value(QStringLiteral("YEDEK_ZAMANI"));
        start(kind, name, unit == QLatin1String("1"));
        waitWhileRunning(kind);
        // The program is ending with the run unfinished: no last-run record, it runs again.
        if (terminationRequested())
            return;

        // Read the file again: edits saved during the run survive, and the shared buffer (which
        // retention or another run may have reloaded) never decides what is written here.
        JobFile record = QFileInfo(path).isFile() ? JobFile::load(path) : loaded;
        record.setValue(QStringLiteral("SON_YEDEK_GUNU"), formatNumber(serialDay(s.serviceDate)));
        record.setValue(QStringLiteral("SON_YEDEK_SAATI"), formatNumber(dayFraction(s.tickTime)));
        record.save(path);
    }
}

} // namespace kx
