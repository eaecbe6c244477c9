#include "runs/firebirdbackuprun.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "runs/collect.h"
#include "runs/messenger.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "scheduling/retention.h"
#include "scheduling/unfinished.h"

#include <QHostAddress>
#include <QtEndian>
#include <fcntl.h>
#include <grp.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace kx {

namespace {

bool isLoopbackServer(const QString &server)
{
    // "127.0.0.1/3051" names a port as well.
    QHostAddress address;
    return address.setAddress(server.section(u'/', 0, 0)) && address.isLoopback();
}

constexpr mode_t kAddOnly = S_IWGRP | S_IXGRP;
constexpr mode_t kAddOnlyOthers = S_IWOTH | S_IXOTH;

// The folder's "system.posix_acl_access": the owner keeps everything, the server's user and
// group may add entries, the owning group and everyone else nothing. Entries go in the order
// the kernel wants (by tag, then by id).
QByteArray addOnlyAccessList(const ServerAccount &account)
{
    QByteArray acl;
    auto put = [&acl](quint16 tag, quint16 perm, quint32 id) {
        posix_acl_xattr_entry e;
        e.e_tag = qToLittleEndian(tag);
        e.e_perm = qToLittleEndian(perm);
        e.e_id = qToLittleEndian(id);
        acl.append(reinterpret_cast<const char *>(&e), sizeof e);
    };
    posix_acl_xattr_header h;
    h.a_version = qToLittleEndian(quint32(POSIX_ACL_XATTR_VERSION));
    acl.append(reinterpret_cast<const char *>(&h), sizeof h);
    const quint32 none = quint32(ACL_UNDEFINED_ID);
    put(ACL_USER_OBJ, ACL_READ | ACL_WRITE | ACL_EXECUTE, none);
    if (account.user)
        put(ACL_USER, ACL_WRITE | ACL_EXECUTE, quint32(*account.user));
    put(ACL_GROUP_OBJ, 0, none);
    if (account.group)
        put(ACL_GROUP, ACL_WRITE | ACL_EXECUTE, quint32(*account.group));
    put(ACL_MASK, ACL_WRITE | ACL_EXECUTE, none);
    put(ACL_OTHER, 0, none);
    return acl;
}

} // namespace

ServerAccount firebirdServerAccount()
{
    // The reentrant lookups: runs work on threads of their own.
    ServerAccount account;
    std::vector<char> buffer(16384);
    passwd pw;
    passwd *pwFound = nullptr;
    if (::getpwnam_r("firebird", &pw, buffer.data(), buffer.size(), &pwFound) == 0 && pwFound) {
        account.user = pw.pw_uid;
        account.group = pw.pw_gid;
    }
    group gr;
    group *grFound = nullptr;
    if (::getgrnam_r("firebird", &gr, buffer.data(), buffer.size(), &grFound) == 0 && grFound)
        account.group = gr.gr_gid;
    return account;
}

ServerAccess openFolderForServer(const QString &folder, const ServerAccount &account, int ways)
{
    QByteArray path = encodePath(folder);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return ServerAccess::Failed;
    const auto done = [fd](ServerAccess a) {
        ::close(fd);
        return a;
    };
    if (account.user && *account.user == ::geteuid())
        return done(ServerAccess::Own);
    if ((ways & GroupOwnership) && account.group && ::fchown(fd, uid_t(-1), *account.group) == 0
        && ::fchmod(fd, S_ISVTX | S_IRWXU | kAddOnly) == 0)
        return done(ServerAccess::Group);
    if ((ways & AccessControlList) && (account.user || account.group)
        && ::fchmod(fd, S_ISVTX | S_IRWXU) == 0) {
        const QByteArray acl = addOnlyAccessList(account);
        if (::fsetxattr(fd, "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0) == 0)
            return done(ServerAccess::AccessList);
    }
    if (::fchmod(fd, S_ISVTX | S_IRWXU | kAddOnly | kAddOnlyOthers) == 0)
        return done(ServerAccess::Everyone);
    return done(ServerAccess::Failed);
}

FirebirdLocation splitFirebirdDatabase(const QString &database)
{
    const qsizetype colon = database.indexOf(u':');
    const QString head = colon < 0 ? QString() : database.left(colon);
    if (head.size() < 2 || !head.contains(u'.'))
        return {QStringLiteral("127.0.0.1"), database, true};
    return {head, database.mid(colon + 1), isLoopbackServer(head)};
}

QString firebirdTimeoutText()
{
    return trMsg(QStringLiteral("Firebird sunucusu (%1) %2 saniye icinde yanit vermedi."));
}

void runFirebirdService(const FbRequest &request, const std::function<void(const QString &)> &onLine,
                        const std::atomic<bool> *cancel, const QString &timeoutText)
{
    try {
        runFbService(request, onLine, cancel);
    } catch (const FbTimeout &e) {
        throw Error(QString(timeoutText).arg(e.host()).arg(e.seconds()));
    }
}

FirebirdBackupRun::FirebirdBackupRun(const QString &programFolder, const FirebirdBackupParams &params, QObject *parent)
    : Run(RunKind::FirebirdBackup, parent), m_programFolder(programFolder), m_params(params)
{
    m_jobName = m_params.jobName;
}

void FirebirdBackupRun::prepare()
{
    m_display.jobName = m_params.jobName;
    m_display.source = m_params.database;
    m_display.target = m_params.targetFolder;
    m_module = trMsg(m_params.manual ? QStringLiteral("Manuel FB Yedekleme") : QStringLiteral("Otomatik FB Yedekleme"));
    m_timeoutText = firebirdTimeoutText();
    m_noFileText = trMsg(QStringLiteral("Sunucu basarili dedi ama yedek dosyasi bulunamadi:"));
    m_secondCopyText = trMsg(QStringLiteral("Ikinci kopya alinamadi."));

    const QString name = runFolderName(m_params.jobName, runStamp(m_params.moment));
    m_runFolder = folderRunFolder(m_params.targetFolder, name, false) + u'/';
    m_runFolder2 = m_params.targetFolder2.isEmpty() ? QString() : folderRunFolder(m_params.targetFolder2, name, false) + u'/';
    m_backupFile = firebirdBackupFile(m_runFolder, m_params.database);
    m_database = m_params.database;
}

void FirebirdBackupRun::writeLog(const QString &source, const QString &target, std::function<QString()> status)
{
    postLog(&backupLog, [this, source, target, status = std::move(status)](const QTime &now) {
        return LogEntry{m_module, m_params.jobName, logDateText(m_params.moment.serviceDate), logTimeText(now), source,
                        target, status()};
    });
}

void FirebirdBackupRun::work()
{
    // From the start: a target that does not answer shows as a run whose time goes on.
    startElapsed();
    const FirebirdLocation where = splitFirebirdDatabase(m_params.database);
    // From here on the log shows the path without the server.
    m_database = where.database;

    if (pathExists(m_runFolder) && !m_params.overwrite)
        return end(false);
    for (const UnfinishedRun &u : unfinishedRuns(m_params.jobName, {m_params.targetFolder, m_params.targetFolder2}, true))
        removeLeftovers(u.runFolder);
    const bool newFolder = !pathExists(m_runFolder);
    try {
        makeConfinedFolder(m_runFolder);
        markUnfinished({m_runFolder, m_module, m_params.jobName, m_database, m_backupFile});
    } catch (const Error &e) {
        return fail(e.text());
    }
    // The local server usually runs as a user of its own and creates the backup file in this
    // folder; the parents keep whatever they had. A folder that cannot be opened to it at all
    // shows as the server's own refusal in the log.
    if (newFolder && where.local)
        openFolderForServer(m_runFolder, firebirdServerAccount());

    try {
        runFirebirdService({FbRequest::Action::Backup, where.server, m_params.userName, m_params.password, m_database,
                            m_backupFile},
                           [this](const QString &) { ++m_outputLines; }, cancelFlag(), m_timeoutText);
    } catch (const Error &e) {
        if (cancelled())
            return end(true, e.text());
        markFinished(m_runFolder);
        // A run folder the failure left empty would later count among the backups kept.
        ::rmdir(encodePath(m_runFolder).constData());
        return fail(e.text());
    }
    // A server on this machine that reports success must have left the file where we look
    // (a server with a private /tmp, for one, writes somewhere else).
    if (where.local && !pathExists(m_backupFile)) {
        markFailed(m_runFolder);
        return fail(m_noFileText + u' ' + m_backupFile);
    }
    markFinished(m_runFolder);
    writeLog(m_database, m_backupFile, [] { return trMsg(QStringLiteral("Basarili")); });

    bool failed = false;
    if (!m_runFolder2.isEmpty() && pathExists(m_backupFile)) {
        bool folderReady = true;
        try {
            makeConfinedFolder(m_runFolder2);
            markUnfinished({m_runFolder2, m_module, m_params.jobName, m_backupFile, m_runFolder2});
        } catch (const Error &e) {
            // A second copy the user asked for and did not get is a failure of its own.
            folderReady = false;
            failed = true;
            const QString text = e.text();
            writeLog(m_backupFile, m_runFolder2, [text] { return trMsg(QStringLiteral("Basarisiz.")) + text; });
        }
        if (folderReady) {
            const QString copy = m_runFolder2 + m_backupFile.mid(m_backupFile.lastIndexOf(u'/') + 1);
            const CopyResult r = copyFile(m_backupFile, copy, m_params.overwrite, {}, cancelFlag());
            if (cancelled())
                return end(true, QStringLiteral("Iptal edildi."));
            failed = !r.ok && !r.existed;
            if (failed)
                markFailed(m_runFolder2);
            else
                markFinished(m_runFolder2);
            const QString error = r.error;
            writeLog(m_backupFile, copy, [failed, error] {
                return failed ? trMsg(QStringLiteral("Basarisiz.")) + error : trMsg(QStringLiteral("Basarili"));
            });
        }
    }
    // A failed run keeps every older backup.
    if (m_params.retention && !failed)
        YedekSil(m_programFolder, m_params.jobName, withoutTrailingSlash(m_runFolder).section(u'/', -1));
    sendToMessenger({m_backupFile, m_params.jobName, m_params.messenger.nickname, m_params.messenger.address,
                     m_params.messenger.deleteAfter, m_params.messenger.password});
    end(failed, failed ? m_secondCopyText : QString());
}

void FirebirdBackupRun::fail(const QString &message)
{
    writeLog(m_database, m_backupFile, [message] { return trMsg(QStringLiteral("Basarisiz.")) + message; });
    end(true, message);
}

} // namespace kx
