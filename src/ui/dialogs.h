#pragma once
// Every message box, question and input dialog of the program goes through here, so that tests
// can script the answers and read back what would have been shown, and nothing ever blocks in a
// test. The texts given here are shown as they are: callers translate them first.

#include "app/editablerecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QLayout;
class QPushButton;
class QWidget;

namespace kx {

class Dialogs
{
public:
    enum class Kind { Information, Question, Error, Input, Document, Modal, Folder };
    enum class Answer { Yes, No, Cancel };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
        QString filter = QString(); // a file chooser's
    };

    // Information box with an OK button.
    static void information(QWidget *parent, const QString &title, const QString &text);
    // Yes/No question; true for yes. With defaultNo, Enter answers No.
    static bool question(QWidget *parent, const QString &title, const QString &text, bool defaultNo = false);
    // Yes/No/Cancel question (scripted answers "yes", "no", "cancel").
    static Answer questionWithCancel(QWidget *parent, const QString &title, const QString &text);
    // Text input; nullopt-like: ok is false when cancelled.
    static QString input(QWidget *parent, const QString &title, const QString &label, const QString &value, bool *ok);
    // The application's general error display: a failure that ended a command or a timer event.
    // It does not wait for the user: the box stays open beside whatever goes on, so showing an
    // error never runs a nested event loop.
    static void error(const QString &text);

    // The information box of the user interface: titled "Bilgi" (translated), the text as given.
    static void info(const QString &text);
    // Stop with message: when the condition holds, the information box with the text
    // (translated here), the focus to the control when it can take it, then a silent stop.
    static void stopWithMessage(bool condition, const QString &text, QWidget *focus = nullptr);
    // A folder or a file chosen by the user; empty when cancelled. `filter` in the toolkit's
    // form ("Name (*.ext);;Other (*)"), none when empty. Scripted: the next answer ("" cancels).
    static QString chooseFolder(QWidget *parent, const QString &prompt, const QString &start);
    static QString chooseFile(QWidget *parent, const QString &title, const QString &start, const QString &filter = QString());
    // The document opener: opens the file with the desktop's application for it; a file that is
    // not there is told ("dosyasi bulunamadi." and, on a second line, the given advice,
    // translated), nothing is opened.
    static void openDocument(const QString &path,
                             const QString &advice = QStringLiteral("Yetkili saticinizla irtibat kurunuz."));
    // The same for a program: a program file is started on its own (it outlives this one), any
    // other file is opened as a document. Scripted: recorded as a document.
    static void startProgram(const QString &path, const QString &advice);
    // Opens an address in the desktop's browser. Only http and https addresses are opened:
    // false for anything else (nothing happens then).
    static bool openAddress(const QString &address);
    // The editing test: true while a record of the set is being edited or entered.
    static bool editingTest(const EditableRecord *record);
    // The save-or-discard question: true at once when nothing is being edited; otherwise asks
    // "Kart uzerindeki degisiklikleri kaydetmek ister misiniz?" (Yes, No, Cancel). No drops the
    // changes, Yes saves (a failed save-time check is a silent stop), both give true; Cancel
    // gives false.
    static bool saveOrDiscard(EditableRecord &record);
    // Shows a window modally and returns its result. Scripted: recorded (title), answered by
    // the modal handler when one is set, otherwise rejected at once.
    static int showModal(QDialog *dialog);
    static void setModalHandler(std::function<int(QDialog *)> handler);

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

// A push button of a window, named for the window translation and the tests; Enter never
// presses it by itself. The second form also adds it to a layout.
QPushButton *namedButton(const QString &text, const char *name, QWidget *parent = nullptr);
QPushButton *addNamedButton(QLayout *layout, const QString &text, const char *name);

// A refused user command ends here, nothing more shown (what was done stays done).
struct SilentStop {
};

// Entry points of event handlers (timer ticks, clicks, menu commands) run their work through
// this: a failure is shown by the general error display and the program goes on; a silent stop
// just ends the command.
void guarded(const std::function<void()> &work);

// A slot for a button or a menu item that runs its command through guarded().
template <class F>
auto guardedCommand(F f)
{
    return [f] { guarded(f); };
}

} // namespace kx
