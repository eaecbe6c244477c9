#include "platform/files.h"
#include "platform/fd.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"
#include "platform/tempname.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

QByteArray readWholeFile(const QString &path)
{
    Fd in;
    in.fd = ::open(encodePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        const int err = errno;
        throw Error(QStringLiteral("\"%1\" dosyasi acilamadi. %2"), {path, systemErrorText(err)});
    }
    struct stat st;
    const bool known = ::fstat(in.fd, &st) == 0;
    if (known && S_ISDIR(st.st_mode))
        throw Error(QStringLiteral("\"%1\" dosyasi okunamadi. %2"), {path, systemErrorText(EISDIR)});
    QByteArray data;
    if (known && S_ISREG(st.st_mode) && st.st_size > 0)
        data.reserve(qsizetype(st.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            throw Error(QStringLiteral("\"%1\" dosyasi okunamadi. %2"), {path, systemErrorText(err)});
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    return data;
}

bool pathExists(const QString &path)
{
    struct stat st;
    return ::stat(encodePath(path).constData(), &st) == 0;
}

bool isFolder(const QString &path)
{
    struct stat st;
    return ::stat(encodePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isPlainFile(const QString &path)
{
    struct stat st;
    return ::stat(encodePath(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

void writeWholeFile(const QString &path, const QByteArray &data, bool keepOwnerOnly)
{
    // Written beside the file and renamed over it only when every byte has reached the disk: a
    // full disk, a crash or a killed program leave the old file whole, never an empty or half
    // one. Every write, the flush and the close are checked.
    const QByteArray target = encodePath(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray name = target.mid(slash + 1);
    const QByteArray temp = temporaryName(name);

    mode_t mode = 0666;
    struct stat old;
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (keepOwnerOnly)
        mode = 0600;
    else if (exists)
        mode = old.st_mode & 07777;

    Fd dir;
    dir.fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd < 0) {
        const int err = errno;
        throw Error(QStringLiteral("\"%1\" dosyasi olusturulamadi. %2"), {path, systemErrorText(err)});
    }
    Fd out;
    out.fd = createTemporaryAt(dir.fd, temp, mode);
    if (out.fd < 0) {
        const int err = errno;
        throw Error(QStringLiteral("\"%1\" dosyasi olusturulamadi. %2"), {path, systemErrorText(err)});
    }
    auto fail = [&](int err) {
        ::unlinkat(dir.fd, temp.constData(), 0);
        throw Error(QStringLiteral("\"%1\" dosyasi yazilamadi. %2"), {path, systemErrorText(err)});
    };
    // The mode asked for, whatever the umask says: an existing file keeps its own, a job file is
    // its owner's alone.
    if ((keepOwnerOnly || exists) && ::fchmod(out.fd, mode) != 0)
        fail(errno);
    const char *p = data.constData();
    size_t left = size_t(data.size());
    while (left > 0) {
        const ssize_t n = ::write(out.fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        p += n;
        left -= size_t(n);
    }
    if (::fsync(out.fd) != 0)
        fail(errno);
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0)
        fail(errno);
    // A link at the file's name is replaced by the file, as the rename does with anything there.
    if (::renameat(dir.fd, temp.constData(), dir.fd, name.constData()) != 0)
        fail(errno);
    // The rename itself reaches the disk with the folder.
    ::fsync(dir.fd);
}

bool removeFile(const QString &path)
{
    return ::unlink(encodePath(path).constData()) == 0;
}

bool renameFile(const QString &from, const QString &to)
{
    return ::renameat2(AT_FDCWD, encodePath(from).constData(), AT_FDCWD, encodePath(to).constData(),
                       RENAME_NOREPLACE) == 0;
}

void makePath(const QString &folder)
{
    if (isFolder(folder))
        return;
    // Made one level at a time, so the failure names the system's reason.
    const QByteArray path = encodePath(QDir::cleanPath(QDir(folder).absolutePath()));
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path.at(i) != '/')
            continue;
        const QByteArray part = path.left(i);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            const int err = errno;
            throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2"), {folder, systemErrorText(err)});
        }
    }
    struct stat st;
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2"), {folder, systemErrorText(ENOTDIR)});
}

} // namespace kx
