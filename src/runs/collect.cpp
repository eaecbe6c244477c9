#include "runs/collect.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/kxerror.h"
#include "platform/listing.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kx {

QString withoutTrailingSlash(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p;
}

namespace {

struct Listing {
    bool readable = false;
    QList<DirEntry> entries; // sorted the way a file manager shows them
};
using Listings = QHash<QString, Listing>;

bool entersFolder(const DirEntry &e)
{
    return e.isDir && !e.isSymlink && !e.name.startsWith(u'.');
}

Listing listOne(const QString &folder)
{
    Listing l;
    try {
        l.entries = listDirectory(folder, QStringLiteral("*"), true);
        l.readable = true;
    } catch (const Error &) {
        return l;
    }
    // The file system keeps no order; take the one a user sees in a file manager.
    std::sort(l.entries.begin(), l.entries.end(), [](const DirEntry &a, const DirEntry &b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return l;
}

QString childPath(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Lists the whole tree once, on two threads: most of the time goes into asking the system for
// each file's size, and those calls run well side by side. Every mask's pass then works on
// these listings without asking again.
Listings listTree(const QString &root, bool subfolders)
{
    Listings all;
    if (!subfolders) {
        all.insert(root, listOne(root));
        return all;
    }
    std::mutex mutex;
    std::condition_variable wake;
    QStringList queue{root};
    int busy = 0;
    auto worker = [&] {
        std::unique_lock lock(mutex);
        while (true) {
            wake.wait(lock, [&] { return !queue.isEmpty() || busy == 0; });
            if (queue.isEmpty())
                return;
            const QString folder = queue.takeLast();
            ++busy;
            lock.unlock();
            Listing l = listOne(folder);
            QStringList children;
            for (const DirEntry &e : l.entries)
                if (entersFolder(e))
                    children.append(childPath(folder, e.name));
            lock.lock();
            all.insert(folder, std::move(l));
            queue.append(children);
            --busy;
            wake.notify_all();
        }
    };
    std::thread helper(worker);
    worker();
    helper.join();
    return all;
}

struct Pass {
    const QString &mask;
    bool subfolders;
    const Listings &listings;
    FileCollection &out;
    QSet<QString> &seen;

    void run(const QString &folder, bool top)
    {
        const Listing &l = listings[folder];
        if (!l.readable) {
            if (!top || QDir(folder).exists())
                if (!out.unreadable.contains(folder))
                    out.unreadable.append(folder);
            return;
        }
        for (const DirEntry &e : l.entries) {
            if (e.isDir || !e.isFile || !wildcardMatch(mask, e.name))
                continue;
            const QString path = childPath(folder, e.name);
            if (seen.contains(path))
                continue;
            seen.insert(path);
            out.sources.append(path);
            ++out.files;
            out.bytes += e.size;
        }
        if (!subfolders)
            return;
        for (const DirEntry &e : l.entries) {
            if (!entersFolder(e))
                continue;
            run(childPath(folder, e.name), false);
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
    const bool anyMask = std::any_of(masks.cbegin(), masks.cend(), [](const QString &m) { return !m.isEmpty(); });
    const Listings listings = anyMask ? listTree(source, subfolders) : Listings();
    for (const QString &mask : masks) {
        if (mask.isEmpty())
            continue;
        Pass{mask, subfolders, listings, out, seen}.run(source, true);
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
