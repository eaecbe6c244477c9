#include "platform/sourcefile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kx {

SourceFile::~SourceFile()
{
    if (fd >= 0)
        ::close(fd);
}

void openSourceFile(const QByteArray &path, SourceFile &s)
{
    struct stat pre;
    if (::stat(path.constData(), &pre) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            s.gone = true;
        else
            s.error = errno;
        return;
    }
    if (S_ISDIR(pre.st_mode)) {
        s.error = EISDIR;
        return;
    }
    if (!S_ISREG(pre.st_mode)) {
        s.gone = true;
        return;
    }
    s.fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (s.fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            s.gone = true;
        else
            s.error = errno;
        return;
    }
    if (::fstat(s.fd, &s.st) != 0) {
        s.error = errno;
        return;
    }
    if (!S_ISREG(s.st.st_mode)) { // swapped for something else between the two looks
        s.gone = true;
        return;
    }
    // O_NONBLOCK stays: it changes nothing for a plain file.
}

} // namespace kx
