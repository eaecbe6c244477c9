#include "ui/firebirdrunner.h"
#include "core/service.h"
#include "runs/run.h"

#include <QLabel>
#include <QProgressBar>

namespace kx {

TFirebirdRunnerF::TFirebirdRunnerF(Run *run, RunKind kind, const QString &failedText, RunnerDetail detail,
                                   QWidget *parent)
    : TRunnerF(run, kind, true, detail, parent), m_failedText(failedText)
{
    // The strip moves from the moment the run starts.
    connect(this, &TRunnerF::runStarting, this, [this] { Animasyon->setRange(0, 0); });
}

void TFirebirdRunnerF::showEnd()
{
    // The done text as the window translated it when it was made.
    if (m_doneText.isEmpty())
        m_doneText = LabelTamam->text();
    const bool failed = m_run && m_run->display().failed;
    const QString failure = m_run ? m_run->display().failure : QString();
    Animasyon->setRange(0, 1);
    Animasyon->setValue(failed ? 0 : 1);
    if (!failed) {
        LabelTamam->setText(m_doneText);
    } else {
        LabelTamam->setText(trMsg(m_failedText) + u' ' + failure.section(u'\n', 0, 0));
        LabelTamam->setToolTip(failure);
    }
    LabelTamam->show();
}

} // namespace kx
