#pragma once
// The window of a folder or ZIP restore run (TRestoreDosyaF), laid out in folderrestorewindow.ui.

#include "ui/folderrunner.h"

#include <memory>

class QLabel;

namespace kx {

class FolderRestoreRun;
namespace Ui {
class TRestoreDosyaF;
}

class TRestoreDosyaF : public TFolderRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreDosyaF(FolderRestoreRun *run, RunnerDetail detail = RunnerDetail::Detailed, QWidget *parent = nullptr);
    ~TRestoreDosyaF() override;

    // Fills the labels from the prepared run and starts the slide-in.
    void RestoreAyarla();

    QLabel *LabelKaynak;
    QLabel *LabelHedef;

private:
    const std::unique_ptr<Ui::TRestoreDosyaF> m_ui;
};

} // namespace kx
