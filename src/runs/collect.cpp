#include "runs/collect.h"
#include "platform/headway.h"
#include "core/service.h"
#include "platform/confined.h"
#include "platform/copyfile.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "scheduling/retention.h"
#include "scheduling/unfinished.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <exception>
#include <memory>
#include <chrono>
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

std::mutex g_stepMutex;
FolderStep g_step;

FolderStep currentStep()
{
    std::lock_guard lock(g_stepMutex);
    return g_step;
}

struct Listing {
    bool readable = false;
    bool excluded = false;   // a target folder of the job: never entered
    QList<DirEntry> entries; // sorted the way a file manager shows them
};
using Listings = QHash<QString, Listing>;

bool entersFolder(const DirEntry &e, bool hidden)
{
    return e.isDir && !e.isSymlink && (hidden || !e.name.startsWith(u'.'));
}

Listing listOne(const QString &folder, FolderId *id, const FolderStep &step)
{
    const Waiting waiting(folder, Waiting::Kind::Folder);
    if (step)
        step(folder);
    Listing l;
    try {
        l.entries = listDirectory(folder, QStringLiteral("*"), true, id);
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

struct Exclusion {
    QList<FolderId> targets;
    QString jobPrefix;

    bool isTarget(const FolderId &id) const { return targets.contains(id); }
    // In a target that is the source itself: the job's own run folders.
    bool isOwnRun(const QString &name) const { return !runList({name}, jobPrefix).isEmpty(); }
};

Exclusion exclusionOf(const OwnTargets &own)
{
    Exclusion x;
    x.jobPrefix = own.jobPrefix;
    for (const QString &folder : own.folders)
        if (!folder.isEmpty()) {
            const Waiting waiting(folder, Waiting::Kind::Folder);
            if (const std::optional<FolderId> id = folderId(folder))
                x.targets.append(*id);
        }
    return x;
}

// Lists the whole tree once, on two threads: most of the time goes into asking the system for
// each file's size, and those calls run well side by side. Every mask's pass then works on
// these listings without asking again. Target folders of the job are listed as excluded.
Listings listTree(const QString &root, bool subfolders, bool hidden, const Exclusion &exclude, const FolderStep &step)
{
    Listings all;
    FolderId rootId;
    Listing top = listOne(root, &rootId, step);
    const bool rootIsTarget = top.readable && exclude.isTarget(rootId);
    if (!subfolders) {
        all.insert(root, std::move(top));
        return all;
    }
    std::mutex mutex;
    std::condition_variable wake;
    QStringList queue;
    for (const DirEntry &e : top.entries) {
        if (!entersFolder(e, hidden))
            continue;
        if (rootIsTarget && exclude.isOwnRun(e.name)) {
            Listing skipped;
            skipped.excluded = true;
            all.insert(childPath(root, e.name), std::move(skipped));
        } else {
            queue.append(childPath(root, e.name));
        }
    }
    all.insert(root, std::move(top));
    int busy = 0;
    std::exception_ptr failure;
    auto worker = [&] {
        std::unique_lock lock(mutex);
        while (true) {
            wake.wait(lock, [&] { return (!queue.isEmpty() && !failure) || busy == 0; });
            if (queue.isEmpty() || failure)
                return;
            const QString folder = queue.takeLast();
            ++busy;
            lock.unlock();
            // Whatever goes wrong on the way (memory, above all) ends both workers and reaches
            // the caller; a thread must never end the program by letting it through.
            try {
                FolderId id;
                Listing l = listOne(folder, &id, step);
                QStringList children;
                if (l.readable && exclude.isTarget(id)) {
                    l.excluded = true;
                    l.entries.clear();
                }
                for (const DirEntry &e : l.entries)
                    if (entersFolder(e, hidden))
                        children.append(childPath(folder, e.name));
                lock.lock();
                all.insert(folder, std::move(l));
                queue.append(children);
            } catch (...) {
                if (!lock.owns_lock())
                    lock.lock();
                if (!failure)
                    failure = std::current_exception();
            }
            --busy;
            wake.notify_all();
        }
    };
    Headway *headway = Headway::current();
    std::thread helper([&worker, headway] {
        const HeadwayScope scope(headway);
        worker();
    });
    worker();
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
    return all;
}

struct Pass {
    const QString &mask;
    bool subfolders;
    bool hidden;
    const Listings &listings;
    FileCollection &out;
    QSet<QString> *seen; // only when several masks may take one file

    void run(const QString &folder, const QString &relative, bool top)
    {
        const Listing &l = listings[folder];
        if (!l.readable) {
            if (!top || isFolder(folder))
                if (!out.unreadable.contains(folder))
                    out.unreadable.append(folder);
            return;
        }
        qint32 dir = -1;
        for (const DirEntry &e : l.entries) {
            if (e.unreadable) {
                if (wildcardMatch(mask, e.name)) {
                    const QString path = childPath(folder, e.name);
                    if (!out.unreadableFiles.contains(path))
                        out.unreadableFiles.append(path);
                }
                continue;
            }
            if (e.isDir || !e.isFile || !wildcardMatch(mask, e.name))
                continue;
            if (top && e.name == QLatin1String(kUnfinishedMarker))
                continue; // the bookkeeping of a run folder, not part of its backup
            if (seen) {
                const QString key = relative + u'/' + e.name;
                if (seen->contains(key))
                    continue;
                seen->insert(key);
            }
            if (dir < 0) {
                dir = qint32(out.dirs.size());
                out.dirs.append(relative);
            }
            out.entries.append({dir, e.name}); // the name's text is shared with the listing
            ++out.files;
            out.bytes += e.size;
        }
        if (!subfolders)
            return;
        for (const DirEntry &e : l.entries) {
            if (!entersFolder(e, hidden))
                continue;
            const QString child = childPath(folder, e.name);
            if (listings[child].excluded)
                continue;
            run(child, relative + u'/' + e.name, false);
            ++out.folders;
        }
    }
};

} // namespace

QStringList FileCollection::sources() const
{
    QStringList all;
    all.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        all.append(source(i));
    return all;
}

QStringList FileCollection::targets() const
{
    QStringList all;
    all.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        all.append(target(i));
    return all;
}

void FileCollection::add(const QString &relativePath)
{
    QString rel = relativePath.startsWith(u'/') ? relativePath : u'/' + relativePath;
    const qsizetype slash = rel.lastIndexOf(u'/');
    const QString dir = rel.left(slash);
    qsizetype index = dirs.lastIndexOf(dir);
    if (index < 0) {
        index = dirs.size();
        dirs.append(dir);
    }
    entries.append({qint32(index), rel.mid(slash + 1)});
    ++files;
}

void setCollectionStep(FolderStep step)
{
    std::lock_guard lock(g_stepMutex);
    g_step = std::move(step);
}

FileCollection collectFiles(const QString &sourceFolder, const QString &targetFolder, bool subfolders,
                            const QStringList &masks, bool enterHiddenFolders, const OwnTargets &ownTargets)
{
    FileCollection out;
    // "/data/" and "/data" give the same target paths.
    out.sourceRoot = withoutTrailingSlash(sourceFolder);
    out.targetRoot = withoutTrailingSlash(targetFolder);
    const qsizetype maskCount = std::count_if(masks.cbegin(), masks.cend(), [](const QString &m) { return !m.isEmpty(); });
    const Listings listings = maskCount > 0 ? listTree(out.sourceRoot, subfolders, enterHiddenFolders,
                                                       exclusionOf(ownTargets), currentStep())
                                            : Listings();
    QSet<QString> seen;
    for (const QString &mask : masks) {
        if (mask.isEmpty())
            continue;
        Pass{mask, subfolders, enterHiddenFolders, listings, out, maskCount > 1 ? &seen : nullptr}.run(out.sourceRoot, QString(), true);
        if (!subfolders)
            out.folders = 1;
    }
    return out;
}

QList<CopyBatch> planCopyBatches(const FileCollection &files, qsizetype batchSize)
{
    struct Planned {
        CopyBatch batch;
        qsizetype part; // of its folder
    };
    QList<Planned> planned;
    const qsizetype count = files.count();
    for (qsizetype i = 0, part = 0; i < count; ++i) {
        const bool newFolder = i == 0 || files.entries.at(i).dir != files.entries.at(i - 1).dir;
        if (newFolder || i - planned.last().batch.from >= batchSize) {
            part = newFolder ? 0 : part + 1;
            if (!planned.isEmpty())
                planned.last().batch.to = i;
            planned.append({{i, count}, part});
        }
    }
    std::stable_sort(planned.begin(), planned.end(),
                     [](const Planned &a, const Planned &b) { return a.part < b.part; });
    QList<CopyBatch> batches;
    batches.reserve(planned.size());
    for (const Planned &p : std::as_const(planned))
        batches.append(p.batch);
    return batches;
}

CopyTally copyCollected(const FileCollection &files, const QString &targetFolder, bool overwrite,
                        const std::function<void()> &afterEach, const std::function<void()> &betweenChunks,
                        const std::atomic<bool> *cancel, bool newInPlace)
{
    const QString root = withoutTrailingSlash(targetFolder);
    // Several files are copied at once: with small files most of the time goes to the system
    // calls of opening, making and renaming, which overlap well. Work is handed out a folder at
    // a time (a large folder in parts), so each worker keeps its folder open. Making a file
    // holds its folder's lock: two workers in one folder wait for each other (a file then took
    // twice as long to make). The parts of large folders are therefore handed out one part of
    // each folder in turn, so that workers that take parts one after the other are in
    // different folders wherever there are several.
    const int workers = int(std::clamp<qsizetype>(qsizetype(std::thread::hardware_concurrency()) * 2, 2, 8));
    const QList<CopyBatch> batches = planCopyBatches(files);
    std::atomic<qsizetype> next{0};
    std::atomic<qsizetype> finished{0};
    std::atomic<int> failed{0}, skipped{0};
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable wake;
    int running = 0;
    std::exception_ptr failure;

    Headway *headway = Headway::current();
    auto worker = [&] {
        const HeadwayScope scope(headway);
        try {
            std::unique_ptr<ConfinedRoot> confined;
            while (!cancelled) {
                const qsizetype batch = next.fetch_add(1);
                if (batch >= batches.size())
                    break;
                for (qsizetype i = batches.at(batch).from; i < batches.at(batch).to; ++i) {
                    if (cancel && cancel->load()) {
                        cancelled = true;
                        break;
                    }
                    CopyResult r;
                    try {
                        if (!confined)
                            confined = std::make_unique<ConfinedRoot>(root);
                        r = copyFileInto(*confined, files.relative(i).mid(1), files.source(i), overwrite, {}, cancel,
                                         newInPlace);
                    } catch (const Error &e) {
                        r.error = e.text();
                    }
                    if (r.cancelled) {
                        cancelled = true;
                        break;
                    }
                    if (r.skipped)
                        ++skipped;
                    else if (!r.ok && !r.existed)
                        ++failed;
                    ++finished;
                }
            }
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!failure)
                failure = std::current_exception();
            cancelled = true;
        }
        std::lock_guard lock(mutex);
        --running;
        wake.notify_all();
    };

    std::vector<std::thread> pool;
    const int started = int(std::min<qsizetype>(workers, batches.size()));
    {
        std::lock_guard lock(mutex);
        running = started;
    }
    for (int t = 0; t < started; ++t)
        pool.emplace_back(worker);
    // The caller's thread reports: one afterEach per file done, in between the chunk callback.
    qsizetype told = 0;
    std::unique_lock lock(mutex);
    while (true) {
        const bool done = running == 0;
        lock.unlock();
        for (const qsizetype now = finished.load(); told < now; ++told)
            if (afterEach)
                afterEach();
        if (done)
            break;
        if (betweenChunks)
            betweenChunks();
        lock.lock();
        // Looked at again under the lock: a worker that ended while this thread was reporting
        // has already sent its wake-up.
        wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return running == 0; });
    }
    for (std::thread &t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
    CopyTally tally;
    tally.failed = failed;
    tally.skipped = skipped;
    tally.cancelled = cancelled;
    return tally;
}

QString copyStatus(int failedFiles, const QStringList &unreadableFolders, qsizetype unreadableFiles, bool packing)
{
    const QString failures = copyFailures(failedFiles, unreadableFolders, unreadableFiles, packing);
    return failures.isEmpty() ? trMsg(QStringLiteral("Basarili")) : trMsg(QStringLiteral("Basarisiz.")) + failures;
}

QString copyFailures(int failedFiles, const QStringList &unreadableFolders, qsizetype unreadableFiles, bool packing)
{
    QStringList parts;
    if (failedFiles > 0)
        parts.append(QString::number(failedFiles) + u' '
                     + trMsg(packing ? QStringLiteral("dosya arsive eklenemedi.") : QStringLiteral("dosya kopyalanamadi.")));
    if (!unreadableFolders.isEmpty())
        parts.append(QString::number(unreadableFolders.size()) + u' ' + trMsg(QStringLiteral("klasor okunamadi.")));
    if (unreadableFiles > 0)
        parts.append(QString::number(unreadableFiles) + u' ' + trMsg(QStringLiteral("dosya okunamadi.")));
    if (!unreadableFolders.isEmpty()) {
        // The first few are enough to find the fault; a log line stays a line.
        constexpr qsizetype kNamed = 3;
        QString named = unreadableFolders.mid(0, kNamed).join(QStringLiteral(", "));
        if (unreadableFolders.size() > kNamed)
            named += QStringLiteral(", ...");
        parts.append(trMsg(QStringLiteral("Okunamayan klasor:")) + u' ' + named);
    }
    return parts.join(u' ');
}

void makeConfinedFolder(const QString &folder)
{
    const QString path = withoutTrailingSlash(folder);
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString parent = slash <= 0 ? QStringLiteral("/") : path.left(slash);
    ConfinedRoot root(parent);
    root.folder(path.mid(slash + 1));
}

} // namespace kx
