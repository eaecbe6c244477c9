#include "platform/listing.h"
#include "platform/headway.h"
#include "platform/pathname.h"
#include "platform/kxerror.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace kx {

namespace {

bool matchFrom(const QChar *m, qsizetype mn, const QChar *s, qsizetype sn)
{
    qsizetype mi = 0, si = 0, starM = -1, starS = 0;
    while (si < sn) {
        if (mi < mn && (m[mi] == u'?' || (m[mi] != u'*' && m[mi].toCaseFolded() == s[si].toCaseFolded()))) {
            ++mi;
            ++si;
        } else if (mi < mn && m[mi] == u'*') {
            starM = mi++;
            starS = si;
        } else if (starM >= 0) {
            mi = starM + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (mi < mn && m[mi] == u'*')
        ++mi;
    return mi == mn;
}

} // namespace

bool wildcardMatch(const QString &mask, const QString &name)
{
    if (matchFrom(mask.constData(), mask.size(), name.constData(), name.size()))
        return true;
    // "abc.*" also takes "abc", and "*.*" every name without a dot.
    if (mask.endsWith(QLatin1String(".*")) && !name.contains(u'.'))
        return matchFrom(mask.constData(), mask.size() - 2, name.constData(), name.size());
    return false;
}

std::optional<FolderId> folderId(const QString &folder)
{
    struct stat st;
    if (::stat(encodePath(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FolderId{quint64(st.st_dev), quint64(st.st_ino)};
}

QList<DirEntry> listDirectory(const QString &folder, const QString &mask, bool failOnError, FolderId *id)
{
    QList<DirEntry> out;
    QByteArray dirPath = encodePath(folder);
    if (dirPath.isEmpty())
        dirPath = ".";
    DIR *dir = ::opendir(dirPath.constData());
    if (!dir) {
        if (failOnError)
            throw Error(QStringLiteral("\"%1\" okunamadi. %2"), {folder, QString::fromLocal8Bit(std::strerror(errno))});
        return out;
    }
    // Names are looked up relative to the open folder: no path walk per entry, and the type the
    // folder itself reports spares a stat for subfolders.
    const int fd = ::dirfd(dir);
    if (id) {
        struct stat st;
        if (::fstat(fd, &st) == 0)
            *id = FolderId{quint64(st.st_dev), quint64(st.st_ino)};
    }
    const bool takeAll = mask == QLatin1String("*") || mask == QLatin1String("*.*");
    while (dirent *e = ::readdir(dir)) {
        Headway::stepHere();
        if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0)))
            continue;
        DirEntry entry;
        entry.name = decodePath(e->d_name, qsizetype(std::strlen(e->d_name)));
        if (!takeAll && !wildcardMatch(mask, entry.name))
            continue;
        if (e->d_type == DT_DIR) {
            entry.isDir = true;
            out.append(std::move(entry));
            continue;
        }
        struct stat st;
        // Gone meanwhile is nothing; anything else (no right to look inside the folder) leaves
        // an entry that cannot be read, to be told rather than dropped.
        auto refused = [&] {
            if (errno == ENOENT)
                return;
            entry.unreadable = true;
            out.append(std::move(entry));
        };
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                refused();
                continue;
            }
            if (S_ISLNK(st.st_mode)) {
                entry.isSymlink = true;
                if (::fstatat(fd, e->d_name, &st, 0) != 0) {
                    out.append(std::move(entry)); // dangling link: neither file nor folder
                    continue;
                }
            }
        } else if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            refused();
            continue;
        }
        entry.isDir = S_ISDIR(st.st_mode);
        entry.isFile = S_ISREG(st.st_mode);
        entry.size = entry.isFile ? qint64(st.st_size) : 0;
        out.append(std::move(entry));
    }
    ::closedir(dir);
    return out;
}

} // namespace kx
