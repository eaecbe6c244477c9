#include "platform/copyfile.h"
#include "platform/fd.h"
#include "platform/headway.h"
#include "platform/pathname.h"
#include "platform/confined.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/sourcefile.h"
#include "platform/tempname.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

// The process's umask, read without setting it (setting it, even for a moment, would change the
// mode of files other threads create meanwhile). Unknown, it is taken as "everything": the
// mode is then always set afterwards.
mode_t processUmask()
{
    static const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return mode_t(value);
                }
        return mode_t(07777);
    }();
    return mask;
}

constexpr size_t kChunk = 8 * 1024 * 1024;


// Renames the finished temporary to its final name: over whatever is there with overwrite
// (a link there is replaced, not followed), otherwise only when nothing is there.
int putInPlace(int dirFd, const QByteArray &tmp, const QByteArray &name, bool overwrite, bool *existed)
{
    *existed = false;
    if (overwrite)
        return ::renameat(dirFd, tmp.constData(), dirFd, name.constData()) == 0 ? 0 : errno;
    if (::renameat2(dirFd, tmp.constData(), dirFd, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS) {
        *existed = err == EEXIST;
        return err;
    }
    // A file system without the no-replace rename: test, then rename.
    struct stat st;
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        *existed = true;
        return EEXIST;
    }
    return ::renameat(dirFd, tmp.constData(), dirFd, name.constData()) == 0 ? 0 : errno;
}

// `targetPath` names the target for a watch on the calling thread's headway (see headway.h):
// every call that may wait is marked with the file it waits on.
CopyResult copyAt(int dirFd, const QByteArray &name, const QString &source, bool overwrite,
                  const std::function<void()> &betweenChunks, const std::atomic<bool> *cancel, bool newInPlace,
                  const QByteArray &targetPath)
{
    CopyResult result;
    struct stat tst;
    if (!newInPlace && !overwrite) {
        const Waiting waiting(targetPath);
        if (::fstatat(dirFd, name.constData(), &tst, AT_SYMLINK_NOFOLLOW) == 0) {
            result.existed = true;
            result.error = systemErrorText(EEXIST);
            return result;
        }
    }

    const QByteArray sourcePath = encodePath(source);
    SourceFile in;
    {
        const Waiting waiting(sourcePath);
        openSourceFile(sourcePath, in);
    }
    if (in.gone) {
        result.skipped = true;
        return result;
    }
    if (in.error != 0) {
        result.error = systemErrorText(in.error);
        return result;
    }
    const struct stat &st = in.st;

    // A new file may be made under its own name at once (O_EXCL: nothing that is there, a link
    // least of all, is ever opened); anything already there is replaced through a temporary.
    Fd out;
    bool inPlace = false;
    std::optional<Waiting> creating(std::in_place, targetPath);
    if (newInPlace) {
        out.fd = ::openat(dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          (st.st_mode & 07777) | S_IWUSR);
        inPlace = out.fd >= 0;
        if (!inPlace && errno == EEXIST && !overwrite) {
            result.existed = true;
            result.error = systemErrorText(EEXIST);
            return result;
        }
        if (!inPlace && errno != EEXIST) {
            result.error = systemErrorText(errno);
            return result;
        }
    }
    const QByteArray tmp = inPlace ? name : temporaryName(name);
    if (!inPlace)
        out.fd = createTemporaryAt(dirFd, tmp, (st.st_mode & 07777) | S_IWUSR);
    if (out.fd < 0) {
        result.error = systemErrorText(errno);
        return result;
    }
    creating.reset();
    auto fail = [&](int err) {
        result.error = systemErrorText(err);
        ::unlinkat(dirFd, tmp.constData(), 0);
        return result;
    };

    bool useCopyRange = true;
    std::unique_ptr<char[]> buffer;
    qint64 copied = 0;
    while (true) {
        if (cancel && cancel->load()) {
            result.cancelled = true;
            ::unlinkat(dirFd, tmp.constData(), 0);
            return result;
        }
        ssize_t n;
        // Which side of a moving chunk waits, the system does not say: both are named.
        const Waiting moving(sourcePath, Waiting::Kind::File, targetPath);
        if (useCopyRange) {
            n = ::copy_file_range(in.fd, nullptr, out.fd, nullptr, kChunk, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                useCopyRange = false;
                continue;
            }
        } else {
            if (!buffer)
                buffer.reset(new char[1024 * 1024]);
            n = ::read(in.fd, buffer.get(), 1024 * 1024);
            for (ssize_t done = 0; n > 0 && done < n;) {
                const ssize_t w = ::write(out.fd, buffer.get() + done, size_t(n - done));
                if (w < 0) {
                    if (errno == EINTR)
                        continue;
                    return fail(errno);
                }
                done += w;
            }
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            break;
        copied += n;
        // The size it had when opened is there: no further call just to meet the end (a file
        // still being written is taken as it stood).
        if (copied >= st.st_size)
            break;
        if (betweenChunks)
            betweenChunks();
    }
    const Waiting closing(targetPath);
    // Made with the source's mode, less what the umask took: only then is a change needed.
    const mode_t wanted = st.st_mode & 07777;
    if ((((wanted | S_IWUSR) & ~processUmask()) & 07777) != wanted)
        ::fchmod(out.fd, wanted);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, times);
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0)
        return fail(errno);
    bool existed = false;
    if (inPlace) {
        result.ok = true;
        return result;
    }
    if (const int err = putInPlace(dirFd, tmp, name, overwrite, &existed)) {
        result.existed = existed;
        return fail(err);
    }
    result.ok = true;
    return result;
}

QByteArray lastSegment(const QString &path, QByteArray *folder)
{
    const QByteArray encoded = encodePath(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    *folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : encoded.left(slash);
    return encoded.mid(slash + 1);
}

} // namespace

CopyResult copyFile(const QString &source, const QString &target, bool overwrite,
                    const std::function<void()> &betweenChunks, const std::atomic<bool> *cancel)
{
    QByteArray folder;
    const QByteArray name = lastSegment(target, &folder);
    std::optional<Waiting> opening(std::in_place, folder, Waiting::Kind::Folder);
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    opening.reset();
    if (dir.fd < 0) {
        CopyResult r;
        r.error = systemErrorText(errno);
        return r;
    }
    return copyAt(dir.fd, name, source, overwrite, betweenChunks, cancel, false,
                  Headway::current() ? encodePath(target) : QByteArray());
}

ConfinedRoot::ConfinedRoot(const QString &root) : m_path(root)
{
    makePath(root);
    m_root = ::open(encodePath(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_root < 0)
        throw Error(QStringLiteral("\"%1\" klasoru acilamadi. %2"), {root, systemErrorText(errno)});
}

ConfinedRoot::~ConfinedRoot()
{
    if (m_last >= 0 && m_last != m_root)
        ::close(m_last);
    if (m_root >= 0)
        ::close(m_root);
}

int ConfinedRoot::folder(const QString &relative)
{
    if (m_last >= 0 && relative == m_lastRelative)
        return m_last;
    if (m_last >= 0 && m_last != m_root)
        ::close(m_last);
    m_last = -1;
    int current = m_root;
    QString walked = m_path;
    for (const QString &part : relative.split(u'/', Qt::SkipEmptyParts)) {
        walked += u'/' + part;
        const QByteArray name = encodePath(part);
        if (part == QLatin1String("..") || part == QLatin1String(".")) {
            if (current != m_root)
                ::close(current);
            throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2"), {walked, systemErrorText(EINVAL)});
        }
        int next = ::openat(current, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(current, name.constData(), 0777) != 0 && errno != EEXIST) {
                const int err = errno;
                if (current != m_root)
                    ::close(current);
                throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2"), {walked, systemErrorText(err)});
            }
            next = ::openat(current, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        const int err = errno;
        if (current != m_root)
            ::close(current);
        // A link among the folders (ELOOP), or a file where a folder should be.
        if (next < 0)
            throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2"), {walked, systemErrorText(err)});
        current = next;
    }
    m_last = current;
    m_lastRelative = relative;
    return current;
}

CopyResult copyFileInto(ConfinedRoot &root, const QString &relativeTarget, const QString &source, bool overwrite,
                        const std::function<void()> &betweenChunks, const std::atomic<bool> *cancel, bool newInPlace)
{
    const qsizetype slash = relativeTarget.lastIndexOf(u'/');
    CopyResult r;
    int dirFd;
    try {
        const QString relativeFolder = slash < 0 ? QString() : relativeTarget.left(slash);
        const Waiting waiting(!Headway::current()     ? QString()
                              : relativeFolder.isEmpty() ? root.path()
                                                         : root.path() + u'/' + relativeFolder,
                              Waiting::Kind::Folder);
        dirFd = root.folder(relativeFolder);
    } catch (const Error &e) {
        r.error = e.text();
        return r;
    }
    return copyAt(dirFd, encodePath(relativeTarget.mid(slash + 1)), source, overwrite, betweenChunks, cancel,
                  newInPlace, Headway::current() ? encodePath(root.path() + u'/' + relativeTarget) : QByteArray());
}

} // namespace kx
