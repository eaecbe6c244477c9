#include "settings/inifile.h"
#include "core/codepage.h"
#include "platform/files.h"

#include <QFileInfo>

namespace kx {

namespace {

// The section name of a header line (callers check isHeader first).
QString headerName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return QString();
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return QString();
    return t.mid(1, close - 1).trimmed();
}

bool isHeader(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.contains(u']');
}

} // namespace

IniFile::IniFile(const QString &path) : m_path(path)
{
    if (QFileInfo::exists(path))
        m_lines = codepage::splitLines(readWholeFile(path));
}

std::pair<qsizetype, qsizetype> IniFile::sectionRange(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (!isHeader(m_lines.at(i)) || headerName(m_lines.at(i)).compare(section, Qt::CaseInsensitive) != 0)
            continue;
        qsizetype end = i + 1;
        while (end < m_lines.size() && !isHeader(m_lines.at(end)))
            ++end;
        return {i + 1, end};
    }
    return {-1, -1};
}

qsizetype IniFile::keyLine(const QString &section, const QString &key) const
{
    const auto [first, end] = sectionRange(section);
    for (qsizetype i = first; i >= 0 && i < end; ++i) {
        const QString &line = m_lines.at(i);
        if (line.trimmed().startsWith(u';'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && QStringView(line).left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return keyLine(section, key) >= 0;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const qsizetype i = keyLine(section, key);
    if (i < 0)
        return defaultValue;
    const QString &line = m_lines.at(i);
    return line.mid(line.indexOf(u'=') + 1).trimmed();
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    bool ok = false;
    const int v = readString(section, key, QString()).toInt(&ok);
    return ok ? v : defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    QString v = value;
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString line = key + u'=' + v;
    const qsizetype existing = keyLine(section, key);
    if (existing >= 0) {
        m_lines[existing] = line;
        return;
    }
    auto [first, end] = sectionRange(section);
    if (first < 0) {
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
        return;
    }
    // After the last non-blank line of the section, so blank separators stay between sections.
    qsizetype at = end;
    while (at > first && m_lines.at(at - 1).trimmed().isEmpty())
        --at;
    m_lines.insert(at, line);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::deleteKey(const QString &section, const QString &key)
{
    const qsizetype i = keyLine(section, key);
    if (i >= 0)
        m_lines.removeAt(i);
}

void IniFile::save() const
{
    writeWholeFile(m_path, codepage::joinLines(m_lines));
}

} // namespace kx
