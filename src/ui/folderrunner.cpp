#include "ui/folderrunner.h"
#include "runs/naming.h"
#include "core/service.h"
#include "runs/run.h"
#include "ui/progressbar.h"

#include <QLabel>

namespace kx {

void TFolderRunnerF::showCounts()
{
    if (!m_run)
        return;
    showCountRows();
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
}

void TFolderRunnerF::showCountRows()
{
    const RunDisplay &d = m_run->display();
    m_countsShown = d.counted;
    if (!LabelKlasor)
        return;
    if (!d.counted) {
        const QString counting = trMsg(QStringLiteral("Sayiliyor..."));
        LabelKlasor->setText(counting);
        LabelDosya->setText(counting);
        LabelKapasite->setText(counting);
        return;
    }
    LabelKlasor->setText(QString::number(d.folders));
    LabelDosya->setText(QString::number(d.files));
    LabelKapasite->setText(capacityText(d.bytes));
}

void TFolderRunnerF::showDisplay()
{
    if (!m_run)
        return;
    const RunDisplay &d = m_run->display();
    if (d.counted != m_countsShown)
        showCountRows();
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
