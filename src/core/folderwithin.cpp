#include "core/folderwithin.h"
#include "platform/pathname.h"

#include <QDir>

#include <cstdlib>

namespace kx {

namespace {

// realpath(3) through the program's path codec, so names that are no valid UTF-8 survive.
QString realPath(const QString &path)
{
    char *resolved = ::realpath(encodePath(path).constData(), nullptr);
    if (!resolved)
        return QString();
    const QString out = decodePath(QByteArray(resolved));
    std::free(resolved);
    return out;
}

} // namespace

QString resolvedPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    QString head = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path;
    // The longest leading part that exists is resolved by the system, so ".." after a link goes
    // where the system would go; what follows it does not exist and holds no link to resolve.
    QString tail;
    QString resolved = realPath(head);
    while (resolved.isEmpty()) {
        const qsizetype slash = head.lastIndexOf(u'/');
        if (slash <= 0) {
            resolved = QStringLiteral("/");
            tail = head.mid(slash + 1) + u'/' + tail;
            break;
        }
        tail = head.mid(slash + 1) + u'/' + tail;
        head = head.left(slash);
        resolved = realPath(head);
    }
    return QDir::cleanPath(resolved + u'/' + tail);
}

bool folderWithin(const QString &folder, const QString &root)
{
    const QString f = resolvedPath(folder);
    const QString r = resolvedPath(root);
    if (f.isEmpty() || r.isEmpty())
        return false;
    if (f == r || r == QLatin1String("/"))
        return true;
    return f.startsWith(r + u'/');
}

} // namespace kx
