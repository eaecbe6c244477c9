#include "runs/oplog.h"
#include "core/codepage.h"
#include "platform/files.h"
#include "platform/filetail.h"
#include "platform/kxerror.h"
#include "platform/pathname.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kx {

namespace {
const char *const kKeys[7] = {"MODUL", "YEDEKADI", "TARIH", "SAAT", "KAYNAK", "HEDEF", "DURUMU"};

QString oneLine(QString v)
{
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    return v;
}
// Held while a write reads the file, appends and replaces it: the service and a restore started
// from the command line write the same log, and without it one of two writers at the same moment
// would drop the other's line. The file is replaced by a rename, so a lock won on a file that
// was replaced meanwhile is taken again on the new one. A holder that does not let go within a
// few seconds is not waited for: a line written without the lock beats a stuck program.
class WriteLock
{
public:
    explicit WriteLock(const QString &path)
    {
        const QByteArray name = encodePath(path);
        for (int attempt = 0; attempt < 500; ++attempt) {
            const int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0)
                return; // the write itself tells what is wrong there
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int err = errno;
                ::close(fd);
                if (err != EWOULDBLOCK && err != EINTR)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            struct stat held, named;
            if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_dev == named.st_dev
                && held.st_ino == named.st_ino) {
                m_fd = fd;
                return;
            }
            ::close(fd);
        }
    }
    ~WriteLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WriteLock(const WriteLock &) = delete;
    WriteLock &operator=(const WriteLock &) = delete;

private:
    int m_fd = -1;
};

} // namespace

QString formatLogLine(const LogEntry &e)
{
    const QString *values[7] = {&e.module, &e.name, &e.date, &e.time, &e.source, &e.target, &e.status};
    QString line;
    for (int i = 0; i < 7; ++i) {
        if (i > 0)
            line += u'|';
        line += QLatin1String(kKeys[i]) + u'=' + oneLine(*values[i]);
    }
    return line;
}

std::array<QString, 7> parseLogLine(const QString &line)
{
    std::array<QString, 7> cells;
    std::array<bool, 7> found{};
    for (const QString &pair : line.split(u'|')) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0)
            continue;
        const QStringView key = QStringView(pair).left(eq);
        for (int i = 0; i < 7; ++i) {
            if (!found[i] && key.compare(QLatin1String(kKeys[i]), Qt::CaseInsensitive) == 0) {
                cells[i] = pair.mid(eq + 1);
                found[i] = true;
                break;
            }
        }
    }
    return cells;
}

QList<std::array<QString, 7>> logRowsNewestFirst(const QStringList &lines)
{
    QList<std::array<QString, 7>> rows;
    rows.reserve(lines.size());
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        rows.append(parseLogLine(lines.at(i)));
    return rows;
}

QString logDateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QString logTimeText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

void OperationLog::load()
{
    m_bytesRead = 0;
    const FileTail tail = readFileTail(m_path, kMaxLines, kMaxBytes);
    m_bytesRead = tail.bytesRead;
    m_lines = codepage::splitLines(tail.bytes);
}

void OperationLog::write(const LogEntry &entry)
{
    const WriteLock lock(m_path);
    try {
        load();
    } catch (const Error &e) {
        // Keep what we had in memory rather than lose the entry.
        if (m_failure.isEmpty())
            m_failure = e.text();
    }
    m_lines.append(formatLogLine(entry));
    if (m_lines.size() > kMaxLines)
        m_lines.remove(0, m_lines.size() - kMaxLines);
    try {
        writeWholeFile(m_path, codepage::joinLines(m_lines));
    } catch (const Error &e) {
        if (m_failure.isEmpty())
            m_failure = e.text();
    }
    if (m_observer)
        m_observer(entry);
}

void OperationLog::clear()
{
    if (pathExists(m_path) && !removeFile(m_path))
        throw Error(QStringLiteral("\"%1\" silinemedi."), {m_path});
    m_lines.clear();
}

QString OperationLog::takeFailure()
{
    QString f;
    f.swap(m_failure);
    return f;
}

OperationLog &backupLog()
{
    static OperationLog log;
    return log;
}

OperationLog &restoreLog()
{
    static OperationLog log;
    return log;
}

void setLogFolder(const QString &programFolder)
{
    QString f = programFolder;
    if (!f.endsWith(u'/'))
        f += u'/';
    backupLog().setPath(f + QStringLiteral("backup2.kxk"));
    restoreLog().setPath(f + QStringLiteral("restore2.kxk"));
}

} // namespace kx
