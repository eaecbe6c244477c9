#include "runs/folderbackuprun.h"
#include "core/codepage.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/zipengine.h"
#include "runs/messenger.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "scheduling/retention.h"
#include "scheduling/unfinished.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace kx {

FolderBackupRun::FolderBackupRun(const QString &programFolder, const FolderBackupParams &params, QObject *parent)
    : Run(RunKind::FolderBackup, parent), m_programFolder(programFolder), m_params(params)
{
}

QString FolderBackupRun::archive() const
{
    return archivePath(m_runFolder, m_params.sourceFolder);
}

void FolderBackupRun::prepare()
{
    const QString name = runFolderName(m_params.jobName, currentRunStamp());
    m_runFolder = folderRunFolder(m_params.targetFolder, name, false);
    m_runFolder2 = folderRunFolder(m_params.targetFolder2, name, true);
    m_module = trMsg(m_params.manual ? QStringLiteral("Manuel Yedekleme") : QStringLiteral("Otomatik Yedekleme"));
    if (m_params.zip)
        m_module += trMsg(QStringLiteral("(ZIP)"));
    // The archive takes folders whose names begin with a dot as well; a copy leaves them out.
    m_files = collectFiles(m_params.sourceFolder, m_runFolder, m_params.subfolders, m_params.filters, m_params.zip);

    m_display.jobName = m_params.jobName;
    m_display.source = m_params.sourceFolder;
    m_display.target = m_runFolder;
    m_display.counted = true;
    m_display.folders = m_files.folders;
    m_display.files = m_files.files;
    m_display.sized = true;
    m_display.bytes = double(m_files.bytes);
}

void FolderBackupRun::writeLog(const QString &source, const QString &target, std::function<QString()> status)
{
    postLog(&backupLog, [this, source, target, status = std::move(status)](const QTime &now) {
        return LogEntry{m_module, m_params.jobName, logDateText(service().serviceDate), logTimeText(now), source,
                        target, status()};
    });
}

void FolderBackupRun::work()
{
    startElapsed();
    if (!QFileInfo(m_params.sourceFolder).isDir()) {
        setBarStatement([] { return trMsg(QStringLiteral("Kaynak dizin bulunamadi.")); });
        writeLog(m_params.sourceFolder, m_runFolder, [] {
            return trMsg(QStringLiteral("Basarisiz.")) + trMsg(QStringLiteral("Kaynak dizin bulunamadi."));
        });
        end(true, QStringLiteral("Kaynak dizin bulunamadi."));
        return;
    }
    if (QFileInfo::exists(m_runFolder) && !m_params.overwrite) {
        complete(false);
        return;
    }
    // What an interrupted run of this job left behind goes first.
    for (const UnfinishedRun &u : unfinishedRuns(m_params.jobName, {m_params.targetFolder, m_params.targetFolder2}, true))
        removeLeftovers(u.runFolder);

    bool failed = false;
    if (!makeRunFolder(m_runFolder, m_params.sourceFolder, &failed))
        return;
    if (m_params.zip)
        zipMode();
    else
        copyMode();
}

bool FolderBackupRun::makeRunFolder(const QString &folder, const QString &logSource, bool *failed)
{
    try {
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
    if (m_files.isEmpty() && m_files.unreadable.isEmpty()) {
        markFinished(m_runFolder);
        complete(false);
        return;
    }
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
    if (first.cancelled)
        return end(true, QStringLiteral("Iptal edildi."));
    markFinished(m_runFolder);
    bool failed = first.failed > 0 || !m_files.unreadable.isEmpty();
    const QStringList unreadable = m_files.unreadable;
    const int failedCopies = first.failed;
    writeLog(m_params.sourceFolder, m_runFolder, [=] { return copyStatus(failedCopies, unreadable); });

    if (!m_runFolder2.isEmpty() && makeRunFolder(m_runFolder2, m_runFolder, &failed)) {
        const FileCollection second = collectFiles(m_runFolder, m_runFolder2, m_params.subfolders, m_params.filters);
        const CopyTally copied = copyWithProgress(second, m_runFolder2);
        if (copied.cancelled)
            return end(true, QStringLiteral("Iptal edildi."));
        markFinished(m_runFolder2);
        failed = failed || copied.failed > 0 || !second.unreadable.isEmpty();
        const int failed2 = copied.failed;
        const QStringList unreadable2 = second.unreadable;
        writeLog(m_runFolder, m_runFolder2, [=] { return copyStatus(failed2, unreadable2); });
    }
    complete(failed);
}

void FolderBackupRun::zipMode()
{
    // Nothing to pack ends like a copy with nothing to copy (an empty archive would not even be
    // written).
    if (m_files.isEmpty() && m_files.unreadable.isEmpty()) {
        markFinished(m_runFolder);
        complete(false);
        return;
    }
    setBarMaximum(10001);
    const QString zipFile = archive();
    PackResult packed;
    try {
        PackProgress progress;
        progress.started = [this] { setBarPosition(1); };
        progress.advanced = [this](double share) { setBarPosition(1 + int(std::lround(share * 10000))); };
        progress.finished = [this] { setBarPosition(1); };
        packed = packZip(zipFile, m_params.sourceFolder, m_files.sources(), codepage::encode(m_params.zipPassword),
                         progress, cancelFlag());
    } catch (const Error &e) {
        if (cancelled())
            return end(true, e.text());
        markFinished(m_runFolder);
        // A run folder the failure left empty would later count among the backups kept.
        QDir().rmdir(m_runFolder);
        fail(e.text());
        return;
    }
    markFinished(m_runFolder);
    // Files that vanished since they were listed are simply not there to back up; files that
    // are there and cannot be read make the run a failure, with the rest still in the archive.
    const int unpacked = int(packed.failed.size());
    const QStringList unreadable = m_files.unreadable;
    bool failed = unpacked > 0 || !unreadable.isEmpty();
    writeLog(m_params.sourceFolder, m_runFolder, [=] { return copyStatus(unpacked, unreadable, true); });

    if (!m_runFolder2.isEmpty() && QFileInfo::exists(zipFile) && makeRunFolder(m_runFolder2, m_runFolder, &failed)) {
        const CopyResult r = copyFile(zipFile, m_runFolder2 + u'/' + QFileInfo(zipFile).fileName(), m_params.overwrite,
                                      {}, cancelFlag());
        if (cancelled())
            return end(true, QStringLiteral("Iptal edildi."));
        markFinished(m_runFolder2);
        const bool copyFailed = !r.ok && !r.existed;
        failed = failed || copyFailed;
        const QString error = r.error;
        writeLog(m_runFolder, m_runFolder2, [=] {
            return copyFailed ? trMsg(QStringLiteral("Basarisiz.")) + error : trMsg(QStringLiteral("Basarili"));
        });
    }
    sendToMessenger({zipFile, m_params.jobName, m_params.messenger.nickname, m_params.messenger.address,
                     m_params.messenger.deleteAfter, m_params.messenger.password});
    complete(failed);
}

void FolderBackupRun::complete(bool failed)
{
    setBarStatement([failed] {
        return trMsg(failed ? QStringLiteral("Yedekleme Islemi Basarisiz.") : QStringLiteral("Yedekleme Islemi Tamamlandi."));
    });
    // A failed run keeps every older backup: pruning now could leave only the broken one.
    if (m_params.retention && !failed)
        YedekSil(m_programFolder, m_params.jobName);
    end(failed);
}

void FolderBackupRun::fail(const QString &message)
{
    writeLog(m_params.sourceFolder, m_runFolder, [message] { return trMsg(QStringLiteral("Basarisiz.")) + message; });
    setBarStatement([] { return trMsg(QStringLiteral("Yedekleme Islemi Basarisiz.")); });
    end(true, message);
}

} // namespace kx
