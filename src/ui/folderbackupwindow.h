#pragma once
// The window of a folder backup run (TOtoYedekDosyaF), laid out in folderbackupwindow.ui.

#include "ui/folderrunner.h"

#include <memory>

class QLabel;

namespace kx {

class FolderBackupRun;
namespace Ui {
class TOtoYedekDosyaF;
}

class TOtoYedekDosyaF : public TFolderRunnerF
{
    Q_OBJECT
public:
    explicit TOtoYedekDosyaF(FolderBackupRun *run, RunnerDetail detail = RunnerDetail::Detailed, QWidget *parent = nullptr);
    ~TOtoYedekDosyaF() override;

    // Fills the labels from the prepared run and starts the slide-in.
    void YedekAyarla();

    QLabel *LabelYedekAdi;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;

private:
    const std::unique_ptr<Ui::TOtoYedekDosyaF> m_ui;
};

} // namespace kx
