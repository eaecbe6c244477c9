#pragma once
// Which kinds of run are in progress: the four in-progress flags of the process. One owner (the
// run controller) sets a flag when a run of the kind is set up and clears it once, when that
// run's end steps are done; everybody else only reads them and may follow the changes.

#include <QObject>

namespace kx {

enum class RunKind { FolderBackup, FirebirdBackup, FolderRestore, FirebirdRestore };

class RunningState : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isRunning(RunKind kind) const { return m_running[index(kind)]; }
    bool folderBackup() const { return isRunning(RunKind::FolderBackup); }
    bool firebirdBackup() const { return isRunning(RunKind::FirebirdBackup); }
    bool anyBackup() const { return folderBackup() || firebirdBackup(); }

    // For the owner. Emits changed() when the value really changes.
    void set(RunKind kind, bool running)
    {
        bool &flag = m_running[index(kind)];
        if (flag == running)
            return;
        flag = running;
        emit changed(kind, running);
    }

signals:
    void changed(kx::RunKind kind, bool running);

private:
    static int index(RunKind kind) { return int(kind); }
    bool m_running[4] = {false, false, false, false};
};

} // namespace kx
