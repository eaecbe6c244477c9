#pragma once
// A folder backup: the job's matching files copied into a new run folder, or packed into one
// encrypted ZIP archive there; the result repeated into the second target; the backup log
// written; old runs pruned; a ZIP handed to the chat program.

#include "runs/collect.h"
#include "runs/run.h"
#include "runs/runparams.h"

namespace kx {

class FolderBackupRun final : public Run
{
    Q_OBJECT
public:
    FolderBackupRun(const QString &programFolder, const FolderBackupParams &params, QObject *parent = nullptr);
    // The work reads this class's members: it stops before any of them goes.
    ~FolderBackupRun() override { stopWork(); }

    const FolderBackupParams &params() const { return m_params; }
    QString firstRunFolder() const { return m_runFolder; }
    QString secondRunFolder() const { return m_runFolder2; }
    QString archive() const;
    // On the run's thread: complete once the display is counted, released when the work ends.
    const FileCollection &collection() const { return m_files; }

    // YedekAyarla: names the run folders, fills what the window shows before the counts.
    void prepare() override;
    bool watchesHeadway() const override { return true; }

protected:
    // OtoYedekle, after the collection of the files (which the window then counts).
    void work() override;
    QString writeStallLine(const QString &status) override;

private:
    void collect();
    LogEntry logEntry(const QString &source, const QString &target, const QString &status, const QTime &now) const;
    void writeLog(const QString &source, const QString &target, std::function<QString()> status);
    void complete(bool failed);
    void fail(const QString &message);
    void noFileToBackUp();
    // A run folder holds all it was to hold (marker removed) or not (marker kept as failed).
    static void settle(const QString &runFolder, bool failed);
    bool makeRunFolder(const QString &folder, const QString &logSource, bool *failed);
    void copyMode();
    void zipMode();

    QString m_programFolder;
    FolderBackupParams m_params;
    QString m_module; // the log lines' module text, made when the run is set up
    QString m_runName;
    QString m_runFolder;
    QString m_runFolder2;
    FileCollection m_files;
};

} // namespace kx
