#include "platform/filetail.h"
#include "platform/fd.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

FileTail readFileTail(const QString &path, int maxLines, qint64 maxBytes, qint64 blockSize)
{
    FileTail tail;
    // Not blocking: a pipe put at the file's name must not hold the reader; it is refused below.
    Fd file;
    file.fd = ::open(encodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return tail;
        throw Error(QStringLiteral("\"%1\" dosyasi acilamadi. %2"), {path, systemErrorText(err)});
    }
    struct stat st;
    if (::fstat(file.fd, &st) != 0) {
        const int err = errno;
        throw Error(QStringLiteral("\"%1\" dosyasi okunamadi. %2"), {path, systemErrorText(err)});
    }
    if (!S_ISREG(st.st_mode))
        throw Error(QStringLiteral("\"%1\" dosyasi acilamadi. %2"),
                    {path, systemErrorText(S_ISDIR(st.st_mode) ? EISDIR : EINVAL)});
    const qint64 end = st.st_size;
    if (end == 0 || maxLines <= 0 || maxBytes <= 0)
        return tail;
    blockSize = std::max<qint64>(blockSize, 1);

    // The size is taken once: what another process appends meanwhile waits for the next read,
    // and a file cut shorter under us (no writer of this program does that) is a failure.
    auto readAt = [&](char *to, qint64 offset, qint64 size) {
        while (size > 0) {
            const ssize_t n = ::pread(file.fd, to, size_t(size), off_t(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int err = n < 0 ? errno : EIO;
                throw Error(QStringLiteral("\"%1\" dosyasi okunamadi. %2"), {path, systemErrorText(err)});
            }
            tail.bytesRead += n;
            to += n;
            offset += n;
            size -= n;
        }
    };

    // The final line end adds no line: counting starts before it.
    char last[2] = {0, 0};
    const qint64 lastSize = std::min<qint64>(end, 2);
    readAt(last + 2 - lastSize, end - lastSize, lastSize);
    qint64 contentEnd = end;
    if (last[1] == '\n')
        contentEnd -= lastSize == 2 && last[0] == '\r' ? 2 : 1;
    else if (last[1] == '\r')
        contentEnd -= 1;

    // Backwards from there, one block at a time, counting line ends until maxLines lines have
    // begun or the byte limit is reached. One byte below the limit shows whether a line starts
    // right at it.
    const qint64 floor = end > maxBytes ? end - maxBytes : 0;
    const qint64 low = floor > 0 ? floor - 1 : 0;
    qint64 start = -1;
    qint64 oldestStart = end; // where the oldest line found whole begins
    int found = 0;
    char after = contentEnd < end ? last[2 - (end - contentEnd)] : 0; // the byte after the one looked at
    QByteArray block(qsizetype(std::min(blockSize, std::max<qint64>(contentEnd - low, 1))), Qt::Uninitialized);
    for (qint64 pos = contentEnd; pos > low && start < 0;) {
        const qint64 from = std::max(low, pos - qint64(block.size()));
        readAt(block.data(), from, pos - from);
        for (qint64 i = pos - 1; i >= from; --i) {
            const char c = block.at(i - from);
            // A CR is a line end of its own unless an LF follows; then the LF ends the line.
            const bool lineEnd = c == '\n' || (c == '\r' && after != '\n');
            after = c;
            if (lineEnd) {
                oldestStart = i + 1;
                if (++found == maxLines) {
                    start = i + 1;
                    break;
                }
            }
        }
        pos = from;
    }
    if (start < 0)
        start = floor == 0 ? 0 : oldestStart;
    block = QByteArray();

    tail.bytes.resize(end - start);
    readAt(tail.bytes.data(), start, end - start);
    return tail;
}

} // namespace kx
