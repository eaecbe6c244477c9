#pragma once
// Every message box, question and input dialog of the program goes through here, so that tests
// can script the answers and read back what would have been shown, and nothing ever blocks in a
// test. The texts given here are shown as they are: callers translate them first.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kx {

class Dialogs
{
public:
    enum class Kind { Information, Question, Error, Input };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
    };

    // Information box with an OK button.
    static void information(QWidget *parent, const QString &title, const QString &text);
    // Yes/No question; true for yes.
    static bool question(QWidget *parent, const QString &title, const QString &text);
    // Text input; nullopt-like: ok is false when cancelled.
    static QString input(QWidget *parent, const QString &title, const QString &label, const QString &value, bool *ok);
    // The application's general error display: a failure that ended a command or a timer event.
    // It does not wait for the user: the box stays open beside whatever goes on, so showing an
    // error never runs a nested event loop.
    static void error(const QString &text);

    // Test seam: when scripted, nothing is shown. Answers are taken in order (questions take
    // "yes"/"no", inputs take the text; an empty script answers yes / the given value).
    static void setScripted(bool on);
    static bool isScripted();
    static void queueAnswer(const QString &answer);
    static QList<Shown> takeShown();
    // Test seam for a user who takes a while: a scripted box keeps events running this long
    // before it answers, as a real modal box would.
    static void setHoldMs(int ms);

private:
    static QString nextAnswer(const QString &fallback);
};

// Entry points of event handlers (timer ticks, clicks, menu commands) run their work through
// this: a failure is shown by the general error display and the program goes on.
void guarded(const std::function<void()> &work);

} // namespace kx
