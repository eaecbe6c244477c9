#include "runs/runparams.h"
#include "core/codepage.h"
#include "core/jobcipher.h"

namespace kx {

namespace {

bool flag(const JobFile &job, const char *key, bool defaultValue)
{
    return job.flag(QLatin1String(key), defaultValue);
}

MessengerParams messenger(const JobFile &job)
{
    MessengerParams m;
    m.address = job.value(QStringLiteral("MSN_IP"));
    m.nickname = job.value(QStringLiteral("MSN_NICKNAME"));
    m.password = codepage::decode(DecryptJobField(codepage::encode(job.value(QStringLiteral("UNETSIFRE")))));
    m.deleteAfter = flag(job, "MSN_FILEDELETE", false);
    return m;
}

} // namespace

FolderBackupParams folderBackupParams(const JobFile &job, const QString &jobName, bool retention, bool manual)
{
    FolderBackupParams p;
    p.jobName = jobName;
    p.sourceFolder = job.value(QStringLiteral("KAYNAK_DIZIN"));
    p.targetFolder = job.value(QStringLiteral("HEDEF_DIZIN"));
    p.targetFolder2 = job.value(QStringLiteral("HEDEFDIZIN2"));
    p.overwrite = flag(job, "UZERINE_YAZ", true);
    p.zipPassword = job.value(QStringLiteral("ZIP_PAROLA1"));
    p.zip = flag(job, "ZIP_YEDEKLE", false) && !p.zipPassword.isEmpty();
    for (int i = 1; i <= 10; ++i)
        p.filters.append(job.value(QStringLiteral("DOSYA_TURU%1").arg(i)));
    p.subfolders = flag(job, "ALT_DIZIN", true);
    p.messenger = messenger(job);
    p.retention = retention;
    p.manual = manual;
    return p;
}

FirebirdBackupParams firebirdBackupParams(const JobFile &job, const QString &jobName, bool retention, bool manual)
{
    FirebirdBackupParams p;
    p.jobName = jobName;
    p.userName = job.value(QStringLiteral("USERNAME"));
    p.password = job.value(QStringLiteral("USERPWD"));
    p.database = job.value(QStringLiteral("KAYNAK_DOSYA"));
    p.targetFolder = job.value(QStringLiteral("HEDEF_DIZIN"));
    p.targetFolder2 = job.value(QStringLiteral("HEDEFDIZIN2"));
    p.overwrite = flag(job, "UZERINE_YAZ", true);
    p.messenger = messenger(job);
    p.retention = retention;
    p.manual = manual;
    return p;
}

bool manualRetention(const JobFile &job)
{
    const QString mode = job.value(QStringLiteral("YEDEKSIL"));
    return !mode.isEmpty() && mode != QLatin1String("0") && scheduleUnit(job) == ScheduleUnit::Hour;
}

} // namespace kx
