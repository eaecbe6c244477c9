#include "ui/timebox.h"
#include "core/daytime.h"

namespace kx {

TimeBox::TimeBox(QWidget *parent) : QLineEdit(parent)
{
    // Digits typed over the hours and minutes, the colon kept; a digit may be left out ("9:30").
    setInputMask(QStringLiteral("00:00"));
    setText(QStringLiteral("00:00"));
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("00:00")) * 2;
    setMaximumWidth(std::max(width, 60));
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) { emit timeTyped(text); });
}

QTime TimeBox::time() const
{
    return parseTypedTime(text()).value_or(QTime());
}

void TimeBox::setTime(const QTime &time)
{
    setText(time.isValid() ? time.toString(QStringLiteral("HH:mm")) : QStringLiteral("00:00"));
    emit timeChanged(time);
}

void TimeBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // "9:30" reads "09:30" once typed; a text that is no time stays as typed, to be refused.
    if (const std::optional<QTime> t = parseTypedTime(text()); t && text() != t->toString(QStringLiteral("HH:mm")))
        setText(t->toString(QStringLiteral("HH:mm")));
}

} // namespace kx
