#pragma once
// How backups are named: the run stamp, the job prefix, the run folders under the target
// folders, the archive of a zip backup and the backup file of a Firebird backup. Retention finds
// a job's runs by these names, so they are made here and nowhere else.

#include "core/joblist.h" // jobPrefix

#include <QDate>
#include <QString>
#include <QTime>

namespace kx {

struct RunMoment;

// YYYYMMDD_HHMM: the date given, hour and minute of the tick time.
QString TarihSaatCevir(const QDate &date, const QTime &tickTime);
// The stamp of a run set up for this moment: the tick time with the day it belongs to (today
// before the first tick).
QString runStamp(const RunMoment &moment);
// Appends the folder separator unless the path already ends in one; an empty path becomes "/".
QString BackSlash(const QString &path);
// "59 saniye", "1 dakika 15 saniye" (the minute and second words of the long form translated).
QString SureHesapla(qint64 seconds);

// Muhasebe_nyd_20240115_1430
QString runFolderName(const QString &jobName, const QString &stamp);
// Target folder + run folder name (no trailing separator); empty target gives empty.
QString folderRunFolder(const QString &targetFolder, const QString &runFolderName, bool allowEmpty);
// Run folder + "/" + last segment of the source folder + ".Zip".
QString archivePath(const QString &runFolder, const QString &sourceFolder);
// Run folder (ending in "/") + the database's file name with its extension turned into ".fbk".
QString firebirdBackupFile(const QString &runFolderWithSlash, const QString &databasePath);

// "Kapasite :" value: bytes as megabytes with the locale's thousands separator and at most two
// decimals, followed by " MB".
QString capacityText(double bytes);

} // namespace kx
