#include "ui/folderrestorewindow.h"
#include "ui/formheader.h"
#include "runs/folderrestorerun.h"

#include <QLabel>

namespace kx {

TRestoreDosyaF::TRestoreDosyaF(FolderRestoreRun *run, QWidget *parent)
    : TFolderRunnerF(run, RunKind::FolderRestore, true, parent)
{
    setObjectName(QStringLiteral("RestoreDosyaF"));
    addWide(new KxFormHeader(QStringLiteral("Manuel Dosya Geri Yukleme")));
    LabelKaynak = addRow(QStringLiteral("Kaynak Dizin / Dosya"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dizin"), false);
    addCountRowsAndBar();
    finishLayout();
}

void TRestoreDosyaF::RestoreAyarla()
{
    if (m_run) {
        LabelKaynak->setText(m_run->display().source);
        LabelHedef->setText(m_run->display().target);
    }
    showCounts();
    startSlideIn();
}

} // namespace kx
