#include "settings/kxstorage.h"
#include "core/jobfile.h"
#include "settings/inifile.h"

namespace kx {

TKxStorage TKxStorage::programSettings()
{
    return TKxStorage({{QStringLiteral("DIL"), QStringLiteral("turkish")}, {QStringLiteral("SIMGE"), QStringLiteral("true")}});
}

void TKxStorage::setFileName(const QString &path)
{
    if (path == m_fileName)
        return;
    m_fileName = path;
    if (m_active && !m_fileName.isEmpty())
        RestoreValues();
}

void TKxStorage::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (m_active && !m_fileName.isEmpty())
        RestoreValues();
}

void TKxStorage::RestoreValues()
{
    if (m_fileName.isEmpty())
        return;
    const IniFile ini(m_fileName);
    for (TStoredValue &item : m_items)
        item.Value = ini.readString(QLatin1String(kSection), item.Name, item.Value);
}

void TKxStorage::SaveValues() const
{
    if (m_fileName.isEmpty())
        return;
    IniFile ini(m_fileName);
    for (const TStoredValue &item : m_items)
        ini.writeString(QLatin1String(kSection), item.Name, item.Value);
    ini.save();
}

QString TKxStorage::value(const QString &name) const
{
    for (const TStoredValue &item : m_items)
        if (item.Name.compare(name, Qt::CaseInsensitive) == 0)
            return item.Value;
    return QString();
}

void TKxStorage::setValue(const QString &name, const QString &value)
{
    for (TStoredValue &item : m_items) {
        if (item.Name.compare(name, Qt::CaseInsensitive) == 0) {
            item.Value = value;
            return;
        }
    }
    m_items.append({name, value});
}

bool readSettingBool(const QString &text, bool defaultValue)
{
    // The same rule as every boolean of a job file.
    return parseBool(text).value_or(defaultValue);
}

} // namespace kx
