#pragma once
// A Firebird restore: the database server on this machine rebuilds a database file from a
// backup file under a temporary name beside it, and only a complete restore replaces the file;
// the restore log written.

#include "runs/run.h"

namespace kx {

struct FirebirdRestoreParams {
    QString backupFile;
    QString databaseFile;
    QString userName;
    QString password;
    // The day its log line takes as today.
    QDate serviceDate;
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
    void fail(const QString &cause);
    // Removes the temporary; what to add to the log line when it stays.
    QString removeTemporary() const;
    // The finished database in place of the target; an empty text, or why not.
    QString putInPlace() const;

    FirebirdRestoreParams m_params;
    QString m_temporary;
    // Texts made on the user-interface thread.
    QString m_timeoutText;
    QString m_incompleteText;
    QString m_inUseText;
    QString m_notPlacedText;
    QString m_notRemovedText;
};

} // namespace kx
