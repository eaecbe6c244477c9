#pragma once
// Days and times of day as job files and logs store them: a day is its serial number counted
// from 1899-12-30, a time of day the fraction of a day. Both are written in general number form
// with at most 15 significant digits and the locale's decimal separator, and read back accepting
// either "," or ".".

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace kx {

double serialDay(const QDate &date);
QDate dateFromSerial(double day);
double dayFraction(const QTime &time);
QTime timeFromFraction(double fraction);

// General number format, 15 significant digits, separator of QLocale() (the system locale
// unless the program set another default).
QString formatNumber(double value);

// Accepts "," and "." as the decimal separator, an optional sign and exponent, and blanks
// around; nothing else.
std::optional<double> parseNumber(const QString &text);

// A time of day as a user types it: "22:15", "22.15", "9:05", "22:" (hours alone, with or
// without the separator), "2215", "915", "22" or "9"; blanks anywhere are ignored. Nothing when
// the text is empty or cannot be a time (hours from 0 to 23, minutes from 0 to 59).
std::optional<QTime> parseTypedTime(const QString &text);

} // namespace kx
