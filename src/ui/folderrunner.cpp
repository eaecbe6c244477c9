#include "ui/folderrunner.h"
#include "runs/naming.h"
#include "runs/run.h"
#include "ui/progressbar.h"

#include <QLabel>

namespace kx {

void TFolderRunnerF::showCounts()
{
    if (!m_run)
        return;
    const RunDisplay &d = m_run->display();
    if (LabelKlasor) {
        LabelKlasor->setText(QString::number(d.folders));
        LabelDosya->setText(QString::number(d.files));
        LabelKapasite->setText(capacityText(d.bytes));
    }
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
}

void TFolderRunnerF::showDisplay()
{
    if (!m_run)
        return;
    const RunDisplay &d = m_run->display();
    if (d.barMaximum != m_askedMaximum) {
        m_askedMaximum = d.barMaximum;
        m_bar->setMaximum(d.barMaximum);
    }
    if (d.barPosition != m_askedPosition) {
        m_askedPosition = d.barPosition;
        m_bar->setPosition(d.barPosition);
    }
    if (d.barStatement != m_askedStatement) {
        m_askedStatement = d.barStatement;
        m_bar->setStatement(d.barStatement);
    }
}

} // namespace kx
