#pragma once
// The folder backup runner: copies the job's matching files into a new run folder, or packs
// them into one encrypted ZIP archive there, repeats the result into the second target,
// writes the backup log, prunes old runs and hands a ZIP to the chat program.

#include "runs/folderrunner.h"
#include "runs/runparams.h"

class QLabel;

namespace kx {

class TOtoYedekDosyaF : public TFolderRunnerF
{
    Q_OBJECT
public:
    explicit TOtoYedekDosyaF(const QString &programFolder, QWidget *parent = nullptr);

    FolderBackupParams params;

    // Names the run folders, collects the files, fills the labels and starts the slide-in.
    void YedekAyarla();
    // The run itself (called when the window has slid in).
    void OtoYedekle();

    QString firstRunFolder() const { return m_runFolder; }
    QString secondRunFolder() const { return m_runFolder2; }
    QString archive() const;

    QLabel *LabelYedekAdi;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;

protected:
    void runWork() override;

private:
    QString moduleText() const;
    void writeLog(const QString &source, const QString &target, const QString &status);
    void complete(bool failed);
    // Every end of a run: the close delay starts, and a log that could not be written is shown.
    void endRun();
    void sourceMissing();
    void failRun(const QString &message);

    QString m_programFolder;
    QString m_runFolder;
    QString m_runFolder2;
};

} // namespace kx
