#include "ui/folderbackupwindow.h"
#include "ui/elidedpath.h"
#include "runs/folderbackuprun.h"
#include "ui_folderbackupwindow.h"

#include <QLabel>

namespace kx {

TOtoYedekDosyaF::TOtoYedekDosyaF(FolderBackupRun *run, RunnerDetail detail, QWidget *parent)
    : TFolderRunnerF(run, RunKind::FolderBackup, false, detail, parent), m_ui(std::make_unique<Ui::TOtoYedekDosyaF>())
{
    m_ui->setupUi(this);
    LabelYedekAdi = m_ui->LabelYedekAdi;
    LabelKaynak = m_ui->LabelKaynak;
    LabelHedef = m_ui->LabelHedef;
    LabelKlasor = detailRow(m_ui->LabelKlasor);
    LabelDosya = detailRow(m_ui->LabelDosya);
    LabelKapasite = detailRow(m_ui->LabelKapasite);
    m_bar = m_ui->KxProgressBar;
    finishForm(m_ui->Icerik, m_ui->LabelSure);
}

TOtoYedekDosyaF::~TOtoYedekDosyaF() = default;

void TOtoYedekDosyaF::YedekAyarla()
{
    if (m_run) {
        const RunDisplay &d = m_run->display();
        LabelYedekAdi->setText(d.jobName);
        showPath(LabelKaynak, d.source);
        showPath(LabelHedef, d.target);
    }
    showCounts();
    startSlideIn();
}

} // namespace kx
