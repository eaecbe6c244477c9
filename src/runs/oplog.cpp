#include "runs/oplog.h"
#include "core/codepage.h"
#include "platform/files.h"
#include "platform/filetail.h"
#include "platform/kxerror.h"


namespace kx {

namespace {
const char *const kKeys[7] = {"MODUL", "YEDEKADI", "TARIH", "SAAT", "KAYNAK", "HEDEF", "DURUMU"};

QString oneLine(QString v)
{
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    return v;
}
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
