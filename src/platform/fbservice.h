#pragma once
// A session with a Firebird server's service manager (the Services API), which is how backups
// and restores are driven without the server needing access to the client's files.

#include "platform/kxerror.h"

#include <QString>
#include <atomic>
#include <functional>
#include <ibase.h>

namespace kx {

// One backup or restore as the server is asked for it. Paths are the server's own.
struct FbRequest {
    enum class Action { Backup, Restore };
    Action action = Action::Backup;
    // What goes before ":service_mgr": "127.0.0.1" for this machine, "server/3051" for a port.
    QString host;
    QString user;
    QString password;
    QString database;
    QString backupFile;
};

class FbService
{
public:
    // What one look at the service output found.
    enum class Output { Line, Waiting, Finished };

    FbService() = default;
    ~FbService();

    FbService(const FbService &) = delete;
    FbService &operator=(const FbService &) = delete;
    FbService(FbService &&other) noexcept;
    FbService &operator=(FbService &&other) noexcept;

    // host is what goes before ":service_mgr": "127.0.0.1" for this machine, "server/3051" for
    // another port. An existing session is closed first. Throws kx::Error with the server's text.
    // A positive connectTimeoutSeconds bounds how long a peer that never answers can hold the
    // call (without it the client library waits for minutes).
    void attach(const QString &host, const QString &user, const QString &password, int connectTimeoutSeconds = 0);
    // Does nothing when not attached. Throws kx::Error if the server reports a failure; the
    // session counts as closed either way.
    void detach();
    bool isAttached() const { return m_handle != 0; }

    // Starts the backup or the restore (a new database only, page size 4096) of the request,
    // both with verbose output. Throws kx::Error with the server's text.
    void start(const FbRequest &request);
    // Waits up to a second for the next line of output. Line: *line holds it.
    // Waiting: nothing yet, the service still works. Finished: the service has ended without
    // an error. A failure of the work itself throws kx::Error with the server's text.
    Output nextOutput(QString *line);

private:
    void detachQuietly() noexcept;

    isc_svc_handle m_handle = 0;
};

// gbak's last line of the verbose output of a complete backup or restore. A restore whose
// output ends before it did not finish, even when the server reports no error (a backup file
// cut short does that).
bool isGbakClosingLine(const QString &line);

// The complete text of a failed call's status vector, one line per message.
QString fbStatusText(const ISC_STATUS *status);
// Throws kx::Error with fbStatusText(status) when the status vector reports an error.
void fbCheck(const ISC_STATUS *status);

// The server did not answer the attach in time. The text is complete; seconds() lets a caller
// word it differently.
class FbTimeout : public Error
{
public:
    FbTimeout(const QString &host, int seconds);
    QString host() const { return m_host; }
    int seconds() const { return m_seconds; }

private:
    QString m_host;
    int m_seconds;
};

// The whole conversation of one request: attach, start, read the output to its end, detach.
// The library calls run on a thread of their own while the calling thread waits, so a server
// that stops answering never holds the caller for ever; each line of output is handed to onLine
// on the calling thread. Throws FbTimeout when the attach is not answered within the attach
// time-out or a later call not within the answer time-out, kx::Error with the server's text on
// any other failure, and kx::Error when `cancel` is set during the wait. A conversation thread
// left behind ends on its own once its call returns and never touches anything of the caller's.
void runFbService(const FbRequest &request, const std::function<void(const QString &)> &onLine = {},
                  const std::atomic<bool> *cancel = nullptr);

// How long the attach may take (30 s). Test seam.
void setFbAttachTimeoutMs(int ms);
int fbAttachTimeoutMs();
// How long any later call may go unanswered (60 s; a working server answers every second or
// two). Test seam.
void setFbAnswerTimeoutMs(int ms);
int fbAnswerTimeoutMs();
// Conversation threads that have not ended yet, those given up on included. Test seam.
int fbWorkersRunning();
// Test seam: called on the conversation's thread after each answered call ("attach", "start",
// "line", "waiting").
void setFbAfterCallHook(std::function<void(const char *step)> hook);

} // namespace kx
