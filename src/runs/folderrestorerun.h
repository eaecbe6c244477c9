#pragma once
// A folder restore: the files of a backup folder that match one pattern copied back into a
// target folder, or a ZIP archive unpacked there; the restore log written. Nothing is ever
// written through a link inside the target folder.

#include "runs/collect.h"
#include "runs/run.h"

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

class FolderRestoreRun final : public Run
{
    Q_OBJECT
public:
    explicit FolderRestoreRun(const FolderRestoreParams &params, QObject *parent = nullptr);
    // The work reads this class's members: it stops before any of them goes.
    ~FolderRestoreRun() override { stopWork(); }

    const FolderRestoreParams &params() const { return m_params; }
    // On the run's thread: complete once the display is counted, released when the work ends.
    const FileCollection &collection() const { return m_files; }

    // RestoreAyarla: what the window shows before the counts.
    void prepare() override;
    bool watchesHeadway() const override { return true; }

protected:
    // GeriYukle, after the files are counted.
    void work() override;
    QString writeStallLine(const QString &status) override;

private:
    void collect();
    LogEntry logEntry(const QString &status) const;
    void writeLog(std::function<QString()> status);
    void endSteps(bool failed, const QString &failure = QString());

    FolderRestoreParams m_params;
    QString m_module;
    FileCollection m_files;
};

} // namespace kx
