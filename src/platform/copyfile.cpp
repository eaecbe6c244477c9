#include "platform/copyfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

constexpr size_t kChunk = 8 * 1024 * 1024;
constexpr qsizetype kNameMax = 255; // bytes of one path segment

QString sysError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

CopyResult copyFile(const QString &source, const QString &target, bool overwrite,
                    const std::function<void()> &betweenChunks)
{
    CopyResult result;
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(target);

    struct stat tst;
    if (!overwrite && ::lstat(dst.constData(), &tst) == 0) {
        result.existed = true;
        result.error = sysError(EEXIST);
        return result;
    }

    Fd in;
    in.fd = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        result.error = sysError(errno);
        return result;
    }
    struct stat st;
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = S_ISDIR(st.st_mode) ? sysError(EISDIR) : sysError(errno ? errno : EINVAL);
        return result;
    }

    const qsizetype slash = dst.lastIndexOf('/');
    // The temporary's name must itself be a valid name: a long one leaves no room for the
    // prefix and suffix, so it is cut (one copy at a time per process, the pid keeps it apart).
    QByteArray tmpName = ".kx-" + QByteArray::number(::getpid()) + '-' + dst.mid(slash + 1);
    tmpName.truncate(kNameMax - 4);
    const QByteArray tmp = dst.left(slash + 1) + tmpName + ".tmp";
    Fd out;
    out.fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, (st.st_mode & 07777) | S_IWUSR);
    if (out.fd < 0) {
        result.error = sysError(errno);
        return result;
    }

    auto fail = [&](int err) {
        result.error = sysError(err);
        ::unlink(tmp.constData());
        return result;
    };

    off_t remaining = st.st_size;
    bool useCopyRange = true;
    std::unique_ptr<char[]> buffer;
    while (true) {
        ssize_t n;
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
        remaining -= n;
        if (betweenChunks && remaining > 0)
            betweenChunks();
    }
    ::fchmod(out.fd, st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, times);
    if (::close(out.fd) != 0) {
        out.fd = -1;
        return fail(errno);
    }
    out.fd = -1;
    if (!overwrite) {
        // Fail-if-exists also against a file that appeared meanwhile.
        if (::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) != 0) {
            const int err = errno;
            if (err != EINVAL && err != ENOSYS) {
                result.existed = err == EEXIST;
                return fail(err);
            }
            if (::lstat(dst.constData(), &tst) == 0) {
                result.existed = true;
                return fail(EEXIST);
            }
            if (::rename(tmp.constData(), dst.constData()) != 0)
                return fail(errno);
        }
    } else if (::rename(tmp.constData(), dst.constData()) != 0) {
        return fail(errno);
    }
    result.ok = true;
    return result;
}

} // namespace kx
