#pragma once
// A Firebird backup: the database server, through its service manager, writes a backup of the
// job's database into a new run folder; the file is copied into the second target, the backup
// log written, old runs pruned and the file handed to the chat program.

#include "platform/fbservice.h"
#include "runs/run.h"
#include "runs/runparams.h"

#include <atomic>
#include <optional>
#include <sys/types.h>

namespace kx {

// Which server a job's database names and the path as that server sees it. A text before the
// first ":" of at least two characters with a "." in it is a server ("192.168.1.5:D:/db.fdb");
// anything else goes unchanged to the server on this machine.
struct FirebirdLocation {
    QString server;   // what goes before ":service_mgr"
    QString database; // the path without the server
    bool local = false;
};
FirebirdLocation splitFirebirdDatabase(const QString &database);

// The service conversation of a run (see runFbService); the time-out is worded for the user
// with the texts given (made on the user-interface thread).
void runFirebirdService(const FbRequest &request, const std::function<void(const QString &)> &onLine,
                        const std::atomic<bool> *cancel, const QString &timeoutText);
// "Firebird sunucusu (%1) %2 saniye icinde yanit vermedi." translated; user-interface thread.
QString firebirdTimeoutText();

// The account the Firebird server on this machine runs as. Firebird's own installer and the
// distributions' packages (Debian's among them) run it as the user "firebird" with the group
// "firebird"; without such a group the user's own group stands in. Neither is there when the
// server runs under an account we cannot tell (root, a container).
struct ServerAccount {
    std::optional<uid_t> user;
    std::optional<gid_t> group;
};
ServerAccount firebirdServerAccount();

// How a run folder was opened to the server.
enum class ServerAccess {
    Own,        // the server runs as this program's user: nothing to give
    Group,      // the folder belongs to the server's group
    AccessList, // an access-control entry gives the server's user and group the right
    Everyone,   // neither was possible: every local user may add entries
    Failed,     // not even that; the server's own refusal will say why
};

// The ways tried, in this order.
enum ServerAccessWay { GroupOwnership = 1, AccessControlList = 2, AllServerAccessWays = 3 };

// Lets the server's account create its backup file in a folder this program made, and nobody
// else: the folder goes to the server's group (possible for root or a member of that group), or
// else gets an access-control entry for it (possible on file systems with POSIX ACLs). The
// server may add entries, not list them; the sticky bit keeps it from removing what the
// program put there. Only when both fail, or the account is unknown, may every local user add
// entries as the server may (mode 1733). A link at the folder's name is refused.
ServerAccess openFolderForServer(const QString &folder, const ServerAccount &account,
                                 int ways = AllServerAccessWays);

class FirebirdBackupRun final : public Run
{
    Q_OBJECT
public:
    FirebirdBackupRun(const QString &programFolder, const FirebirdBackupParams &params, QObject *parent = nullptr);
    // The work reads this class's members: it stops before any of them goes.
    ~FirebirdBackupRun() override { stopWork(); }

    const FirebirdBackupParams &params() const { return m_params; }
    QString firstRunFolder() const { return m_runFolder; }
    QString secondRunFolder() const { return m_runFolder2; }
    QString backupFile() const { return m_backupFile; }
    // Lines of service output seen so far.
    int outputLines() const { return m_outputLines.load(); }

    // YedekAyarla: labels, run folders and the backup file's name.
    void prepare() override;

protected:
    // OtoYedekle.
    void work() override;

private:
    void writeLog(const QString &source, const QString &target, std::function<QString()> status);
    void fail(const QString &message);

    QString m_programFolder;
    FirebirdBackupParams m_params;
    QString m_module;
    QString m_timeoutText;
    QString m_noFileText;
    QString m_secondCopyText;
    QString m_database; // without a server in front
    QString m_runFolder;
    QString m_runFolder2;
    QString m_backupFile;
    std::atomic<int> m_outputLines{0};
};

} // namespace kx
