#include "runs/firebirdrestorerun.h"
#include "core/service.h"
#include "platform/kxerror.h"
#include "runs/firebirdbackuprun.h"
#include "runs/naming.h"
#include "runs/oplog.h"

#include <QDir>
#include <QFileInfo>

namespace kx {

FirebirdRestoreRun::FirebirdRestoreRun(const FirebirdRestoreParams &params, QObject *parent)
    : Run(RunKind::FirebirdRestore, parent), m_params(params)
{
}

void FirebirdRestoreRun::prepare()
{
    m_display.source = m_params.backupFile;
    m_display.target = m_params.databaseFile;
    // A backup file that is not there (or not a plain file) shows as nothing to restore.
    const QFileInfo backup(m_params.backupFile);
    m_display.sized = true;
    m_display.bytes = backup.isFile() ? double(backup.size()) : 0.0;
    m_timeoutText = firebirdTimeoutText();
}

void FirebirdRestoreRun::writeLog(std::function<QString()> status)
{
    postLog(&restoreLog, [this, status = std::move(status)](const QTime &now) {
        return LogEntry{trMsg(QStringLiteral("Firebird Geri Yukleme")), trMsg(QStringLiteral("Manuel")),
                        logDateText(service().serviceDate), logTimeText(now), m_params.backupFile,
                        m_params.databaseFile, status()};
    });
}

void FirebirdRestoreRun::work()
{
    startElapsed();
    // The server creates the file but not its folder. A folder that cannot be made shows up
    // as the server's own error.
    QDir().mkpath(QFileInfo(m_params.databaseFile).absolutePath());

    // Always through the server on this machine: the in-process engine would open the
    // database with this program's rights and beside a running server.
    try {
        runFirebirdService({FbRequest::Action::Restore, QStringLiteral("127.0.0.1"), m_params.userName,
                            m_params.password, m_params.databaseFile, m_params.backupFile},
                           {}, cancelFlag(), m_timeoutText);
    } catch (const Error &e) {
        if (cancelled())
            return end(true, e.text());
        const QString text = e.text();
        writeLog([text] { return trMsg(QStringLiteral("Basarisiz.")) + text; });
        return end(true, text);
    }
    writeLog([] { return trMsg(QStringLiteral("Basarili")); });
    end(false);
}

} // namespace kx
