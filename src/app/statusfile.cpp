#include "app/statusfile.h"
#include "platform/files.h"

#include <functional>

namespace kx {

namespace {

// A label value as the format wants it: valid UTF-8 (a name byte that is not UTF-8 shows as
// U+FFFD), with backslash, double quote and line feed escaped.
QByteArray labelValue(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            clean += c;
            clean += text.at(++i);
        } else if (c.isSurrogate()) {
            clean += QChar(QChar::ReplacementCharacter);
        } else {
            clean += c;
        }
    }
    QByteArray out;
    for (const char ch : clean.toUtf8()) {
        if (ch == '\\')
            out += "\\\\";
        else if (ch == '"')
            out += "\\\"";
        else if (ch == '\n')
            out += "\\n";
        else
            out += ch;
    }
    return out;
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 15);
}

QByteArray timestamp(const QDateTime &t)
{
    return QByteArray::number(t.isValid() ? t.toSecsSinceEpoch() : 0);
}

struct Gauge {
    const char *name;
    const char *help;
    std::function<std::optional<QByteArray>(const JobStatus &)> value;
};

} // namespace

QByteArray statusText(const QList<JobStatus> &jobs, const QDateTime &started, const QString &version)
{
    const Gauge gauges[] = {
        {"korvanex_job_last_run_timestamp_seconds", "When the job's last run ended (0: never).",
         [](const JobStatus &j) { return std::optional(timestamp(j.lastRun)); }},
        {"korvanex_job_last_success_timestamp_seconds", "When the job's last successful run ended (0: none on record).",
         [](const JobStatus &j) { return std::optional(timestamp(j.lastSuccess)); }},
        {"korvanex_job_last_result", "1 when the job's last run succeeded, 0 when it failed.",
         [](const JobStatus &j) {
             return j.lastOk ? std::optional(QByteArray(*j.lastOk ? "1" : "0")) : std::nullopt;
         }},
        {"korvanex_job_last_duration_seconds", "How long the job's last run took.",
         [](const JobStatus &j) { return j.seconds ? std::optional(number(*j.seconds)) : std::nullopt; }},
        {"korvanex_job_last_size_bytes", "How many bytes the job's last run backed up.",
         [](const JobStatus &j) { return j.bytes ? std::optional(number(*j.bytes)) : std::nullopt; }},
        {"korvanex_job_active", "1 when the job is switched on.",
         [](const JobStatus &j) { return std::optional(QByteArray(j.active ? "1" : "0")); }},
        {"korvanex_job_stale", "1 when the job has had no successful run for twice its interval.",
         [](const JobStatus &j) { return std::optional(QByteArray(j.stale ? "1" : "0")); }},
    };
    QByteArray out;
    for (const Gauge &g : gauges) {
        out += QByteArray("# HELP ") + g.name + ' ' + g.help + '\n';
        out += QByteArray("# TYPE ") + g.name + " gauge\n";
        for (const JobStatus &j : jobs) {
            const std::optional<QByteArray> v = g.value(j);
            if (!v)
                continue;
            out += QByteArray(g.name) + "{job=\"" + labelValue(j.name) + "\",kind=\""
                   + (j.kind == JobKind::Folder ? "folder" : "firebird") + "\",group=\"" + labelValue(j.group)
                   + "\"} " + *v + '\n';
        }
    }
    out += "# HELP korvanex_start_time_seconds When the service started.\n"
           "# TYPE korvanex_start_time_seconds gauge\n"
           "korvanex_start_time_seconds "
           + timestamp(started) + '\n';
    out += "# HELP korvanex_build_info The service's version.\n"
           "# TYPE korvanex_build_info gauge\n"
           "korvanex_build_info{version=\""
           + labelValue(version) + "\"} 1\n";
    return out;
}

void writeStatusFile(const QString &folder, const QByteArray &text)
{
    writeWholeFile(folder.endsWith(u'/') ? folder + kStatusFileName : folder + u'/' + kStatusFileName, text);
}

} // namespace kx
