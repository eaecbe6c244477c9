#pragma once
// The Firebird backup runner: asks the database server, through its service manager, to write
// a backup of the job's database into a new run folder; copies it into the second target,
// writes the backup log, prunes old runs and hands the file to the chat program.

#include "platform/fbservice.h"
#include "runs/firebirdrunner.h"
#include "runs/runparams.h"

#include <functional>

class QLabel;
class QProgressBar;

namespace kx {

// Which server a job's database names and the path as that server sees it. A text before the
// first ":" of at least two characters with a "." in it is a server ("192.168.1.5:D:/db.fdb");
// anything else goes unchanged to the server on this machine.
struct FirebirdLocation {
    QString server;   // what goes before ":service_mgr"
    QString database; // the path without the server
    bool local = false;
};
FirebirdLocation splitFirebirdDatabase(const QString &database);

// The service conversation of a run (see runFbService); the time-out is worded for the user.
void runFirebirdService(const FbRequest &request, const std::function<void(const QString &)> &onLine = {});

class TOtoYedekFBF : public TFirebirdRunnerF
{
    Q_OBJECT
public:
    explicit TOtoYedekFBF(const QString &programFolder, QWidget *parent = nullptr);

    FirebirdBackupParams params;

    // Labels, run folders and backup file name, then the slide-in.
    void YedekAyarla();
    // The run itself (called when the window has slid in).
    void OtoYedekle();

    QString firstRunFolder() const { return m_runFolder; }
    QString secondRunFolder() const { return m_runFolder2; }
    QString backupFile() const { return m_backupFile; }
    // Lines of service output seen during the run.
    int outputLines() const { return m_outputLines; }

    QLabel *LabelYedekAdi;
    QLabel *LabelKaynak;
    QLabel *LabelHedef;
    QLabel *LabelKapasite; // detail rows: null in the compact layout

protected:
    void runWork() override;

private:
    QString moduleText() const;
    void writeLog(const QString &source, const QString &target, const QString &status);
    // Every end of a run: animation and elapsed time stop, the completion label shows how it
    // went, the close delay starts, and a log that could not be written is shown.
    void endRun(const QString &failure);
    void failRun(const QString &message);

    QString m_programFolder;
    QString m_runFolder;
    QString m_runFolder2;
    QString m_backupFile;
    int m_outputLines = 0;
};

} // namespace kx
