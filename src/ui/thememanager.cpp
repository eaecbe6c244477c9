#include "ui/thememanager.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>

namespace kx {

namespace {

struct ThemeColours {
    const char *name;
    QRgb window, windowText, base, alternateBase, text, button, buttonText, highlight, highlightedText;
};

const ThemeColours kThemes[] = {
    {"Elegant", 0xECEFF3, 0x1E2A38, 0xFFFFFF, 0xF3F5F8, 0x1E2A38, 0xDDE3EA, 0x1E2A38, 0x3D6A99, 0xFFFFFF},
    {"Klasik", 0xF0F0F0, 0x000000, 0xFFFFFF, 0xF7F7F7, 0x000000, 0xE1E1E1, 0x000000, 0x0078D7, 0xFFFFFF},
    {"Gece", 0x2B2F36, 0xE6E6E6, 0x1F2227, 0x2A2E34, 0xE6E6E6, 0x3A3F47, 0xE6E6E6, 0x4C8BD6, 0xFFFFFF},
    {"Okyanus", 0xE3F1F6, 0x0E3440, 0xFFFFFF, 0xEEF7FA, 0x0E3440, 0xC8E3EC, 0x0E3440, 0x1A7F9E, 0xFFFFFF},
    {"Orman", 0xE8F0E4, 0x1F3318, 0xFFFFFF, 0xF1F6EE, 0x1F3318, 0xD0E0C8, 0x1F3318, 0x4A7F3A, 0xFFFFFF},
};

const ThemeColours *findTheme(const QString &name)
{
    for (const ThemeColours &t : kThemes)
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QColor adjust(QRgb rgb, int hue, int saturation)
{
    QColor c = QColor::fromRgb(rgb).toHsv();
    int h = c.hsvHue();
    if (h >= 0)
        h = (h + hue) % 360;
    const int s = std::clamp(c.hsvSaturation() * (100 + saturation) / 100, 0, 255);
    return QColor::fromHsv(h < 0 ? 0 : h, h < 0 ? 0 : s, c.value());
}

struct PlatformLook {
    QString style;
    QPalette palette;
    bool saved = false;
};

PlatformLook &platformLook()
{
    static PlatformLook look;
    return look;
}

} // namespace

QStringList ThemeManager::themeNames()
{
    QStringList names;
    for (const ThemeColours &t : kThemes)
        names.append(QLatin1String(t.name));
    return names;
}

void ThemeManager::writeDefaultsIfMissing() const
{
    writeDefaultSkinIfMissing(IniDizini);
}

void ThemeManager::AyarYukle()
{
    m_settings = readSkin(IniDizini);
    apply();
}

void ThemeManager::save(bool active, const QString &name, int hue, int saturation) const
{
    writeSkin(IniDizini, ThemeSettings{name, active, hue, saturation});
}

void ThemeManager::setName(const QString &name)
{
    m_settings.name = name;
    apply();
}

void ThemeManager::setActive(bool active)
{
    m_settings.active = active;
    apply();
}

void ThemeManager::setHue(int hue)
{
    m_settings.hue = themeHue(hue);
    apply();
}

void ThemeManager::setSaturation(int saturation)
{
    m_settings.saturation = themeSaturation(saturation);
    apply();
}

QPalette ThemeManager::palette() const
{
    const ThemeColours *t = m_settings.active ? findTheme(m_settings.name) : nullptr;
    if (!t)
        return platformLook().saved ? platformLook().palette : QPalette();
    QPalette p;
    auto set = [&](QPalette::ColorRole role, QRgb rgb) {
        p.setColor(role, adjust(rgb, m_settings.hue, m_settings.saturation));
    };
    set(QPalette::Window, t->window);
    set(QPalette::WindowText, t->windowText);
    set(QPalette::Base, t->base);
    set(QPalette::AlternateBase, t->alternateBase);
    set(QPalette::Text, t->text);
    set(QPalette::Button, t->button);
    set(QPalette::ButtonText, t->buttonText);
    set(QPalette::Highlight, t->highlight);
    set(QPalette::HighlightedText, t->highlightedText);
    set(QPalette::ToolTipBase, t->base);
    set(QPalette::ToolTipText, t->text);
    return p;
}

void ThemeManager::apply() const
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    PlatformLook &look = platformLook();
    if (!look.saved) {
        look.style = app->style() ? app->style()->name() : QString();
        look.palette = app->palette();
        look.saved = true;
    }
    if (m_settings.active && findTheme(m_settings.name)) {
        if (app->style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
            app->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        app->setPalette(palette());
    } else {
        if (!look.style.isEmpty() && app->style()->name() != look.style)
            app->setStyle(QStyleFactory::create(look.style));
        app->setPalette(look.palette);
    }
}

} // namespace kx
