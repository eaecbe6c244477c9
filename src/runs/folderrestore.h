#pragma once
// The folder restore runner: copies the files of a backup folder that match one pattern back
// into a target folder, or unpacks a ZIP archive there, and writes the restore log.

#include "runs/collect.h"
#include "runs/runnerwindow.h"

class QLabel;

namespace kx {

class KxProgressBar;

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

class TRestoreDosyaF : public TRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreDosyaF(QWidget *parent = nullptr);

    FolderRestoreParams params;

    void RestoreAyarla();
    void GeriYukle();

    const FileCollection &collection() const { return m_files; }
    KxProgressBar *progressBar() const { return m_bar; }

    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKlasor; // detail rows: null in the compact layout
    QLabel *LabelDosya;
    QLabel *LabelKapasite;

protected:
    void runWork() override;

private:
    void writeLog(const QString &module, const QString &source, const QString &status);
    void endSteps(bool failed);

    FileCollection m_files;
    KxProgressBar *m_bar;
};

} // namespace kx
