#pragma once
// The window of a Firebird restore run (TRestoreFBF).

#include "ui/firebirdrunner.h"

class QLabel;

namespace kx {

class FirebirdRestoreRun;

class TRestoreFBF : public TFirebirdRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreFBF(FirebirdRestoreRun *run, QWidget *parent = nullptr);

    // Fills the labels from the prepared run and starts the slide-in.
    void RestoreAyarla();

    QLabel *LabelBaslik;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKapasite; // detail rows: null in the compact layout
};

} // namespace kx
