#include "ui/progressbar.h"

#include <QPainter>
#include <cmath>

namespace kx {

KxProgressBar::KxProgressBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("KxProgressBar"));
    setMinimumHeight(18);
}

void KxProgressBar::paintNow()
{
    if (!isVisible())
        return;
    // Painted at once so progress shows while the work lets no events run; thousands of small
    // files a second need no more than a frame's worth of paints.
    if (!m_lastPaint.isValid() || m_lastPaint.elapsed() >= 15) {
        repaint();
        m_lastPaint.start();
    } else {
        update();
    }
}

void KxProgressBar::setPosition(int value)
{
    if (value == m_position || value < 0)
        return;
    if (value <= m_maximum)
        m_position = value;
    paintNow();
}

void KxProgressBar::setMaximum(int value)
{
    if (value == m_maximum)
        return;
    m_maximum = value;
    paintNow();
}

void KxProgressBar::setStatement(const QString &text)
{
    if (text == m_statement)
        return;
    m_statement = text;
    paintNow();
}

double KxProgressBar::share() const
{
    if (m_maximum <= 0)
        return 0;
    return std::clamp(double(m_position) / m_maximum, 0.0, 1.0);
}

QString KxProgressBar::text() const
{
    return m_statement + QStringLiteral(" %") + QString::number(qRound(share() * 100));
}

void KxProgressBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, palette().base());
    QRect filled = r;
    filled.setWidth(int(r.width() * share()));
    p.fillRect(filled, palette().highlight());
    p.setPen(palette().text().color());
    p.drawRect(r);
    p.drawText(r, Qt::AlignCenter, text());
}

} // namespace kx
