#pragma once
// The two operation logs, "backup2.kxk" and "restore2.kxk": one line per run,
// MODUL=..|YEDEKADI=..|TARIH=..|SAAT=..|KAYNAK=..|HEDEF=..|DURUMU=.., at most 5000 lines.

#include <QDate>
#include <QString>
#include <functional>
#include <QStringList>
#include <array>

namespace kx {

struct LogEntry {
    QString module, name, date, time, source, target, status;
};

// The line of an entry. A line break inside a value becomes a blank, so an entry is always
// exactly one line.
QString formatLogLine(const LogEntry &entry);
// The seven cells of a line: keys matched without regard to case, the first one wins, a
// missing key gives an empty cell.
std::array<QString, 7> parseLogLine(const QString &line);

// The rows of a log list: newest line first, each cut into its seven cells.
QList<std::array<QString, 7>> logRowsNewestFirst(const QStringList &lines);

// Dates and times as the logs show them.
QString logDateText(const QDate &date);
QString logTimeText(const QTime &time);

class OperationLog
{
public:
    static constexpr int kMaxLines = 5000;
    // Only the end of the file is read, at most this much of it: a log grown far beyond its
    // lines (by another program, or an old version) costs no more memory than a normal one. A
    // line that does not fit in it is dropped with every older one.
    static constexpr qint64 kMaxBytes = 4 << 20;

    // A new file: the copy of the old one is forgotten.
    void setPath(const QString &path)
    {
        m_path = path;
        m_lines.clear();
        m_failure.clear();
    }
    QString path() const { return m_path; }

    // The in-memory copy: the file's lines, or nothing when there is no file.
    const QStringList &lines() const { return m_lines; }
    // Start-up loading; throws kx::Error when the file exists but cannot be read.
    void load();
    // How much of the file the last load or write read.
    qint64 lastBytesRead() const { return m_bytesRead; }
    // Reads the file again, appends the entry, keeps the newest 5000 lines, rewrites the file.
    // A file that cannot be read or written does not stop the run that writes: the failure is
    // kept and reported once by takeFailure().
    void write(const LogEntry &entry);
    // The clear command's file part: deletes the file and empties the copy.
    void clear();

    // The first write failure since the last call, or an empty text.
    QString takeFailure();

    // Told of every entry written, on the writer's thread (the notices of failed runs).
    using Observer = std::function<void(const LogEntry &)>;
    void setObserver(Observer observer) { m_observer = std::move(observer); }

private:
    QString m_path;
    QStringList m_lines;
    QString m_failure;
    qint64 m_bytesRead = 0;
    Observer m_observer;
};

// The backup log and the restore log of this process.
OperationLog &backupLog();
OperationLog &restoreLog();
// Points both logs at the program folder.
void setLogFolder(const QString &programFolder);

} // namespace kx
