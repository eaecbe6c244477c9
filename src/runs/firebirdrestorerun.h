#pragma once
// A Firebird restore: the database server on this machine rebuilds a database file from a
// backup file, replacing the file if it exists; the restore log written.

#include "runs/run.h"

namespace kx {

struct FirebirdRestoreParams {
    QString backupFile;
    QString databaseFile;
    QString userName;
    QString password;
};

class FirebirdRestoreRun final : public Run
{
    Q_OBJECT
public:
    explicit FirebirdRestoreRun(const FirebirdRestoreParams &params, QObject *parent = nullptr);
    // The work reads this class's members: it stops before any of them goes.
    ~FirebirdRestoreRun() override { stopWork(); }

    const FirebirdRestoreParams &params() const { return m_params; }

    // RestoreAyarla: labels, the backup file's size among them.
    void prepare() override;

protected:
    // GeriYukle.
    void work() override;

private:
    void writeLog(std::function<QString()> status);

    FirebirdRestoreParams m_params;
    QString m_timeoutText;
};

} // namespace kx
