#include "ui/firebirdbackupwindow.h"
#include "ui/elidedpath.h"
#include "core/service.h"
#include "runs/firebirdbackuprun.h"
#include "ui_firebirdbackupwindow.h"

#include <QLabel>

namespace kx {

TOtoYedekFBF::TOtoYedekFBF(FirebirdBackupRun *run, RunnerDetail detail, QWidget *parent)
    : TFirebirdRunnerF(run, RunKind::FirebirdBackup, KX_TEXT("Yedekleme Islemi Basarisiz."), detail, parent),
      m_ui(std::make_unique<Ui::TOtoYedekFBF>())
{
    m_ui->setupUi(this);
    LabelYedekAdi = m_ui->LabelYedekAdi;
    LabelKaynak = m_ui->LabelKaynak;
    LabelHedef = m_ui->LabelHedef;
    LabelKapasite = detailRow(m_ui->LabelKapasite);
    Animasyon = m_ui->Animasyon;
    LabelTamam = m_ui->LabelTamam;
    finishForm(m_ui->Icerik, m_ui->LabelSure);
}

TOtoYedekFBF::~TOtoYedekFBF() = default;

void TOtoYedekFBF::YedekAyarla()
{
    if (m_run) {
        const RunDisplay &d = m_run->display();
        LabelYedekAdi->setText(d.jobName);
        showPath(LabelKaynak, d.source);
        showPath(LabelHedef, d.target);
    }
    // The server tells no size.
    if (LabelKapasite)
        LabelKapasite->setText(QStringLiteral(" "));
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
    startSlideIn();
}

} // namespace kx
