#include "runs/firebirdrestorerun.h"
#include "platform/fd.h"
#include "core/service.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "platform/tempname.h"
#include "runs/firebirdbackuprun.h"
#include "runs/naming.h"
#include "runs/oplog.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kx {

namespace {

QString folderOf(const QString &file)
{
    const qsizetype slash = file.lastIndexOf(u'/');
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : file.left(slash);
}

// Whether the system's lock table lists a lock on the file: how a database file this program may
// not open shows that the server has it open. A link is no database.
bool lockedByAnyone(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray table;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            table.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fd);
    // "1: FLOCK  ADVISORY  WRITE 4711 fe:00:10969223 0 EOF"
    const QByteArray id = QString::asprintf(" %02x:%02x:%llu ", ::major(st.st_dev), ::minor(st.st_dev),
                                            static_cast<unsigned long long>(st.st_ino))
                              .toLatin1();
    return table.contains(id);
}

} // namespace

FirebirdRestoreRun::FirebirdRestoreRun(const FirebirdRestoreParams &params, QObject *parent)
    : Run(RunKind::FirebirdRestore, parent), m_params(params)
{
}

void FirebirdRestoreRun::prepare()
{
    m_display.source = m_params.backupFile;
    m_display.target = m_params.databaseFile;
    m_timeoutText = firebirdTimeoutText();
    m_incompleteText = trMsg(QStringLiteral("Yedek dosyasi eksik ya da bozuk; geri yukleme tamamlanamadi."));
    m_inUseText = trMsg(QStringLiteral("Veritabani kullanimda, uzerine geri yukleme yapilamadi."));
    m_notPlacedText = trMsg(QStringLiteral("Geri yuklenen veritabani yerine konamadi: %1 %2"));
    m_notRemovedText = trMsg(QStringLiteral("Gecici dosya silinemedi: %1 %2"));

    // In the target's folder, so the rename into place never crosses file systems; named as this
    // program's temporaries are.
    const QString target = m_params.databaseFile;
    const QByteArray name = encodePath(target.mid(target.lastIndexOf(u'/') + 1));
    m_temporary = folderOf(target) + u'/' + decodePath(temporaryName(name));
}

void FirebirdRestoreRun::writeLog(std::function<QString()> status)
{
    postLog(&restoreLog, [this, status = std::move(status)](const QTime &now) {
        return LogEntry{trMsg(QStringLiteral("Firebird Geri Yukleme")), trMsg(QStringLiteral("Manuel")),
                        logDateText(m_params.serviceDate), logTimeText(now), m_params.backupFile,
                        m_params.databaseFile, status()};
    });
}

void FirebirdRestoreRun::fail(const QString &cause)
{
    QString text = cause;
    const QString left = removeTemporary();
    if (!left.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + left;
    writeLog([text] { return trMsg(QStringLiteral("Basarisiz.")) + text; });
    end(true, text);
}

QString FirebirdRestoreRun::removeTemporary() const
{
    // The file belongs to the server's account; the folder's owner (or root) may still unlink it.
    if (removeFile(m_temporary))
        return QString();
    const int err = errno;
    return err == ENOENT ? QString() : QString(m_notRemovedText).arg(m_temporary, systemErrorText(err));
}

QString FirebirdRestoreRun::putInPlace() const
{
    const QByteArray target = encodePath(m_params.databaseFile);
    // The server keeps a lock on a database file while anyone works in it; a file swapped under
    // them would take their further work with it. Held over the rename, so nobody comes in
    // between.
    const int old = ::open(target.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    const bool inUse = old >= 0 ? ::flock(old, LOCK_EX | LOCK_NB) != 0 : errno != ENOENT && lockedByAnyone(target);
    // A link at the name is replaced, not followed.
    const int renamed = inUse || ::rename(encodePath(m_temporary).constData(), target.constData()) == 0 ? 0 : errno;
    if (old >= 0)
        ::close(old);
    if (inUse)
        return m_inUseText;
    if (renamed != 0)
        return QString(m_notPlacedText).arg(m_params.databaseFile, systemErrorText(renamed));
    const int folder = ::open(encodePath(folderOf(m_params.databaseFile)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return QString();
}

void FirebirdRestoreRun::work()
{
    startElapsed();
    // A backup file that is not there (or not a plain file) shows as nothing to restore.
    const QFileInfo backup(m_params.backupFile);
    postSize(backup.isFile() ? double(backup.size()) : 0.0);
    // The server creates the file but not its folder. A folder made here is opened to the server's
    // account as the backup's run folders are; one that was there keeps its rights, and where the
    // server may not create its file, or the folder cannot be made, the server's own error says so.
    const QString folder = folderOf(m_params.databaseFile);
    const bool newFolder = !isFolder(folder);
    try {
        makePath(folder);
        if (newFolder)
            openFolderForServer(folder, firebirdServerAccount());
    } catch (const Error &) {
    }
    // Only a process of this number that is gone can have left the name; the server would not
    // create its database over it.
    if (!removeTemporary().isEmpty())
        return fail(QString());

    // Always through the server on this machine: the in-process engine would open the
    // database with this program's rights and beside a running server.
    bool complete = false;
    try {
        runFirebirdService({FbRequest::Action::Restore, QStringLiteral("127.0.0.1"), m_params.userName,
                            m_params.password, m_temporary, m_params.backupFile},
                           [&complete](const QString &line) { complete = complete || isGbakClosingLine(line); },
                           cancelFlag(), m_timeoutText);
    } catch (const Error &e) {
        // The program ends; the log hears of it only when something stays behind.
        if (cancelled() && removeTemporary().isEmpty())
            return end(true, e.text());
        if (cancelled())
            return fail(e.text());
        // Once the server has begun the database, it is what the backup file held that ran out
        // or broke; before that (no access, no room for the file) the server's text says it all.
        if (pathExists(m_temporary))
            return fail(m_incompleteText + u' ' + e.text());
        return fail(e.text());
    }
    if (!complete)
        return fail(m_incompleteText);
    const QString notPlaced = putInPlace();
    if (!notPlaced.isEmpty())
        return fail(notPlaced);
    writeLog([] { return trMsg(QStringLiteral("Basarili")); });
    end(false);
}

} // namespace kx
