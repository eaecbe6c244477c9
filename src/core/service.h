#pragma once
// Values the whole process shares: the detailed runner windows flag, the tick time and the
// service date, plus the message-translation hook. Everything here is touched from the
// user-interface thread only.

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>

class QObject;

namespace kx {

struct ServiceState {
    // Runner windows created while this is on show their detail lines.
    bool detailedRunners = true;

    // Current time minus five seconds at every scheduler tick, and the start time of a manual
    // run; 00:00 until the first of these. tickDate is the day that time belongs to, so a run
    // stamp made from the two always names one real moment.
    QTime tickTime = QTime(0, 0);
    QDate tickDate;
    // The day the due rules, last-run keys and log lines take as today.
    QDate serviceDate;

    // How a job editor opens: -1 on a new job, 0 on the job it is given.
    int editorOpenMode = 0;
};

ServiceState &service();
// Back to a fresh state (tests).
void resetService();

// Sets the tick time to the clock's time less five seconds. In the first five seconds of a day
// it stays at 00:00 of that day: a time of yesterday paired with today's date would name a run
// folder that sorts as the newest of the day and a last run that lies in the future.
void setTickTimeFromClock();

// Message translation: every text shown at run time passes through it just before it is shown.
// The translator installs itself at start-up; until then a text comes back in its display form.
// User-interface thread only: the translator keeps state between lookups.
using MessageTranslator = std::function<QString(const QString &)>;
using WindowTranslator = std::function<void(QObject *)>;
void setTranslators(MessageTranslator msg, WindowTranslator window);
QString trMsg(const QString &text);
// Marks a text that is kept for a while and translated where it is shown (with trMsg), so the
// language files' completeness test finds it as it finds every text handed to trMsg directly.
#define KX_TEXT(text) QStringLiteral(text)
void trWindow(QObject *window);

} // namespace kx
