#pragma once
// What the service knows of "now" between its ticks, and the switches the windows share. The
// main window owns one context and hands it to the scheduler, the runs' set-up and the windows;
// a run takes a copy of the moment it was set up for, so its worker never reads shared state.

#include <QDate>
#include <QTime>

namespace kx {

// The moment a run belongs to.
struct RunMoment {
    // The day the due rules, last-run keys and log lines take as today.
    QDate serviceDate;
    // The scheduler tick's time (the clock's time less five seconds) or the start time of a
    // manual run; 00:00 until the first of these. tickDate is the day that time belongs to, so a
    // run stamp made from the two always names one real moment.
    QDate tickDate;
    QTime tickTime = QTime(0, 0);
};

class ServiceContext
{
public:
    const RunMoment &moment() const { return m_moment; }

    // A scheduler tick: the service date moves to today and the tick time is taken.
    void tick();
    // A run started by hand: its own tick time, on the service date of the last tick.
    void takeTickTime();
    // Start-up (and tests): the day the service works on before its first tick.
    void setServiceDate(const QDate &date) { m_moment.serviceDate = date; }
    // Tests: a tick at a chosen moment.
    void setTick(const QDate &date, const QTime &time)
    {
        m_moment.tickDate = date;
        m_moment.tickTime = time;
    }

    // Runner windows created while this is on show their detail lines.
    bool detailedRunners = true;

private:
    RunMoment m_moment;
};

} // namespace kx
