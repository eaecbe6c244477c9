#pragma once
// The Firebird restore runner: asks the database server on this machine to rebuild a database
// file from a backup file, replacing the file if it exists, and writes the restore log.

#include "runs/firebirdrunner.h"

class QLabel;
class QProgressBar;

namespace kx {

struct FirebirdRestoreParams {
    QString backupFile;
    QString databaseFile;
    QString userName;
    QString password;
};

class TRestoreFBF : public TFirebirdRunnerF
{
    Q_OBJECT
public:
    explicit TRestoreFBF(QWidget *parent = nullptr);

    FirebirdRestoreParams params;

    // Labels (the backup file's size among them), then the slide-in.
    void RestoreAyarla();
    // The run itself (called when the window has slid in).
    void GeriYukle();

    QLabel *LabelBaslik;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKapasite; // detail rows: null in the compact layout

protected:
    void runWork() override;

private:
    void writeLog(const QString &status);
    void endRun(const QString &failure);

};

} // namespace kx
