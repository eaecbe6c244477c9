#pragma once
// What the Firebird backup and restore runners share: the activity strip (the server reports
// no share of the work done, only that it is alive) and the completion label, which tells how
// the run went.

#include "runs/runnerwindow.h"

class QLabel;
class QProgressBar;

namespace kx {

class OperationLog;

class TFirebirdRunnerF : public TRunnerF
{
    Q_OBJECT
public:
    QProgressBar *Animasyon = nullptr;
    QLabel *LabelTamam = nullptr; // completion label, hidden until the end

protected:
    using TRunnerF::TRunnerF;

    // The activity strip and the completion label with its text for a run that went well.
    void addActivityAndDoneLabel(const QString &doneText);
    // Every end of a run: the strip and the elapsed time stop, the label shows the done text or
    // `failedText` with the first line of the failure (all of it as a hint), the close delay
    // starts, and a log that could not be written is shown.
    void endFirebirdRun(const QString &failure, const QString &failedText, OperationLog &log);

private:
    QString m_doneText;
};

} // namespace kx
