#include "platform/folderlock.h"
#include "platform/pathname.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kx {

FolderLock::FolderLock(const QString &folder)
{
    const int fd = ::open(encodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_busy = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace kx
