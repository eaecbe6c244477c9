#include "app/manualrun.h"
#include "platform/files.h"
#include "core/clock.h"
#include "core/daytime.h"
#include "core/service.h"
#include "core/servicecontext.h"
#include "runs/firebirdbackuprun.h"
#include "runs/folderbackuprun.h"
#include "runs/runcontroller.h"
#include "runs/runparams.h"

namespace kx {

ManualRunResult manualRun(ServiceContext &context, RunController &runs, const QString &programFolder, JobKind kind,
                          const JobFile &record, const QString &password, const QString &jobName,
                          const QString &fileToUpdate)
{
    context.takeTickTime();
    const RunKind runKind = kind == JobKind::Folder ? RunKind::FolderBackup : RunKind::FirebirdBackup;
    if (runs.running().isRunning(runKind))
        return {0, trMsg(QStringLiteral("Su an yedekleme yapiliyor.")) + QStringLiteral("\r\n")
                       + trMsg(QStringLiteral("Daha sonra yeniden deneyiniz."))};
    if (const QString held = runs.heldBack(jobName); !held.isEmpty())
        return {0, held};
    std::unique_ptr<Run> run;
    if (kind == JobKind::Folder) {
        FolderBackupParams params = manualFolderBackupParams(record, password, jobName);
        params.moment = context.moment();
        run = std::make_unique<FolderBackupRun>(programFolder, params);
    } else {
        FirebirdBackupParams params = manualFirebirdBackupParams(record, password, jobName);
        params.moment = context.moment();
        run = std::make_unique<FirebirdBackupRun>(programFolder, params);
    }
    const quint64 id = runs.start(std::move(run));
    if (id == 0)
        return {};
    // Right after the start, before the run has done anything and whatever its outcome.
    if (isPlainFile(fileToUpdate)) {
        JobFile file = JobFile::load(fileToUpdate);
        const QDateTime now = clock::now();
        file.setValue(QStringLiteral("SON_YEDEK_GUNU"), formatNumber(serialDay(now.date())));
        file.setValue(QStringLiteral("SON_YEDEK_SAATI"), formatNumber(dayFraction(now.time())));
        file.save(fileToUpdate);
    }
    return {id, QString()};
}

} // namespace kx
