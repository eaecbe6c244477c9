#include "platform/tempname.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kx {

QByteArray temporaryName(const QByteArray &finalName)
{
    static std::atomic<quint64> sequence{0};
    static const QByteArray process = QByteArray::number(::getpid());
    QByteArray tmp = ".kx-" + process + '-' + QByteArray::number(++sequence) + '-' + finalName;
    tmp.truncate(255 - 4);
    return tmp + ".tmp";
}

int createTemporaryAt(int dirFd, const QByteArray &name, mode_t mode, int access)
{
    const int flags = access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(dirFd, name.constData(), flags, mode);
    // Only a dead process with this process's number can have left this name.
    if (fd < 0 && errno == EEXIST && ::unlinkat(dirFd, name.constData(), 0) == 0)
        fd = ::openat(dirFd, name.constData(), flags, mode);
    return fd;
}

} // namespace kx
