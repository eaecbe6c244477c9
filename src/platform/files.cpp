#include "platform/files.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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
    // Made one level at a time, so the failure names the system's reason.
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path.at(i) != '/')
            continue;
        const QByteArray part = path.left(i);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            const int err = errno;
            throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2")
                            .arg(folder, QString::fromLocal8Bit(std::strerror(err))));
        }
    }
    struct stat st;
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error(QStringLiteral("\"%1\" klasoru olusturulamadi. %2")
                        .arg(folder, QString::fromLocal8Bit(std::strerror(ENOTDIR))));
}

} // namespace kx
