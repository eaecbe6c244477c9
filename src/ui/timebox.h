#pragma once
// The editor's time box: a time of day typed as "HH:mm" over what is there (Home, then "2200"),
// or in place of a selection ("22:15"). What is typed goes on as text, so that a text that is no
// time can be refused when the job is saved; a valid time is shown as "HH:mm" once the box loses
// the focus.

#include <QLineEdit>
#include <QTime>

namespace kx {

class TimeBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit TimeBox(QWidget *parent = nullptr);

    // The time shown; invalid while the text is no time.
    QTime time() const;
    // Shows the time and tells it by timeChanged().
    void setTime(const QTime &time);

signals:
    void timeChanged(const QTime &time);
    // What the user typed, as it stands after the key.
    void timeTyped(const QString &text);

protected:
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace kx
