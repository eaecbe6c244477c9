#pragma once
// The one clock of the program. The scheduler tick, run stamps, last-run keys and log lines all
// ask it, so tests can set the date and the time of day.

#include <QDateTime>

namespace kx::clock {

QDateTime now();
inline QDate today() { return now().date(); }
inline QTime timeOfDay() { return now().time(); }

// Test seam: a fixed moment (an invalid QDateTime returns to the real clock).
void setNow(const QDateTime &fixed);

} // namespace kx::clock
