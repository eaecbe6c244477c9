#pragma once
// One service per program folder: two would run every due job twice, side by side, into the
// same run folders. The lock is taken on the folder itself (no file is added to it) and goes
// with the process, however it ends.

#include <QString>

namespace kx {

class FolderLock
{
public:
    explicit FolderLock(const QString &folder);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // False when another holder has the folder, or it cannot be opened.
    bool acquired() const { return m_fd >= 0; }
    // True only when another holder has it: a folder that cannot be opened is no sign of a
    // second service (the program reports its own failures there).
    bool busy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_busy = false;
};

} // namespace kx
