#include "runs/folderbackuprun.h"
#include "core/clock.h"
#include "core/codepage.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "archive/zipengine.h"
#include "runs/messenger.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "scheduling/retention.h"
#include "scheduling/unfinished.h"

#include <QScopeGuard>
#include <cmath>
#include <unistd.h>

namespace kx {

FolderBackupRun::FolderBackupRun(const QString &programFolder, const FolderBackupParams &params, QObject *parent)
    : Run(RunKind::FolderBackup, parent), m_programFolder(programFolder), m_params(params)
{
    m_jobName = m_params.jobName;
}

QString FolderBackupRun::archive() const
{
    return archivePath(m_runFolder, m_params.sourceFolder);
}

void FolderBackupRun::prepare()
{
    m_runName = runFolderName(m_params.jobName, runStamp(m_params.moment));
    m_runFolder = folderRunFolder(m_params.targetFolder, m_runName, false);
    m_runFolder2 = folderRunFolder(m_params.targetFolder2, m_runName, true);
    m_module = trMsg(m_params.manual ? QStringLiteral("Manuel Yedekleme") : QStringLiteral("Otomatik Yedekleme"));
    if (m_params.zip)
        m_module += trMsg(QStringLiteral("(ZIP)"));

    m_display.jobName = m_params.jobName;
    m_display.source = m_params.sourceFolder;
    m_display.target = m_runFolder;
}

void FolderBackupRun::collect()
{
    // The archive takes folders whose names begin with a dot as well; a copy leaves them out.
    // Never the job's own targets, should they lie in the source: each run would take all the
    // earlier ones again.
    m_files = collectFiles(m_params.sourceFolder, m_runFolder, m_params.subfolders, m_params.filters, m_params.zip,
                           OwnTargets{{m_params.targetFolder, m_params.targetFolder2}, jobPrefix(m_params.jobName)});
    postCounts(m_files.folders, m_files.files, m_files.bytes);
}

LogEntry FolderBackupRun::logEntry(const QString &source, const QString &target, const QString &status,
                                   const QTime &now) const
{
    return LogEntry{m_module, m_params.jobName, logDateText(m_params.moment.serviceDate), logTimeText(now), source,
                    target, status};
}

void FolderBackupRun::writeLog(const QString &source, const QString &target, std::function<QString()> status)
{
    postLog(&backupLog, [this, source, target, status = std::move(status)](const QTime &now) {
        return logEntry(source, target, status(), now);
    });
}

QString FolderBackupRun::writeStallLine(const QString &status)
{
    OperationLog &log = backupLog();
    log.write(logEntry(m_params.sourceFolder, m_runFolder, status, clock::timeOfDay()));
    return log.takeFailure();
}

void FolderBackupRun::work()
{
    // A million names are freed here, not on the thread the run object goes from.
    const auto release = qScopeGuard([this] { m_files = FileCollection(); });
    startElapsed();
    collect();
    // A run given up while it waited on a file system writes nothing once the call returns.
    if (stopped())
        return;
    if (!isFolder(m_params.sourceFolder)) {
        setBarStatement([] { return trMsg(QStringLiteral("Kaynak dizin bulunamadi.")); });
        writeLog(m_params.sourceFolder, m_runFolder, [] {
            return trMsg(QStringLiteral("Basarisiz.")) + trMsg(QStringLiteral("Kaynak dizin bulunamadi."));
        });
        end(true, QStringLiteral("Kaynak dizin bulunamadi."));
        return;
    }
    // An empty source is no backup: it is what the mount point of a share that is not mounted
    // looks like, and an empty run folder would count among the backups kept.
    if (m_files.isEmpty())
        return noFileToBackUp();
    if (pathExists(m_runFolder) && !m_params.overwrite) {
        complete(false);
        return;
    }
    // What an interrupted run of this job left behind goes first.
    {
        const Waiting cleaning(m_params.targetFolder, Waiting::Kind::Folder);
        for (const UnfinishedRun &u : unfinishedRuns(m_params.jobName, {m_params.targetFolder, m_params.targetFolder2}, true))
            if (!cancelled())
                removeLeftovers(u.runFolder);
    }

    bool failed = false;
    if (!makeRunFolder(m_runFolder, m_params.sourceFolder, &failed))
        return;
    if (stopped())
        return;
    if (m_params.zip)
        zipMode();
    else
        copyMode();
}

void FolderBackupRun::noFileToBackUp()
{
    const QString failures = copyFailures(0, m_files.unreadable, m_files.unreadableFiles.size());
    setBarStatement([] { return trMsg(QStringLiteral("Kaynak dizinde yedeklenecek dosya bulunamadi.")); });
    writeLog(m_params.sourceFolder, m_runFolder, [failures] {
        QString status = trMsg(QStringLiteral("Basarisiz.")) + trMsg(QStringLiteral("Kaynak dizinde yedeklenecek dosya bulunamadi."));
        if (!failures.isEmpty())
            status += u' ' + failures;
        return status;
    });
    end(true, QStringLiteral("Kaynak dizinde yedeklenecek dosya bulunamadi."));
}

void FolderBackupRun::settle(const QString &runFolder, bool failed)
{
    if (failed)
        markFailed(runFolder);
    else
        markFinished(runFolder);
}

bool FolderBackupRun::makeRunFolder(const QString &folder, const QString &logSource, bool *failed)
{
    try {
        const Waiting making(folder, Waiting::Kind::Folder);
        makeConfinedFolder(folder);
        markUnfinished({folder, m_module, m_params.jobName, logSource, folder});
        return true;
    } catch (const Error &e) {
        if (folder == m_runFolder) {
            fail(e.text());
        } else {
            // A second copy the user asked for and did not get is a failure of its own.
            const QString text = e.text();
            writeLog(m_runFolder, folder, [text] { return trMsg(QStringLiteral("Basarisiz.")) + text; });
            *failed = true;
        }
        return false;
    }
}

void FolderBackupRun::copyMode()
{
    auto copyWithProgress = [this](const FileCollection &files, const QString &root) {
        setBarPosition(0);
        setBarMaximum(int(files.count() - 1));
        int position = 0;
        // The run folder is marked unfinished until its copy is complete: new files go straight
        // under their own names.
        return copyCollected(files, root, m_params.overwrite, [&] { setBarPosition(++position); }, {}, cancelFlag(),
                             true);
    };
    const CopyTally first = copyWithProgress(m_files, m_runFolder);
    // Cancelled, the run folder keeps its marker: never counted as a backup, told at the next start.
    if (stopped())
        return;
    // Every file gone since it was listed (the share went away meanwhile): nothing was backed up.
    if (first.skipped == m_files.count()) {
        markFailed(m_runFolder);
        return noFileToBackUp();
    }
    const QStringList unreadable = m_files.unreadable;
    const qsizetype unreadableFiles = m_files.unreadableFiles.size();
    const int failedCopies = first.failed;
    const bool firstFailed = failedCopies > 0 || !unreadable.isEmpty() || unreadableFiles > 0;
    settle(m_runFolder, firstFailed);
    writeLog(m_params.sourceFolder, m_runFolder, [=] { return copyStatus(failedCopies, unreadable, unreadableFiles); });

    bool failed = firstFailed;
    if (!m_runFolder2.isEmpty() && makeRunFolder(m_runFolder2, m_runFolder, &failed)) {
        const FileCollection second = collectFiles(m_runFolder, m_runFolder2, m_params.subfolders, m_params.filters);
        const CopyTally copied = copyWithProgress(second, m_runFolder2);
        if (stopped())
            return;
        const int failed2 = copied.failed;
        const QStringList unreadable2 = second.unreadable;
        const qsizetype unreadableFiles2 = second.unreadableFiles.size();
        const bool secondFailed = failed2 > 0 || !unreadable2.isEmpty() || unreadableFiles2 > 0;
        // A copy of an incomplete backup is no complete backup either.
        settle(m_runFolder2, firstFailed || secondFailed);
        failed = failed || secondFailed;
        writeLog(m_runFolder, m_runFolder2, [=] { return copyStatus(failed2, unreadable2, unreadableFiles2); });
    }
    complete(failed);
}

void FolderBackupRun::zipMode()
{
    setBarMaximum(10001);
    const QString zipFile = archive();
    PackResult packed;
    try {
        PackProgress progress;
        progress.started = [this] { setBarPosition(1); };
        progress.advanced = [this](double share) { setBarPosition(1 + int(std::lround(share * 10000))); };
        progress.finished = [this] { setBarPosition(1); };
        packed = packZip(zipFile, m_params.sourceFolder, m_files.sources(), m_params.zipPassword.toUtf8(),
                         progress, cancelFlag());
        if (stopped())
            return;
    } catch (const Error &e) {
        if (cancelled())
            return end(true, e.text());
        markFinished(m_runFolder);
        // A run folder the failure left empty would later count among the backups kept.
        ::rmdir(encodePath(m_runFolder).constData());
        fail(e.text());
        return;
    }
    if (packed.entries == 0 && packed.failed.isEmpty()) {
        markFailed(m_runFolder);
        return noFileToBackUp();
    }
    // Files that vanished since they were listed are simply not there to back up; files that
    // are there and cannot be read make the run a failure, with the rest still in the archive.
    const int unpacked = int(packed.failed.size());
    const QStringList unreadable = m_files.unreadable;
    const qsizetype unreadableFiles = m_files.unreadableFiles.size();
    const bool firstFailed = unpacked > 0 || !unreadable.isEmpty() || unreadableFiles > 0;
    settle(m_runFolder, firstFailed);
    bool failed = firstFailed;
    writeLog(m_params.sourceFolder, m_runFolder,
             [=] { return copyStatus(unpacked, unreadable, unreadableFiles, true); });

    if (!m_runFolder2.isEmpty() && isPlainFile(zipFile) && makeRunFolder(m_runFolder2, m_runFolder, &failed)) {
        const CopyResult r = copyFile(zipFile, m_runFolder2 + u'/' + zipFile.mid(zipFile.lastIndexOf(u'/') + 1),
                                      m_params.overwrite, {}, cancelFlag());
        if (stopped())
            return;
        const bool copyFailed = !r.ok && !r.existed;
        settle(m_runFolder2, firstFailed || copyFailed);
        failed = failed || copyFailed;
        const QString error = r.error;
        writeLog(m_runFolder, m_runFolder2, [=] {
            return copyFailed ? trMsg(QStringLiteral("Basarisiz.")) + error : trMsg(QStringLiteral("Basarili"));
        });
    }
    if (stopped())
        return;
    sendToMessenger({zipFile, m_params.jobName, m_params.messenger.nickname, m_params.messenger.address,
                     m_params.messenger.deleteAfter, m_params.messenger.password});
    complete(failed);
}

void FolderBackupRun::complete(bool failed)
{
    // Given up: no retention, whatever came back.
    if (stopped())
        return;
    setBarStatement([failed] {
        return trMsg(failed ? QStringLiteral("Yedekleme Islemi Basarisiz.") : QStringLiteral("Yedekleme Islemi Tamamlandi."));
    });
    // A failed run keeps every older backup: pruning now could leave only the broken one.
    if (m_params.retention && !failed) {
        const Waiting pruning(m_params.targetFolder, Waiting::Kind::Folder);
        YedekSil(m_programFolder, m_params.jobName, m_runName);
    }
    end(failed);
}

void FolderBackupRun::fail(const QString &message)
{
    writeLog(m_params.sourceFolder, m_runFolder, [message] { return trMsg(QStringLiteral("Basarisiz.")) + message; });
    setBarStatement([] { return trMsg(QStringLiteral("Yedekleme Islemi Basarisiz.")); });
    end(true, message);
}

} // namespace kx
