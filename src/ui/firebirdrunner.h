#pragma once
// What the Firebird backup and restore windows share: the activity strip (the server reports
// no share of the work done, only that it is alive) and the completion label, which tells how
// the run went. Both lie in the subclass's form.

#include "ui/runnerwindow.h"

class QLabel;
class QProgressBar;

namespace kx {

class TFirebirdRunnerF : public TRunnerF
{
    Q_OBJECT
public:
    // In the subclass's form: the activity strip, and the completion label, hidden until the end
    // and holding the text for a run that went well.
    QProgressBar *Animasyon = nullptr;
    QLabel *LabelTamam = nullptr;

protected:
    TFirebirdRunnerF(Run *run, RunKind kind, const QString &failedText, RunnerDetail detail, QWidget *parent);

    // The strip stops; the label shows the done text, or the failed text with the first line
    // of the failure (all of it as a hint).
    void showEnd() override;

private:
    QString m_failedText; // untranslated; translated when shown
    QString m_doneText;
};

} // namespace kx
