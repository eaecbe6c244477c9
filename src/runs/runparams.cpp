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

bool recordFlag(const JobFile &record, const QString &key)
{
    const QString text = record.value(key);
    return !text.isEmpty() && QStringLiteral("true").startsWith(text, Qt::CaseInsensitive);
}

namespace {

MessengerParams manualMessenger(const JobFile &record, const QString &password)
{
    MessengerParams m;
    m.address = record.value(QStringLiteral("MSN_IP"));
    m.nickname = record.value(QStringLiteral("MSN_NICKNAME"));
    m.password = password;
    m.deleteAfter = record.isTrue(QStringLiteral("MSN_FILEDELETE"));
    return m;
}

} // namespace

FolderBackupParams manualFolderBackupParams(const JobFile &record, const QString &password, const QString &jobName)
{
    FolderBackupParams p;
    p.jobName = jobName;
    p.sourceFolder = record.value(QStringLiteral("KAYNAK_DIZIN"));
    p.targetFolder = record.value(QStringLiteral("HEDEF_DIZIN"));
    p.targetFolder2 = record.value(QStringLiteral("HEDEFDIZIN2"));
    p.overwrite = recordFlag(record, QStringLiteral("UZERINE_YAZ"));
    p.zipPassword = record.value(QStringLiteral("ZIP_PAROLA1"));
    p.zip = recordFlag(record, QStringLiteral("ZIP_YEDEKLE")) && !p.zipPassword.isEmpty();
    for (int i = 1; i <= 10; ++i)
        p.filters.append(record.value(QStringLiteral("DOSYA_TURU%1").arg(i)));
    p.subfolders = recordFlag(record, QStringLiteral("ALT_DIZIN"));
    p.messenger = manualMessenger(record, password);
    p.retention = manualRetention(record);
    p.manual = true;
    return p;
}

FirebirdBackupParams manualFirebirdBackupParams(const JobFile &record, const QString &password, const QString &jobName)
{
    FirebirdBackupParams p;
    p.jobName = jobName;
    p.userName = record.value(QStringLiteral("USERNAME"));
    p.password = record.value(QStringLiteral("USERPWD"));
    p.database = record.value(QStringLiteral("KAYNAK_DOSYA"));
    p.targetFolder = record.value(QStringLiteral("HEDEF_DIZIN"));
    p.targetFolder2 = record.value(QStringLiteral("HEDEFDIZIN2"));
    p.overwrite = recordFlag(record, QStringLiteral("UZERINE_YAZ"));
    p.messenger = manualMessenger(record, password);
    p.retention = manualRetention(record);
    p.manual = true;
    return p;
}

bool manualRetention(const JobFile &job)
{
    const QString mode = job.value(QStringLiteral("YEDEKSIL"));
    return !mode.isEmpty() && mode != QLatin1String("0") && scheduleUnit(job) == ScheduleUnit::Hour;
}

} // namespace kx
