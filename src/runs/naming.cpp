#include "runs/naming.h"
#include "core/clock.h"
#include "core/service.h"
#include "core/servicecontext.h"

#include <QLocale>
#include <algorithm>

namespace kx {

QString TarihSaatCevir(const QDate &date, const QTime &tickTime)
{
    return QString::number(date.year()) + QStringLiteral("%1%2_%3%4")
                                              .arg(date.month(), 2, 10, QLatin1Char('0'))
                                              .arg(date.day(), 2, 10, QLatin1Char('0'))
                                              .arg(tickTime.hour(), 2, 10, QLatin1Char('0'))
                                              .arg(tickTime.minute(), 2, 10, QLatin1Char('0'));
}

QString runStamp(const RunMoment &moment)
{
    return TarihSaatCevir(moment.tickDate.isValid() ? moment.tickDate : clock::today(), moment.tickTime);
}

QString BackSlash(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString SureHesapla(qint64 seconds)
{
    if (seconds < 60)
        return QString::number(seconds) + QStringLiteral(" saniye");
    return QString::number(seconds / 60) + u' ' + trMsg(QStringLiteral("dakika ")) + QString::number(seconds % 60) + u' '
           + trMsg(QStringLiteral("saniye"));
}

QString runFolderName(const QString &jobName, const QString &stamp)
{
    return jobPrefix(jobName) + u'_' + stamp;
}

QString folderRunFolder(const QString &targetFolder, const QString &name, bool allowEmpty)
{
    if (allowEmpty && targetFolder.isEmpty())
        return QString();
    return BackSlash(targetFolder) + name;
}

QString archivePath(const QString &runFolder, const QString &sourceFolder)
{
    const QString last = sourceFolder.mid(sourceFolder.lastIndexOf(u'/') + 1);
    return runFolder + u'/' + last + QStringLiteral(".Zip");
}

QString firebirdBackupFile(const QString &runFolderWithSlash, const QString &databasePath)
{
    // A database on a Windows server names its folders with "\".
    const qsizetype cut = std::max({databasePath.lastIndexOf(u'/'), databasePath.lastIndexOf(u':'),
                                    databasePath.lastIndexOf(u'\\')});
    const QString fileName = databasePath.mid(cut + 1);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return runFolderWithSlash + fileName;
    // The extension is replaced in the file name itself: a target folder that happens to hold
    // the same text (".../eski.FDB_arsiv/...") must not be renamed into a folder that does not
    // exist.
    return runFolderWithSlash + fileName.left(dot) + QStringLiteral(".fbk");
}

QString capacityText(double bytes)
{
    const QLocale locale;
    QString t = locale.toString(bytes / 1024.0 / 1024.0, 'f', 2);
    const QString point = locale.decimalPoint();
    if (t.endsWith(point + QStringLiteral("00")))
        t.chop(point.size() + 2);
    else if (t.contains(point) && t.endsWith(u'0'))
        t.chop(1);
    return t + QStringLiteral(" MB");
}

} // namespace kx
