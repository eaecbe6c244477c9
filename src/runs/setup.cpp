#include "runs/setup.h"
#include "core/clock.h"
#include "core/joblist.h"
#include "core/service.h"
#include "core/servicecontext.h"
#include "platform/kxerror.h"
#include "runs/oplog.h"
#include "scheduling/unfinished.h"
#include "runs/firebirdbackuprun.h"
#include "runs/folderbackuprun.h"
#include "runs/runcontroller.h"

#include <QCoreApplication>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kx {

quint64 DosyaOtoYedekAyarla(RunController &runs, const QString &programFolder, const QString &jobName,
                            const JobFile &job, bool retention, const RunMoment &moment)
{
    FolderBackupParams params = folderBackupParams(job, jobName, retention, false);
    params.moment = moment;
    return runs.start(std::make_unique<FolderBackupRun>(programFolder, params));
}

quint64 FirebirdOtoYedekAyarla(RunController &runs, const QString &programFolder, const QString &jobName,
                               const JobFile &job, bool retention, const RunMoment &moment)
{
    FirebirdBackupParams params = firebirdBackupParams(job, jobName, retention, false);
    params.moment = moment;
    return runs.start(std::make_unique<FirebirdBackupRun>(programFolder, params));
}

} // namespace kx

namespace kx {

namespace {

// The file-system half, any thread: the job's unfinished runs not told yet, their leftovers
// removed.
QList<UnfinishedRun> settleUnfinished(const QString &programFolder, const QString &name, JobKind kind)
{
    JobFile job;
    try {
        job = JobFile::load(jobFilePath(programFolder, name, kind));
    } catch (const Error &) {
        return {}; // a job that cannot be read has nothing to tell here
    }
    QList<UnfinishedRun> found = unfinishedRuns(name, job, false);
    for (const UnfinishedRun &u : std::as_const(found))
        removeLeftovers(u.runFolder);
    return found;
}

// The log's half, on the user-interface thread (translation, the service date, the log).
void writeUnfinished(const QString &name, JobKind kind, const UnfinishedRun &u, const QDate &serviceDate)
{
    QString module = u.module;
    if (module.isEmpty())
        module = trMsg(kind == JobKind::Folder ? QStringLiteral("Otomatik Yedekleme") : QStringLiteral("Otomatik FB Yedekleme"));
    backupLog().write({module, name, logDateText(serviceDate), logTimeText(clock::timeOfDay()), u.source,
                       u.target, trMsg(QStringLiteral("Basarisiz.")) + trMsg(QStringLiteral("Yedekleme yarida kesildi."))});
}

void markToldOnce(const QString &runFolder)
{
    try {
        markReported(runFolder);
    } catch (const Error &) {
        // Told again at the next start rather than never.
    }
}

} // namespace

int reportUnfinishedRuns(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs,
                         const QDate &serviceDate)
{
    int found = 0;
    auto visit = [&](const QString &name, JobKind kind) {
        for (const UnfinishedRun &u : settleUnfinished(programFolder, name, kind)) {
            ++found;
            writeUnfinished(name, kind, u, serviceDate);
            markToldOnce(u.runFolder);
        }
    };
    for (const QString &name : folderJobs)
        visit(name, JobKind::Folder);
    for (const QString &name : firebirdJobs)
        visit(name, JobKind::Firebird);
    const QString failure = backupLog().takeFailure();
    if (!failure.isEmpty())
        throw Error(failure);
    return found;
}

// Between the check's thread and the thread its object lives on. The thread holds it too, so it
// outlives an object that left the thread behind.
struct UnfinishedRunsCheck::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    QStringList order;  // every job, in the order they are checked
    int passed = 0;     // jobs checked, lines written and marked told
    int written = -1;   // the last job whose lines the object's thread has written
    bool ended = false;
    bool toldFailure = false; // the object's thread only
    std::atomic<bool> stop{false};
    UnfinishedRunsCheck *owner = nullptr; // the object's thread only; null once it is gone

    bool waitFor(std::unique_lock<std::mutex> &lock, const std::function<bool()> &until,
                 const std::atomic<bool> *cancel = nullptr)
    {
        // Polled a little for `cancel`, which nobody here is told of.
        while (!until()) {
            if (stop || (cancel && cancel->load()))
                return false;
            changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        return true;
    }
};

UnfinishedRunsCheck::UnfinishedRunsCheck(const QString &programFolder, const QStringList &folderJobs,
                                         const QStringList &firebirdJobs, const QDate &serviceDate, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_programFolder(programFolder),
      m_folderJobs(folderJobs), m_firebirdJobs(firebirdJobs), m_serviceDate(serviceDate)
{
    m_shared->order = folderJobs + firebirdJobs;
    m_shared->owner = this;
}

UnfinishedRunsCheck::~UnfinishedRunsCheck()
{
    leave(RunController::kEndGrace);
}

Run::Gate UnfinishedRunsCheck::gate() const
{
    return [shared = m_shared](const QString &jobName, const std::atomic<bool> *cancel) {
        std::unique_lock lock(shared->mutex);
        const qsizetype index = shared->order.indexOf(jobName);
        if (index < 0)
            return;
        shared->waitFor(lock, [&] { return shared->ended || shared->passed > index; }, cancel);
    };
}

bool UnfinishedRunsCheck::leave(std::chrono::milliseconds grace)
{
    m_shared->owner = nullptr;
    m_shared->stop = true;
    m_shared->changed.notify_all();
    return m_worker.wait(grace) || !m_worker.abandon();
}

void UnfinishedRunsCheck::start()
{
    // The thread reads copies and the shared part only; it posts to the application object,
    // which outlives this one.
    m_worker.start([shared = m_shared, programFolder = m_programFolder, folderJobs = m_folderJobs,
                    firebirdJobs = m_firebirdJobs, serviceDate = m_serviceDate] {
        QObject *app = QCoreApplication::instance();
        int found = 0;
        int job = 0;
        auto visit = [&](const QString &name, JobKind kind) {
            if (shared->stop)
                return;
            QList<UnfinishedRun> runs;
            try {
                runs = settleUnfinished(programFolder, name, kind);
            } catch (...) {
                // Nothing to tell of this job: its runs are left as they are, told next time.
            }
            if (!runs.isEmpty()) {
                QMetaObject::invokeMethod(app, [shared, name, kind, runs, job, serviceDate] {
                    if (UnfinishedRunsCheck *owner = shared->owner) {
                        for (const UnfinishedRun &u : runs)
                            writeUnfinished(name, kind, u, serviceDate);
                        const QString failure = backupLog().takeFailure();
                        if (!failure.isEmpty() && !shared->toldFailure) {
                            shared->toldFailure = true;
                            emit owner->failed(failure);
                        }
                    }
                    std::lock_guard lock(shared->mutex);
                    shared->written = job;
                    shared->changed.notify_all();
                }, Qt::QueuedConnection);
                std::unique_lock lock(shared->mutex);
                if (!shared->waitFor(lock, [&] { return shared->written >= job; }))
                    return;
                lock.unlock();
                for (const UnfinishedRun &u : std::as_const(runs))
                    markToldOnce(u.runFolder);
                found += int(runs.size());
            }
            std::lock_guard lock(shared->mutex);
            shared->passed = ++job;
            shared->changed.notify_all();
        };
        for (const QString &name : folderJobs)
            visit(name, JobKind::Folder);
        for (const QString &name : firebirdJobs)
            visit(name, JobKind::Firebird);
        {
            std::lock_guard lock(shared->mutex);
            shared->ended = true;
        }
        shared->changed.notify_all();
        QMetaObject::invokeMethod(app, [shared, found] {
            if (UnfinishedRunsCheck *owner = shared->owner) {
                owner->m_done = true;
                emit owner->done(found);
            }
        }, Qt::QueuedConnection);
    });
}

} // namespace kx
