#pragma once
// The five-minute tick: which jobs are due, running them one after the other, and recording
// their last run in the job files.

#include "core/jobfile.h"
#include "core/joblist.h"

#include <QDate>
#include <QStringList>
#include <QTime>
#include <functional>

namespace kx {

// The due rule of a job's YEDEK_ZAMANI ("1" hourly, "2" daily, "3" weekly, "4" monthly of 30
// days; anything else never) for the service date and the current time of day.
bool isDue(const JobFile &job, const QDate &serviceDate, const QTime &now);

class Scheduler
{
public:
    // Sets up the run of a due job; the runner window it creates holds the in-progress flag of
    // its kind until it closes.
    using StartRun = std::function<void(JobKind kind, const QString &jobName, bool retention)>;

    // One tick (TimerOTOTimer): moves the service date and the tick time, then, unless a tick or
    // a backup is already at work, walks the folder jobs and then the Firebird jobs. A job file
    // that cannot be read or written ends the tick with kx::Error.
    void tick(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs,
              const StartRun &start);

    bool busy() const { return m_busy; }

private:
    void waitWhileRunning(JobKind kind);

    bool m_busy = false;
};

} // namespace kx
