#include "core/jobfile.h"
#include "core/codepage.h"
#include "platform/files.h"

#include <algorithm>

namespace kx {

JobFile JobFile::load(const QString &path)
{
    return JobFile(codepage::splitLines(readWholeFile(path)));
}

void JobFile::save(const QString &path) const
{
    writeWholeFile(path, codepage::joinLines(m_lines), true);
}

qsizetype JobFile::indexOf(const QString &key) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString &line = m_lines.at(i);
        const qsizetype eq = line.indexOf(u'=');
        if (eq == key.size() && QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString JobFile::value(const QString &key) const
{
    const qsizetype i = indexOf(key);
    if (i < 0)
        return QString();
    const QString &line = m_lines.at(i);
    return line.mid(line.indexOf(u'=') + 1);
}

void JobFile::setValue(const QString &key, const QString &value)
{
    const qsizetype i = indexOf(key);
    if (value.isEmpty()) {
        if (i >= 0)
            m_lines.removeAt(i);
        return;
    }
    // A line break inside a value would split it into lines of their own (and let a value
    // smuggle in keys), so it is stored as a blank.
    QString v = value;
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString line = key.toUpper() + u'=' + v;
    if (i >= 0)
        m_lines[i] = line;
    else
        m_lines.append(line);
}

std::optional<bool> parseBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double n = t.toDouble(&ok);
    if (ok)
        return n != 0;
    return std::nullopt;
}

std::optional<qint64> parseInt(const QString &text)
{
    // Digits with an optional sign; blanks around are not part of the number.
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

bool JobFile::flag(const QString &key, bool defaultValue) const
{
    return parseBool(value(key)).value_or(defaultValue);
}

bool JobFile::isTrue(const QString &key) const
{
    return value(key) == QLatin1String("True");
}

qint64 JobFile::intValue(const QString &key, qint64 defaultValue) const
{
    return parseInt(value(key)).value_or(defaultValue);
}

ScheduleUnit scheduleUnit(const QString &value)
{
    if (value == QLatin1String("1"))
        return ScheduleUnit::Hour;
    if (value == QLatin1String("2"))
        return ScheduleUnit::Day;
    if (value == QLatin1String("3"))
        return ScheduleUnit::Week;
    if (value == QLatin1String("4"))
        return ScheduleUnit::Month;
    return ScheduleUnit::None;
}

ScheduleUnit scheduleUnit(const JobFile &job)
{
    return scheduleUnit(job.value(QStringLiteral("YEDEK_ZAMANI")));
}

qint64 schedulePeriod(const JobFile &job)
{
    return std::max<qint64>(job.intValue(QStringLiteral("PERYOT"), 1), 1);
}

} // namespace kx
