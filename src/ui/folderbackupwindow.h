#pragma once
// The window of a folder backup run (TOtoYedekDosyaF).

#include "ui/folderrunner.h"

class QLabel;

namespace kx {

class FolderBackupRun;

class TOtoYedekDosyaF : public TFolderRunnerF
{
    Q_OBJECT
public:
    explicit TOtoYedekDosyaF(FolderBackupRun *run, QWidget *parent = nullptr);

    // Fills the labels from the prepared run and starts the slide-in.
    void YedekAyarla();

    QLabel *LabelYedekAdi;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
};

} // namespace kx
