#include "settings/theme.h"
#include "core/codepage.h"
#include "platform/files.h"
#include "settings/inifile.h"

#include <QFileInfo>

#include <algorithm>

namespace kx {

namespace {

QString skinPath(const QString &folder)
{
    QString dir = folder;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir + skinFileName();
}

const QString kSection = QStringLiteral("SKIN");

} // namespace

int themeHue(int hue)
{
    return std::clamp(hue, 0, 360);
}

int themeSaturation(int saturation)
{
    return std::clamp(saturation, -100, 100);
}

QString skinFileName()
{
    return QStringLiteral("Skin.ini");
}

void writeDefaultSkinIfMissing(const QString &folder)
{
    makePath(folder);
    const QString path = skinPath(folder);
    if (QFileInfo::exists(path))
        return;
    writeWholeFile(path, codepage::joinLines({QStringLiteral("[SKIN]"), QStringLiteral("ACTIVE=1"),
                                             QStringLiteral("NAME=Elegant"), QStringLiteral("HUE=0"),
                                             QStringLiteral("SATURATION=100")}));
}

ThemeSettings readSkin(const QString &folder)
{
    const IniFile ini(skinPath(folder));
    ThemeSettings s;
    s.name = ini.readString(kSection, QStringLiteral("NAME"), QString());
    s.active = ini.readBool(kSection, QStringLiteral("ACTIVE"), false);
    s.hue = themeHue(ini.readInteger(kSection, QStringLiteral("HUE"), 0));
    s.saturation = themeSaturation(ini.readInteger(kSection, QStringLiteral("SATURATION"), 0));
    return s;
}

void writeSkin(const QString &folder, const ThemeSettings &settings)
{
    IniFile ini(skinPath(folder));
    ini.writeBool(kSection, QStringLiteral("ACTIVE"), settings.active);
    ini.writeString(kSection, QStringLiteral("NAME"), settings.name);
    ini.writeInteger(kSection, QStringLiteral("HUE"), settings.hue);
    ini.writeInteger(kSection, QStringLiteral("SATURATION"), settings.saturation);
    ini.save();
}

} // namespace kx
