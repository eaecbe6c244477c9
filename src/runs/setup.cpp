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

int reportUnfinishedRuns(const QString &programFolder, const QStringList &folderJobs, const QStringList &firebirdJobs,
                         const QDate &serviceDate)
{
    int found = 0;
    auto visit = [&](const QString &name, JobKind kind) {
        JobFile job;
        try {
            job = JobFile::load(jobFilePath(programFolder, name, kind));
        } catch (const Error &) {
            return; // a job that cannot be read has nothing to tell here
        }
        for (const UnfinishedRun &u : unfinishedRuns(name, job, false)) {
            ++found;
            removeLeftovers(u.runFolder);
            QString module = u.module;
            if (module.isEmpty())
                module = trMsg(kind == JobKind::Folder ? QStringLiteral("Otomatik Yedekleme")
                                                       : QStringLiteral("Otomatik FB Yedekleme"));
            backupLog().write({module, name, logDateText(serviceDate), logTimeText(clock::timeOfDay()),
                               u.source, u.target,
                               trMsg(QStringLiteral("Basarisiz.")) + trMsg(QStringLiteral("Yedekleme yarida kesildi."))});
            try {
                markReported(u.runFolder);
            } catch (const Error &) {
                // Told again at the next start rather than never.
            }
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

} // namespace kx
