#pragma once
// What a backup run needs from its job, read the way every run reads it: missing keys give empty
// texts or the defaults below, booleans are "True"/"False" in any letter case or a number.

#include "core/jobfile.h"
#include "core/servicecontext.h"

#include <QString>
#include <QStringList>

namespace kx {

struct MessengerParams {
    QString address;  // MSN_IP
    QString nickname; // MSN_NICKNAME
    QString password; // UNETSIFRE, deciphered
    bool deleteAfter = false;
};

struct FolderBackupParams {
    QString jobName;
    QString sourceFolder;
    QString targetFolder;
    QString targetFolder2;
    bool overwrite = true;
    bool zip = false; // only with a zip password
    QString zipPassword;
    QStringList filters; // ten entries, empty ones skipped
    bool subfolders = true;
    MessengerParams messenger;
    bool retention = false;
    bool manual = false;
    RunMoment moment;
};

struct FirebirdBackupParams {
    QString jobName;
    QString userName;
    QString password;
    QString database;
    QString targetFolder;
    QString targetFolder2;
    bool overwrite = true;
    MessengerParams messenger;
    bool retention = false;
    bool manual = false;
    RunMoment moment;
};

FolderBackupParams folderBackupParams(const JobFile &job, const QString &jobName, bool retention, bool manual);
FirebirdBackupParams firebirdBackupParams(const JobFile &job, const QString &jobName, bool retention, bool manual);

// A manual run prunes when the job has a retention mode other than "0" and is hourly.
bool manualRetention(const JobFile &job);

// A run started by hand takes the job's values as its record holds them (the job file as read,
// the enciphered password deciphered): a boolean field without a value is false, the
// messenger's delete switch is on only for exactly "True", and the run prunes by
// manualRetention().
FolderBackupParams manualFolderBackupParams(const JobFile &record, const QString &password, const QString &jobName);
FirebirdBackupParams manualFirebirdBackupParams(const JobFile &record, const QString &password, const QString &jobName);

// A boolean field of a job record: "True", "False" or a leading part of either, letter case
// ignored; no value is false.
bool recordFlag(const JobFile &record, const QString &key);

} // namespace kx
