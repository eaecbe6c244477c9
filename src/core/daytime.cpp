#include "core/daytime.h"

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

} // namespace kx
