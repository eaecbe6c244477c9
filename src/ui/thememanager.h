#pragma once
// The theme manager: a few named palettes of the program's own, drawn with Qt's Fusion style,
// with a hue shift (0..360 degrees) and a saturation change (-100..100 percent) applied to every
// colour. Whatever the colours, disabled texts and unticked boxes stand apart from their
// surroundings by at least kMinStateContrast. The settings live in "Skin.ini" (settings/theme); every change shows at once.

#include "settings/theme.h"

#include <QPalette>
#include <QString>
#include <QStringList>

namespace kx {

class ThemeManager
{
public:
    static QStringList themeNames();

    // Folder of "Skin.ini".
    QString IniDizini;

    // Writes the five default lines when the folder holds no "Skin.ini" (throws kx::Error when
    // it cannot).
    void writeDefaultsIfMissing() const;
    // Reads NAME, ACTIVE, HUE, SATURATION and applies them in that order.
    void AyarYukle();
    // Writes the four values to "Skin.ini".
    void save(bool active, const QString &name, int hue, int saturation) const;

    QString name() const { return m_settings.name; }
    bool active() const { return m_settings.active; }
    int hue() const { return m_settings.hue; }
    int saturation() const { return m_settings.saturation; }

    void setName(const QString &name);
    void setActive(bool active);
    void setHue(int hue);
    void setSaturation(int saturation);

    // The palette the current settings give (the platform's own when the theme is off or the
    // name is unknown).
    QPalette palette() const;

    // The frame of a check box or radio button drawn on a window of this palette: the window's
    // text colour faded towards the window only as far as leaves it kMinStateContrast against
    // the window, so that an unticked box stays in sight in every theme.
    static QColor indicatorFrame(const QPalette &palette);

private:
    void apply() const;

    ThemeSettings m_settings;
};

} // namespace kx
