#include "ui/folderrestorewindow.h"
#include "ui/elidedpath.h"
#include "ui/formheader.h"
#include "runs/folderrestorerun.h"
#include "ui_folderrestorewindow.h"

#include <QLabel>

namespace kx {

TRestoreDosyaF::TRestoreDosyaF(FolderRestoreRun *run, RunnerDetail detail, QWidget *parent)
    : TFolderRunnerF(run, RunKind::FolderRestore, true, detail, parent), m_ui(std::make_unique<Ui::TRestoreDosyaF>())
{
    m_ui->setupUi(this);
    LabelKaynak = m_ui->LabelKaynak;
    LabelHedef = m_ui->LabelHedef;
    LabelKlasor = detailRow(m_ui->LabelKlasor);
    LabelDosya = detailRow(m_ui->LabelDosya);
    LabelKapasite = detailRow(m_ui->LabelKapasite);
    m_bar = m_ui->KxProgressBar;
    finishForm(m_ui->Icerik, m_ui->LabelSure);
}

TRestoreDosyaF::~TRestoreDosyaF() = default;

void TRestoreDosyaF::RestoreAyarla()
{
    if (m_run) {
        showPath(LabelKaynak, m_run->display().source);
        showPath(LabelHedef, m_run->display().target);
    }
    showCounts();
    startSlideIn();
}

} // namespace kx
