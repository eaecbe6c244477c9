#include "runs/collect.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/kxerror.h"
#include "platform/listing.h"

#include <QDir>
#include <QSet>
#include <algorithm>

namespace kx {

QString withoutTrailingSlash(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p;
}

namespace {

struct Pass {
    const QString &mask;
    bool subfolders;
    FileCollection &out;
    QSet<QString> &seen;

    void run(const QString &folder, bool top)
    {
        QList<DirEntry> entries;
        try {
            entries = listDirectory(folder, QStringLiteral("*"), true);
        } catch (const Error &) {
            if (!top || QDir(folder).exists())
                if (!out.unreadable.contains(folder))
                    out.unreadable.append(folder);
            return;
        }
        // The file system keeps no order; take the one a user sees in a file manager.
        std::sort(entries.begin(), entries.end(), [](const DirEntry &a, const DirEntry &b) {
            const int c = a.name.compare(b.name, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a.name < b.name;
        });
        const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
        for (const DirEntry &e : entries) {
            if (e.isDir || !e.isFile || !wildcardMatch(mask, e.name))
                continue;
            const QString path = prefix + e.name;
            if (seen.contains(path))
                continue;
            seen.insert(path);
            out.sources.append(path);
            ++out.files;
            out.bytes += e.size;
        }
        if (!subfolders)
            return;
        for (const DirEntry &e : entries) {
            if (!e.isDir || e.isSymlink || e.name.startsWith(u'.'))
                continue;
            run(prefix + e.name, false);
            ++out.folders;
        }
    }
};

} // namespace

FileCollection collectFiles(const QString &sourceFolder, const QString &targetFolder, bool subfolders,
                            const QStringList &masks)
{
    FileCollection out;
    QSet<QString> seen;
    // "/data/" and "/data" give the same target paths.
    const QString source = withoutTrailingSlash(sourceFolder);
    const QString target = withoutTrailingSlash(targetFolder);
    for (const QString &mask : masks) {
        if (mask.isEmpty())
            continue;
        Pass{mask, subfolders, out, seen}.run(source, true);
        if (!subfolders)
            out.folders = 1;
    }
    const qsizetype cut = source == QLatin1String("/") ? 0 : source.size();
    out.targets.reserve(out.sources.size());
    for (const QString &s : out.sources) {
        const QString rel = s.mid(cut);
        out.targets.append(target == QLatin1String("/") && rel.startsWith(u'/') ? rel : target + rel);
    }
    return out;
}

int copyCollected(const FileCollection &files, bool overwrite, const std::function<void()> &afterEach,
                  const std::function<void()> &betweenChunks)
{
    int failed = 0;
    QString lastFolder;
    for (qsizetype i = 0; i < files.sources.size(); ++i) {
        const QString &target = files.targets.at(i);
        const QString folder = target.left(target.lastIndexOf(u'/'));
        if (folder != lastFolder) {
            QDir().mkpath(folder);
            lastFolder = folder;
        }
        const CopyResult r = copyFile(files.sources.at(i), target, overwrite, betweenChunks);
        if (!r.ok && !r.existed)
            ++failed;
        if (afterEach)
            afterEach();
    }
    return failed;
}

QString copyStatus(int failedCopies, const QStringList &unreadable)
{
    if (failedCopies == 0 && unreadable.isEmpty())
        return trMsg(QStringLiteral("Basarili"));
    QString status = trMsg(QStringLiteral("Basarisiz."));
    if (failedCopies > 0)
        status += QString::number(failedCopies) + u' ' + trMsg(QStringLiteral("dosya kopyalanamadi."));
    if (!unreadable.isEmpty()) {
        if (failedCopies > 0)
            status += u' ';
        status += trMsg(QStringLiteral("Okunamayan klasor:")) + u' ' + unreadable.join(QStringLiteral(", "));
    }
    return status;
}

} // namespace kx
