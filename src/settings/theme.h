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

// How far apart two colours (0xRRGGBB) stand for the eye: the ratio of their relative
// luminances, each plus 0.05, lighter over darker; from 1 (the same) to 21 (black on white).
// States the user must tell apart (ticked and unticked, enabled and disabled) keep at least
// kMinStateContrast in every theme.
double contrastRatio(unsigned rgbA, unsigned rgbB);
inline constexpr double kMinStateContrast = 3.0;
// The colour `share` (0..1) of the way from `from` to `to`, channel by channel.
unsigned mixColour(unsigned from, unsigned to, double share);

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
