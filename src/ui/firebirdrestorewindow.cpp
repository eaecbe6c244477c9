#include "ui/firebirdrestorewindow.h"
#include "ui/elidedpath.h"
#include "core/service.h"
#include "runs/firebirdrestorerun.h"
#include "runs/naming.h"
#include "ui_firebirdrestorewindow.h"

#include <QLabel>

namespace kx {

TRestoreFBF::TRestoreFBF(FirebirdRestoreRun *run, RunnerDetail detail, QWidget *parent)
    : TFirebirdRunnerF(run, RunKind::FirebirdRestore, KX_TEXT("Geri Yukleme Islemi Basarisiz."), detail, parent),
      m_ui(std::make_unique<Ui::TRestoreFBF>())
{
    m_ui->setupUi(this);
    LabelBaslik = m_ui->LabelBaslik;
    LabelKaynak = m_ui->LabelKaynak;
    LabelHedef = m_ui->LabelHedef;
    LabelKapasite = detailRow(m_ui->LabelKapasite);
    Animasyon = m_ui->Animasyon;
    LabelTamam = m_ui->LabelTamam;
    finishForm(m_ui->Icerik, m_ui->LabelSure);
}

TRestoreFBF::~TRestoreFBF() = default;

void TRestoreFBF::RestoreAyarla()
{
    if (m_run) {
        const RunDisplay &d = m_run->display();
        showPath(LabelKaynak, d.source);
        showPath(LabelHedef, d.target);
    }
    showDisplay();
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
    startSlideIn();
}

void TRestoreFBF::showDisplay()
{
    if (!m_run || !LabelKapasite)
        return;
    const RunDisplay &d = m_run->display();
    LabelKapasite->setText(d.sized ? capacityText(d.bytes) : trMsg(QStringLiteral("Sayiliyor...")));
}

} // namespace kx
