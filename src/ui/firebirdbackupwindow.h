#pragma once
// The window of a Firebird backup run (TOtoYedekFBF).

#include "ui/firebirdrunner.h"

class QLabel;

namespace kx {

class FirebirdBackupRun;

class TOtoYedekFBF : public TFirebirdRunnerF
{
    Q_OBJECT
public:
    explicit TOtoYedekFBF(FirebirdBackupRun *run, QWidget *parent = nullptr);

    // Fills the labels from the prepared run and starts the slide-in.
    void YedekAyarla();

    QLabel *LabelYedekAdi;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKapasite; // detail rows: null in the compact layout
};

} // namespace kx
