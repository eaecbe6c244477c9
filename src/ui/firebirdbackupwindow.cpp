#include "ui/firebirdbackupwindow.h"
#include "core/service.h"
#include "runs/firebirdbackuprun.h"

#include <QLabel>

namespace kx {

TOtoYedekFBF::TOtoYedekFBF(FirebirdBackupRun *run, QWidget *parent)
    : TFirebirdRunnerF(run, RunKind::FirebirdBackup, KX_TEXT("Yedekleme Islemi Basarisiz."), parent)
{
    setObjectName(QStringLiteral("OtoYedekFBF"));
    LabelYedekAdi = addRow(QStringLiteral("Yedek Adi :"), false);
    LabelKaynak = addRow(QStringLiteral("Kaynak Dosya"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dizin"), false);
    LabelKapasite = addRow(QStringLiteral("Kapasite :"), true);
    addSureRow();
    addActivityAndDoneLabel(QStringLiteral("Yedekleme Islemi Tamamlandi."));
    finishLayout();
}

void TOtoYedekFBF::YedekAyarla()
{
    if (m_run) {
        const RunDisplay &d = m_run->display();
        LabelYedekAdi->setText(d.jobName);
        LabelKaynak->setText(d.source);
        LabelHedef->setText(d.target);
    }
    // The server tells no size.
    if (LabelKapasite)
        LabelKapasite->setText(QStringLiteral(" "));
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
    startSlideIn();
}

} // namespace kx
