#include "core/daytime.h"

#include <QRegularExpression>

#include <QLocale>
#include <cmath>
#include <cstdio>

namespace kx {

namespace {
const QDate kEpoch(1899, 12, 30);
}

double serialDay(const QDate &date)
{
    return double(kEpoch.daysTo(date));
}

QDate dateFromSerial(double day)
{
    if (!std::isfinite(day) || std::fabs(day) > 3e6)
        return QDate();
    return kEpoch.addDays(qint64(std::floor(day)));
}

double dayFraction(const QTime &time)
{
    return time.isValid() ? time.msecsSinceStartOfDay() / 86400000.0 : 0.0;
}

QTime timeFromFraction(double fraction)
{
    if (!std::isfinite(fraction))
        return QTime(0, 0);
    double f = fraction - std::floor(fraction);
    qint64 ms = qint64(std::llround(f * 86400000.0));
    if (ms >= 86400000)
        ms = 86399999;
    return QTime::fromMSecsSinceStartOfDay(int(ms));
}

QString formatNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        return QStringLiteral("0");
    // 15 significant digits, then decide fixed or scientific like the classic general format:
    // fixed while the value is at least 0.00001 and its integer part fits in 15 digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    QByteArray s(buf);
    const bool negative = s.startsWith('-');
    if (negative)
        s.remove(0, 1);
    const qsizetype ePos = s.indexOf('e');
    const int exponent = s.mid(ePos + 1).toInt();
    QByteArray digits = s.left(ePos);
    digits.remove(1, 1); // the point after the first digit
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    const QString sep = QLocale().decimalPoint();
    QString out;
    if (exponent >= -5 && exponent < 15) {
        QByteArray intPart, fracPart;
        if (exponent >= 0) {
            QByteArray d = digits;
            while (d.size() < exponent + 1)
                d.append('0');
            intPart = d.left(exponent + 1);
            fracPart = d.mid(exponent + 1);
        } else {
            intPart = "0";
            fracPart = QByteArray(-exponent - 1, '0') + digits;
        }
        out = QString::fromLatin1(intPart);
        if (!fracPart.isEmpty())
            out += sep + QString::fromLatin1(fracPart);
    } else {
        out = QString::fromLatin1(digits.left(1));
        if (digits.size() > 1)
            out += sep + QString::fromLatin1(digits.mid(1));
        out += QStringLiteral("E") + QString::number(exponent);
    }
    return negative ? QStringLiteral("-") + out : out;
}

std::optional<double> parseNumber(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    t.replace(u',', u'.');
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<QTime> parseTypedTime(const QString &text)
{
    QString s = text;
    s.remove(u' ');
    if (s.isEmpty())
        return std::nullopt;
    QString hours = s, minutes;
    const qsizetype sep = s.indexOf(QRegularExpression(QStringLiteral("[:.]")));
    if (sep >= 0) {
        hours = s.left(sep);
        minutes = s.mid(sep + 1);
    } else if (s.size() > 2) {
        // Digits alone: the last two are the minutes.
        hours = s.left(s.size() - 2);
        minutes = s.right(2);
    }
    const auto digits = [](const QString &part) {
        for (QChar c : part)
            if (c < u'0' || c > u'9')
                return false;
        return true;
    };
    if (hours.isEmpty() || hours.size() > 2 || minutes.size() > 2 || !digits(hours) || !digits(minutes))
        return std::nullopt;
    const int h = hours.toInt();
    const int m = minutes.isEmpty() ? 0 : minutes.toInt();
    if (h > 23 || m > 59)
        return std::nullopt;
    return QTime(h, m);
}

} // namespace kx
