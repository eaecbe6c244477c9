#pragma once
// The window of a Firebird backup run (TOtoYedekFBF), laid out in firebirdbackupwindow.ui.

#include "ui/firebirdrunner.h"

#include <memory>

class QLabel;

namespace kx {

class FirebirdBackupRun;
namespace Ui {
class TOtoYedekFBF;
}

class TOtoYedekFBF : public TFirebirdRunnerF
{
    Q_OBJECT
public:
    explicit TOtoYedekFBF(FirebirdBackupRun *run, RunnerDetail detail = RunnerDetail::Detailed, QWidget *parent = nullptr);
    ~TOtoYedekFBF() override;

    // Fills the labels from the prepared run and starts the slide-in.
    void YedekAyarla();

    QLabel *LabelYedekAdi;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKapasite; // detail rows: null in the compact layout

private:
    const std::unique_ptr<Ui::TOtoYedekFBF> m_ui;
};

} // namespace kx
