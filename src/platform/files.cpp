#include "platform/files.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace kx {

QByteArray readWholeFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("\"%1\" dosyasi acilamadi. %2").arg(path, f.errorString()));
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("\"%1\" dosyasi okunamadi. %2").arg(path, f.errorString()));
    return data;
}

void writeWholeFile(const QString &path, const QByteArray &data, bool keepOwnerOnly)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("\"%1\" dosyasi olusturulamadi. %2").arg(path, f.errorString()));
    if (keepOwnerOnly)
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (f.write(data) != data.size() || !f.commit())
        throw Error(QStringLiteral("\"%1\" dosyasi yazilamadi. %2").arg(path, f.errorString()));
}

void makePath(const QString &folder)
{
    if (QDir(folder).exists())
        return;
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi.").arg(folder));
}

} // namespace kx
