#pragma once
// The folder restore runner: copies the files of a backup folder that match one pattern back
// into a target folder, or unpacks a ZIP archive there, and writes the restore log.

#include "runs/folderrunner.h"

class QLabel;

namespace kx {

struct FolderRestoreParams {
    bool zipMode = false;
    QString sourceFolder; // folder mode
    QString archive;      // ZIP mode
    QString targetFolder;
    bool overwrite = false;
    bool subfolders = true;
    QString pattern = QStringLiteral("*.*");
    QString password; // ZIP mode
};

class TRestoreDosyaF : public TFolderRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreDosyaF(QWidget *parent = nullptr);

    FolderRestoreParams params;

    void RestoreAyarla();
    void GeriYukle();


    QLabel *LabelKaynak;
    QLabel *LabelHedef;

protected:
    void runWork() override;

private:
    void writeLog(const QString &module, const QString &source, const QString &status);
    void endSteps(bool failed);

};

} // namespace kx
