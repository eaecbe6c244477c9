#include "settings/theme.h"
#include "core/codepage.h"
#include "platform/files.h"
#include "settings/inifile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

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

namespace {

double channel(unsigned value)
{
    const double c = double(value & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(unsigned rgb)
{
    return 0.2126 * channel(rgb >> 16) + 0.7152 * channel(rgb >> 8) + 0.0722 * channel(rgb);
}

} // namespace

double contrastRatio(unsigned rgbA, unsigned rgbB)
{
    const double a = luminance(rgbA) + 0.05;
    const double b = luminance(rgbB) + 0.05;
    return a > b ? a / b : b / a;
}

unsigned mixColour(unsigned from, unsigned to, double share)
{
    share = std::clamp(share, 0.0, 1.0);
    unsigned out = 0;
    for (int shift : {16, 8, 0}) {
        const double a = double((from >> shift) & 0xFF), b = double((to >> shift) & 0xFF);
        out |= unsigned(std::lround(a + (b - a) * share)) << shift;
    }
    return out;
}

} // namespace kx
