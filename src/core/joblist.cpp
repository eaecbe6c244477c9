#include "core/joblist.h"
#include "core/codepage.h"
#include "core/jobfile.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "platform/pathname.h"

#include <QDir>

#include <algorithm>

namespace kx {

QString jobExtension(JobKind kind)
{
    return kind == JobKind::Folder ? QStringLiteral(".nyd") : QStringLiteral(".fyd");
}

JobKind jobKindOf(const QString &jobFileName)
{
    return jobFileName.endsWith(QLatin1String(".fyd"), Qt::CaseInsensitive) ? JobKind::Firebird : JobKind::Folder;
}

QString defaultFolder(const QString &name)
{
    return QDir::homePath() + u'/' + name;
}

QString jobPrefix(const QString &jobName)
{
    QString p = jobName;
    p.replace(u'.', u'_');
    return p;
}

qsizetype fileNameBytes(const QString &fileName)
{
    return encodePath(fileName).size();
}

QStringList scanJobFiles(const QString &programFolder, JobKind kind)
{
    QStringList names;
    const QString mask = QStringLiteral("*") + jobExtension(kind);
    for (const DirEntry &e : listDirectory(programFolder, mask)) {
        if (!e.isFile || e.isDir)
            continue;
        // A name the job layer would refuse (a backslash, a character outside the code page)
        // cannot be a job of ours; listing it would only make every later step fail on it.
        try {
            jobFilePath(programFolder, e.name, kind);
        } catch (const Error &) {
            continue;
        }
        names.append(e.name);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

QString jobFilePath(const QString &programFolder, const QString &jobFileName, JobKind kind)
{
    const QString ext = jobExtension(kind);
    const QString base = jobFileName.endsWith(ext, Qt::CaseInsensitive) ? jobFileName.chopped(ext.size()) : QString();
    if (base.isEmpty())
        throw Error(QStringLiteral("Gecersiz yedekleme adi: \"%1\""), {jobFileName});
    for (QChar c : jobFileName) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            throw Error(QStringLiteral("Yedekleme adinda kullanilamayan bir karakter var: \"%1\""), {jobFileName});
    }
    const QChar bad = codepage::firstUnencodable(jobFileName);
    if (!bad.isNull())
        throw Error(QStringLiteral("Yedekleme adindaki \"%1\" karakteri kaydedilemez."), {bad});
    QString folder = programFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + jobFileName;
}

namespace {

void normalizeOne(const QString &path)
{
    JobFile job = JobFile::load(path);
    if (job.contains(QStringLiteral("PERYOT")) && job.contains(QStringLiteral("UNETYEDEK")))
        return;
    // The run count of the job's own unit becomes its period; no unit, no period.
    const char *countKey = nullptr;
    switch (scheduleUnit(job)) {
    case ScheduleUnit::Hour:
        countKey = "SAAT_SURE";
        break;
    case ScheduleUnit::Day:
        countKey = "GUN_SURE";
        break;
    case ScheduleUnit::Week:
        countKey = "HAFTA_SURE";
        break;
    case ScheduleUnit::Month:
        countKey = "AY_SURE";
        break;
    case ScheduleUnit::None:
        break;
    }
    job.setValue(QStringLiteral("PERYOT"), countKey ? job.value(QLatin1String(countKey)) : QString());
    job.setValue(QStringLiteral("UNETYEDEK"),
                 job.contains(QStringLiteral("MSN_IP")) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    job.save(path);
}

} // namespace

void NormalizeJobFiles(const QString &programFolder, const QStringList &firebirdJobs, const QStringList &folderJobs)
{
    for (const QString &name : firebirdJobs)
        normalizeOne(jobFilePath(programFolder, name, JobKind::Firebird));
    for (const QString &name : folderJobs)
        normalizeOne(jobFilePath(programFolder, name, JobKind::Folder));
}

} // namespace kx
