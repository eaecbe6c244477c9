#include "ui/firebirdrestorewindow.h"
#include "core/service.h"
#include "runs/firebirdrestorerun.h"
#include "runs/naming.h"

#include <QLabel>

namespace kx {

TRestoreFBF::TRestoreFBF(FirebirdRestoreRun *run, QWidget *parent)
    : TFirebirdRunnerF(run, RunKind::FirebirdRestore, KX_TEXT("Geri Yukleme Islemi Basarisiz."), parent)
{
    setObjectName(QStringLiteral("RestoreFBF"));
    LabelBaslik = new QLabel(QStringLiteral("Manuel Geri Yukleme"));
    LabelBaslik->setObjectName(QStringLiteral("LabelBaslik"));
    addWide(LabelBaslik);
    LabelKaynak = addRow(QStringLiteral("Kaynak Dosya"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dosya"), false);
    LabelKapasite = addRow(QStringLiteral("Kapasite :"), true);
    addSureRow();
    addActivityAndDoneLabel(QStringLiteral("Geri Yukleme Islemi Tamamlandi..."));
    finishLayout();
}

void TRestoreFBF::RestoreAyarla()
{
    if (m_run) {
        const RunDisplay &d = m_run->display();
        LabelKaynak->setText(d.source);
        LabelHedef->setText(d.target);
        if (LabelKapasite)
            LabelKapasite->setText(capacityText(d.bytes));
    }
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
    startSlideIn();
}

} // namespace kx
