#pragma once
// The theme's settings as "Skin.ini", section [SKIN], keeps them: a named palette, whether it is
// on, a hue shift (0..360 degrees) and a saturation change (-100..100 percent). What they look
// like is the windows' business (ui/thememanager).

#include <QString>

namespace kx {

struct ThemeSettings {
    QString name;
    bool active = false;
    int hue = 0;
    int saturation = 0;
};

int themeHue(int hue);               // clamped to 0..360
int themeSaturation(int saturation); // clamped to -100..100

QString skinFileName();
// Writes the five default lines when `folder` holds no "Skin.ini" (throws kx::Error when it
// cannot).
void writeDefaultSkinIfMissing(const QString &folder);
// NAME, ACTIVE, HUE and SATURATION; a missing file or key gives the value's default.
ThemeSettings readSkin(const QString &folder);
// The four values as given.
void writeSkin(const QString &folder, const ThemeSettings &settings);

} // namespace kx
