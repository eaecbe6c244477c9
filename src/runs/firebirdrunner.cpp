#include "runs/firebirdrunner.h"
#include "platform/dialogs.h"
#include "runs/oplog.h"

#include <QLabel>
#include <QProgressBar>

namespace kx {

void TFirebirdRunnerF::addActivityAndDoneLabel(const QString &doneText)
{
    Animasyon = new QProgressBar;
    Animasyon->setObjectName(QStringLiteral("Animasyon"));
    Animasyon->setRange(0, 0);
    Animasyon->setTextVisible(false);
    Animasyon->setFixedHeight(10);
    addWide(Animasyon);
    LabelTamam = new QLabel(doneText);
    LabelTamam->setObjectName(QStringLiteral("LabelTamam"));
    LabelTamam->setWordWrap(true);
    LabelTamam->setTextFormat(Qt::PlainText);
    LabelTamam->hide();
    addWide(LabelTamam);
}

void TFirebirdRunnerF::endFirebirdRun(const QString &failure, const QString &failedText, OperationLog &log)
{
    // The done text as the window translated it when it was made.
    if (m_doneText.isEmpty())
        m_doneText = LabelTamam->text();
    finishRun();
    stopElapsedTimer();
    Animasyon->setRange(0, 1);
    Animasyon->setValue(failure.isEmpty() ? 1 : 0);
    if (failure.isEmpty()) {
        LabelTamam->setText(m_doneText);
    } else {
        LabelTamam->setText(failedText + u' ' + failure.section(u'\n', 0, 0));
        LabelTamam->setToolTip(failure);
    }
    LabelTamam->show();
    const QString logFailure = log.takeFailure();
    if (!logFailure.isEmpty())
        Dialogs::error(logFailure);
}

} // namespace kx
