#include "ui/thememanager.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

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

unsigned rgbOf(const QColor &c)
{
    return unsigned(c.rgb()) & 0xFFFFFFu;
}

// The colour on the way from `from` to `to` that lies as far towards `to` as `share` asks, but no
// nearer to `from` than keeps kMinStateContrast between them (when `to` allows it at all).
QColor apart(const QColor &from, const QColor &to, double share)
{
    const unsigned a = rgbOf(from), b = rgbOf(to);
    for (double s = share; s <= 1.0001; s += 0.02) {
        const unsigned mixed = mixColour(a, b, s);
        if (contrastRatio(a, mixed) >= kMinStateContrast + 0.1)
            return QColor::fromRgb(mixed);
    }
    return to;
}

// Fusion draws the frame of a check box from the window's colour, almost invisibly on a dark
// window; this draws it again in a colour that stands out.
class ThemeStyle : public QProxyStyle
{
public:
    ThemeStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton)
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, element == PE_IndicatorRadioButton);
        painter->setPen(QPen(ThemeManager::indicatorFrame(option->palette), 1));
        painter->setBrush(Qt::NoBrush);
        const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        if (element == PE_IndicatorRadioButton)
            painter->drawEllipse(r);
        else
            painter->drawRect(r);
        painter->restore();
    }
};

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
    // Disabled texts faded towards their background, yet clearly not the enabled text.
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> texts[] = {
        {QPalette::WindowText, QPalette::Window}, {QPalette::Text, QPalette::Base}, {QPalette::ButtonText, QPalette::Button}};
    for (const auto &[text, background] : texts)
        p.setColor(QPalette::Disabled, text, apart(p.color(QPalette::Active, text), p.color(QPalette::Active, background), 0.5));
    return p;
}

QColor ThemeManager::indicatorFrame(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    // From the text colour towards the window, stopping while it still stands out.
    QColor frame = text;
    for (double s = 0.0; s <= 0.8001; s += 0.02) {
        const unsigned mixed = mixColour(rgbOf(text), rgbOf(window), s);
        if (contrastRatio(mixed, rgbOf(window)) < kMinStateContrast + 0.2)
            break;
        frame = QColor::fromRgb(mixed);
    }
    return frame;
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
        if (!dynamic_cast<ThemeStyle *>(app->style()))
            app->setStyle(new ThemeStyle);
        app->setPalette(palette());
    } else {
        if (!look.style.isEmpty() && app->style()->name() != look.style)
            app->setStyle(QStyleFactory::create(look.style));
        app->setPalette(look.palette);
    }
}

} // namespace kx
