#pragma once
// Values the whole process shares: the four in-progress flags, the detailed runner windows flag,
// the tick time, the service date and the shared job buffer, plus the message-translation hook.
// Everything here is touched from the user-interface thread only.

#include "core/jobfile.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>

class QObject;

namespace kx {

struct ServiceState {
    // Set when a runner window of that kind is created, cleared when it closes.
    bool folderBackupRunning = false;
    bool firebirdBackupRunning = false;
    bool folderRestoreRunning = false;
    bool firebirdRestoreRunning = false;

    // Runner windows created while this is on show their detail lines.
    bool detailedRunners = true;

    // Current time minus five seconds at every scheduler tick, and the start time of a manual
    // run; 00:00 until the first of these.
    QTime tickTime = QTime(0, 0);
    // The day the due rules, last-run keys and log lines take as today.
    QDate serviceDate;

    // One key=value list shared by the scheduler, retention and the set-up of scheduled runs.
    JobFile jobBuffer;

    bool anyBackupRunning() const { return folderBackupRunning || firebirdBackupRunning; }
};

ServiceState &service();
// Back to a fresh state (tests).
void resetService();

// Message translation: every text shown at run time passes through it just before it is shown.
// The translator installs itself at start-up; until then a text comes back in its display form.
using MessageTranslator = std::function<QString(const QString &)>;
using WindowTranslator = std::function<void(QObject *)>;
void setTranslators(MessageTranslator msg, WindowTranslator window);
QString trMsg(const QString &text);
void trWindow(QObject *window);

} // namespace kx
