#include "ui/folderbackupwindow.h"
#include "runs/folderbackuprun.h"

#include <QLabel>

namespace kx {

TOtoYedekDosyaF::TOtoYedekDosyaF(FolderBackupRun *run, QWidget *parent)
    : TFolderRunnerF(run, RunKind::FolderBackup, false, parent)
{
    setObjectName(QStringLiteral("OtoYedekDosyaF"));
    LabelYedekAdi = addRow(QStringLiteral("Yedek Adi :"), false);
    LabelKaynak = addRow(QStringLiteral("Kaynak Dizin"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dizin"), false);
    addCountRowsAndBar();
    finishLayout();
}

void TOtoYedekDosyaF::YedekAyarla()
{
    if (m_run) {
        const RunDisplay &d = m_run->display();
        LabelYedekAdi->setText(d.jobName);
        LabelKaynak->setText(d.source);
        LabelHedef->setText(d.target);
    }
    showCounts();
    startSlideIn();
}

} // namespace kx
