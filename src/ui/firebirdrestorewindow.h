#pragma once
// The window of a Firebird restore run (TRestoreFBF), laid out in firebirdrestorewindow.ui.

#include "ui/firebirdrunner.h"

#include <memory>

class QLabel;

namespace kx {

class FirebirdRestoreRun;
namespace Ui {
class TRestoreFBF;
}

class TRestoreFBF : public TFirebirdRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreFBF(FirebirdRestoreRun *run, RunnerDetail detail = RunnerDetail::Detailed, QWidget *parent = nullptr);
    ~TRestoreFBF() override;

    // Fills the labels from the prepared run and starts the slide-in.
    void RestoreAyarla();

    QLabel *LabelBaslik;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKapasite; // detail rows: null in the compact layout

protected:
    // The size of the backup file once the run has it.
    void showDisplay() override;

private:
    const std::unique_ptr<Ui::TRestoreFBF> m_ui;
};

} // namespace kx
