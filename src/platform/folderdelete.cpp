#include "platform/folderdelete.h"
#include "platform/headway.h"
#include "platform/pathname.h"

#include <QFile>

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

bool removeTree(const QByteArray &dirPath)
{
    DIR *dir = ::opendir(dirPath.constData());
    if (!dir)
        return false;
    bool allGone = true;
    while (dirent *e = ::readdir(dir)) {
        Headway::stepHere();
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        const QByteArray path = dirPath + '/' + e->d_name;
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (!removeTree(path))
                allGone = false;
            continue;
        }
        if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
            ::chmod(path.constData(), st.st_mode | S_IWUSR);
        if (::unlink(path.constData()) != 0)
            allGone = false;
    }
    ::closedir(dir);
    return allGone && ::rmdir(dirPath.constData()) == 0;
}

} // namespace

bool deleteFolderTree(const QString &folder)
{
    QByteArray path = encodePath(folder);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    struct stat st;
    if (path.isEmpty() || ::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return removeTree(path);
}

} // namespace kx
