#include "runs/folderrestorerun.h"
#include "core/clock.h"
#include "core/codepage.h"
#include "core/service.h"
#include "archive/cp857.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "archive/zipengine.h"
#include "runs/naming.h"
#include "runs/oplog.h"

#include <QScopeGuard>
#include <QDir>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

// The bytes a typed password may have been keyed with: UTF-8 (this program now, 7-Zip, WinZip),
// Windows-1254 (its earlier versions) and code page 857 (the older Windows installation).
QList<QByteArray> passwordForms(const QString &password)
{
    QList<QByteArray> forms{password.toUtf8()};
    const auto add = [&forms](bool fits, const QByteArray &bytes) {
        if (fits && !forms.contains(bytes))
            forms.append(bytes);
    };
    add(codepage::canEncode(password), codepage::encode(password));
    QByteArray oem;
    const bool oemFits = cp857::encode(password, oem);
    add(oemFits, oem);
    return forms;
}

// The folder and those of its parents that are not there yet, outermost first.
QStringList missingFolders(const QString &folder)
{
    QStringList missing;
    QString path = QDir::cleanPath(folder);
    while (path.size() > 1 && !pathExists(path)) {
        missing.prepend(path);
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0)
            break;
        path = slash == 0 ? QStringLiteral("/") : path.left(slash);
    }
    return missing;
}

} // namespace

FolderRestoreRun::FolderRestoreRun(const FolderRestoreParams &params, QObject *parent)
    : Run(RunKind::FolderRestore, parent), m_params(params)
{
}

void FolderRestoreRun::prepare()
{
    m_params.targetFolder = BackSlash(m_params.targetFolder);
    m_module = trMsg(QStringLiteral("Geri Yukleme")) + trMsg(m_params.zipMode ? QStringLiteral("(ZIP)") : QStringLiteral("Dosya"));
    m_display.source = m_params.zipMode ? m_params.archive : m_params.sourceFolder;
    m_display.target = m_params.targetFolder;
}

void FolderRestoreRun::collect()
{
    m_files = FileCollection();
    if (m_params.zipMode) {
        m_files.folders = 1;
        try {
            m_files.files = inspectZip(m_params.archive).entries;
        } catch (const Error &) {
            // Shown as far as it could be read; the run reports a bad archive.
        }
        struct stat st;
        const bool found = ::stat(encodePath(m_params.archive).constData(), &st) == 0 && S_ISREG(st.st_mode);
        m_files.bytes = found ? st.st_size : 0;
    } else {
        m_files = collectFiles(m_params.sourceFolder, m_params.targetFolder, m_params.subfolders, {m_params.pattern});
    }
    postCounts(m_files.folders, m_files.files, m_files.bytes);
}

LogEntry FolderRestoreRun::logEntry(const QString &status) const
{
    // Restore lines carry the day and time of writing, not the service date.
    const QDateTime now = clock::now();
    return LogEntry{m_module, trMsg(QStringLiteral("Manuel")), logDateText(now.date()), logTimeText(now.time()),
                    m_params.zipMode ? m_params.archive : m_params.sourceFolder, m_params.targetFolder, status};
}

void FolderRestoreRun::writeLog(std::function<QString()> status)
{
    postLog(&restoreLog, [this, status = std::move(status)](const QTime &) { return logEntry(status()); });
}

QString FolderRestoreRun::writeStallLine(const QString &status)
{
    OperationLog &log = restoreLog();
    log.write(logEntry(status));
    return log.takeFailure();
}

void FolderRestoreRun::work()
{
    // A million names are freed here, not on the thread the run object goes from.
    const auto release = qScopeGuard([this] { m_files = FileCollection(); });
    // From the start: a source that does not answer shows as a run whose time goes on.
    startElapsed();
    collect();
    // A restore given up while it waited on a file system writes nothing once the call returns.
    if (stopped())
        return;
    if (pathExists(m_params.targetFolder) && !m_params.overwrite)
        return endSteps(false);
    const QStringList made = missingFolders(m_params.targetFolder);
    try {
        makePath(m_params.targetFolder);
    } catch (const Error &e) {
        const QString text = e.text();
        writeLog([text] { return trMsg(QStringLiteral("Basarisiz.")) + text; });
        return endSteps(true, text);
    }

    if (m_params.zipMode) {
        setBarMaximum(10001);
        setBarPosition(1);
        try {
            const UnpackResult r = unpackZip(m_params.archive, m_params.targetFolder, passwordForms(m_params.password),
                                             m_params.overwrite,
                                             [this](qint64 done, qint64 total) {
                                                 if (total > 0)
                                                     setBarPosition(1 + int(std::lround(done * 10000.0 / total)));
                                             },
                                             cancelFlag());
            setBarPosition(1);
            if (!r.refused.isEmpty()) {
                const QStringList refused = r.refused;
                writeLog([refused] {
                    return trMsg(QStringLiteral("Basarisiz."))
                           + trMsg(QStringLiteral("Hedef klasorun disina yazacak girdiler reddedildi:")) + u' '
                           + refused.join(QStringLiteral(", "));
                });
                return endSteps(true);
            }
        } catch (const Error &e) {
            // The folders made for this restore go again where nothing came into them.
            for (auto it = made.crbegin(); it != made.crend(); ++it)
                ::rmdir(encodePath(*it).constData());
            if (cancelled())
                return end(true, e.text());
            const QString text = e.text();
            writeLog([text] { return trMsg(QStringLiteral("Basarisiz.")) + text; });
            return endSteps(true, text);
        }
        writeLog([] { return trMsg(QStringLiteral("Basarili")); });
        return endSteps(false);
    }

    if (m_files.isEmpty() && m_files.unreadable.isEmpty() && m_files.unreadableFiles.isEmpty())
        return endSteps(false);
    setBarPosition(0);
    setBarMaximum(int(m_files.count() - 1));
    int position = 0;
    const CopyTally copied = copyCollected(m_files, m_params.targetFolder, m_params.overwrite,
                                           [&] { setBarPosition(++position); }, {}, cancelFlag());
    if (stopped())
        return;
    const int failed = copied.failed;
    const QStringList unreadable = m_files.unreadable;
    const qsizetype unreadableFiles = m_files.unreadableFiles.size();
    writeLog([=] { return copyStatus(failed, unreadable, unreadableFiles); });
    endSteps(failed > 0 || !unreadable.isEmpty() || unreadableFiles > 0);
}

void FolderRestoreRun::endSteps(bool failed, const QString &failure)
{
    setBarPosition(0);
    setBarStatement([failed] {
        return trMsg(QStringLiteral("Geri Yukleme"))
               + trMsg(failed ? QStringLiteral(" Islemi Basarisiz.") : QStringLiteral(" Islemi Tamamlandi."));
    });
    end(failed, failure);
}

} // namespace kx
