#include "settings/columnwidths.h"
#include "settings/inifile.h"

#include <QStringList>

namespace kx {

namespace {
const char kSection[] = "Sutunlar";
constexpr int kMinWidth = 8;
constexpr int kMaxWidth = 4000;
} // namespace

QString columnWidthsFileName()
{
    return QStringLiteral("Sutunlar.ini");
}

QString columnWidthsText(const QList<int> &widths)
{
    QStringList parts;
    for (int w : widths)
        parts.append(QString::number(w));
    return parts.join(u',');
}

QList<int> parseColumnWidths(const QString &text)
{
    QList<int> out;
    if (text.trimmed().isEmpty())
        return out;
    for (const QString &part : text.split(u',')) {
        bool ok = false;
        const int w = part.trimmed().toInt(&ok);
        if (!ok || w < kMinWidth || w > kMaxWidth)
            return {};
        out.append(w);
    }
    return out;
}

QList<int> readColumnWidths(const QString &settingsFolder, const QString &list)
{
    const IniFile ini(settingsFolder + u'/' + columnWidthsFileName());
    return parseColumnWidths(ini.readString(QLatin1String(kSection), list, QString()));
}

void writeColumnWidths(const QString &settingsFolder, const QString &list, const QList<int> &widths)
{
    IniFile ini(settingsFolder + u'/' + columnWidthsFileName());
    const QString text = columnWidthsText(widths);
    if (ini.readString(QLatin1String(kSection), list, QString()) == text && ini.hasKey(QLatin1String(kSection), list))
        return;
    ini.writeString(QLatin1String(kSection), list, text);
    ini.save();
}

} // namespace kx
