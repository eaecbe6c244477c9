#pragma once
// The scrolled part of a window whose content can grow taller than a small screen. It asks for
// its content's whole size (the toolkit's own scroll area asks for a few lines only), so the
// window opens showing everything where the screen has room, and it is never narrower than its
// content: only the height scrolls. What lies outside it, the command buttons, stays in view.

#include <QScrollArea>
#include <QScrollBar>

namespace kx {

class FittingScrollArea : public QScrollArea
{
    Q_OBJECT
public:
    explicit FittingScrollArea(QWidget *parent = nullptr) : QScrollArea(parent) {}

    QSize sizeHint() const override
    {
        return widget() ? widget()->sizeHint() + chrome() : QScrollArea::sizeHint();
    }
    QSize minimumSizeHint() const override
    {
        const QSize own = QScrollArea::minimumSizeHint();
        return widget() ? QSize(widget()->minimumSizeHint().width() + chrome().width(), own.height()) : own;
    }

private:
    // The frame on both sides, and room for the vertical scroll bar.
    QSize chrome() const
    {
        const int frame = 2 * frameWidth();
        return {frame + verticalScrollBar()->sizeHint().width(), frame};
    }
};

} // namespace kx
