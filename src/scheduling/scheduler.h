#pragma once
// The five-minute tick: which jobs are due, running them one after the other, and recording
// their last run in the job files. The tick never waits: it keeps the jobs still to visit in a
// queue and goes on when the run it started has ended, so a modal window, another tick or a
// command of the user can come in between without anything waiting on anything else.

#include "core/jobfile.h"
#include "core/joblist.h"
#include "core/runningstate.h"
#include "core/servicecontext.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTime>
#include <functional>

namespace kx {

// The due rule of a job's YEDEK_ZAMANI (hourly, daily, weekly, monthly of 30 days; anything
// else never) for the service date and the current time of day.
bool isDue(const JobFile &job, const QDate &serviceDate, const QTime &now);

class Scheduler : public QObject
{
    Q_OBJECT
public:
    // Sets up the run of a due job from its file as loaded. Returns the run's number, by which
    // runEnded() is told, or 0 when the run could not be set up.
    using StartRun = std::function<quint64(JobKind kind, const QString &jobName, const JobFile &job, bool retention)>;

    // The context is the service's: every tick moves its date and tick time.
    Scheduler(ServiceContext &context, RunningState &running, StartRun start, QObject *parent = nullptr);

    // Writes a line about a job into the backup log: what went wrong with the job itself (its
    // file could not be read, its last run not recorded). Returns why the line could not be
    // written, or an empty text. Without it, or when it fails, failed() tells instead.
    using LogWriter = std::function<QString(JobKind kind, const QString &jobName, const QString &status)>;
    void setLogWriter(LogWriter writer) { m_writeLog = std::move(writer); }

    // Why a due job must not be started now (the work of its earlier run still hangs), or an
    // empty text. A job held back gets a failure line with that reason and counts as run at
    // this due time: one line per due time, not one per tick.
    using HeldBack = std::function<QString(JobKind kind, const QString &jobName)>;
    void setHeldBack(HeldBack heldBack) { m_heldBack = std::move(heldBack); }

    // Told of every job file the walk loads (active or not), as loaded.
    using JobSeen = std::function<void(JobKind kind, const QString &jobName, const JobFile &job)>;
    void setJobSeen(JobSeen seen) { m_jobSeen = std::move(seen); }

    // One tick (TimerOTOTimer): moves the service date and the tick time, then, unless a walk
    // or a backup is already at work, starts walking the folder jobs and then the Firebird
    // jobs as the lists stand now.
    void tick(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs);

    // A walk is under way (the busy mark).
    bool busy() const { return m_busy; }

public slots:
    // The run with this number has ended (its end steps are done).
    void runEnded(quint64 run);

signals:
    // A job file could not be read or its last run not recorded, and the backup log could not
    // take the news (told from a fresh turn of the event loop, never in the middle of the
    // walk); or the walk ended on a failure of its own.
    void failed(const QString &text);
    // The walk has visited every job, or ended by a failure.
    void walkEnded();

private:
    struct Entry {
        JobKind kind;
        QString name;
    };
    struct LastRun {
        QString day;
        QString time;
    };
    void advance();
    void recordLastRun();
    // Writes the remembered last run of the job into `record` and saves it; a failure is told
    // (once) and the last run stays remembered.
    void saveLastRun(const Entry &entry, const QString &path, JobFile record);
    void applyLastRun(const QString &path, JobFile &job) const;
    // Tells a failure of a job: in the backup log, else by failed(). Once: `told` holds it until
    // the failure is mended.
    void tellOnce(QSet<QString> &told, const Entry &entry, const QString &path, const QString &text);
    void tell(const Entry &entry, const QString &text);
    void endWalk();

    ServiceContext &m_context;
    RunningState &m_running;
    StartRun m_start;
    QString m_programFolder;
    QList<Entry> m_queue;
    bool m_busy = false;
    // The job whose run the walk waits for, as it was loaded when the run started.
    bool m_waiting = false;
    Entry m_current{JobKind::Folder, QString()};
    JobFile m_currentJob;
    quint64 m_currentRun = 0;
    bool m_currentEnded = false;

    LogWriter m_writeLog;
    JobSeen m_jobSeen;
    HeldBack m_heldBack;
    // Last runs whose job file could not be written, by the file's path: the due rule goes by
    // them, and each visit of the walk tries the file again.
    QHash<QString, LastRun> m_unsaved;
    // Failures told and not mended since, by the file's path.
    QSet<QString> m_toldUnreadable;
    QSet<QString> m_toldUnsaved;
};

} // namespace kx
