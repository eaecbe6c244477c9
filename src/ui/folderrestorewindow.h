#pragma once
// The window of a folder or ZIP restore run (TRestoreDosyaF).

#include "ui/folderrunner.h"

class QLabel;

namespace kx {

class FolderRestoreRun;

class TRestoreDosyaF : public TFolderRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreDosyaF(FolderRestoreRun *run, QWidget *parent = nullptr);

    // Fills the labels from the prepared run and starts the slide-in.
    void RestoreAyarla();

    QLabel *LabelKaynak;
    QLabel *LabelHedef;
};

} // namespace kx
