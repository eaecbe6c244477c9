#include "core/jobfile.h"
#include "core/codepage.h"
#include "platform/files.h"

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
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

std::optional<int> parseInt(const QString &text)
{
    // Digits with an optional leading "-" (or "+"); no blanks, no separators.
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || text.at(0).isSpace() || text.back().isSpace())
        return std::nullopt;
    return v;
}

bool JobFile::boolValue(const QString &key, bool defaultValue) const
{
    return parseBool(value(key)).value_or(defaultValue);
}

int JobFile::intValue(const QString &key, int defaultValue) const
{
    return parseInt(value(key)).value_or(defaultValue);
}

} // namespace kx
