#include "ui/scrollpanel.h"

#include <QPainter>
#include <QTimer>

namespace kx {

KxScrollPanel::KxScrollPanel(QWidget *parent) : QWidget(parent)
{
    setMinimumHeight(70);
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        ++m_offset;
        update();
    });
    timer->start(60);
}

void KxScrollPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QStringList lines = property("kxScrollLines").toStringList();
    const int lineHeight = fontMetrics().height();
    const int total = int(lines.size()) * lineHeight + height();
    const int shift = total > 0 ? m_offset % total : 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int y = height() - shift + int(i) * lineHeight;
        p.drawText(QRect(0, y, width(), lineHeight), Qt::AlignHCenter, lines.at(i));
    }
}

} // namespace kx
