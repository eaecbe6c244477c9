#pragma once
// File collection: the files of a source folder that match the masks, as parallel lists of
// source paths and the target paths they are copied to, with the folder, file and byte counts.
// One pass per non-empty mask; a file that several masks take is listed once, under the first.
// Links to folders are never entered, folders whose name begins with "." only when asked (an
// archive takes them, a copy leaves them out). A subfolder that cannot be read is skipped and
// named in `unreadable`, a matching file that cannot be looked at in `unreadableFiles`, so a run
// can say it was incomplete. Names are kept whatever their bytes (see platform/pathname.h).

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace kx {

// The files are kept as a folder (relative to both roots) and a name, so a million files take
// little memory: source and target paths are made when they are needed.
struct FileCollection {
    QString sourceRoot; // without a trailing separator ("/" stays "/")
    QString targetRoot;
    QStringList dirs;   // folders below the roots: "" for the root itself, else "/a/b"
    struct Entry {
        qint32 dir = 0;
        QString name;
    };
    QList<Entry> entries;
    qint64 folders = 0;
    qint64 files = 0;
    qint64 bytes = 0;
    QStringList unreadable;      // folders
    QStringList unreadableFiles; // files the masks take

    qsizetype count() const { return entries.size(); }
    bool isEmpty() const { return entries.isEmpty(); }
    QString relative(qsizetype i) const { return dirs.at(entries.at(i).dir) + u'/' + entries.at(i).name; }
    QString source(qsizetype i) const { return join(sourceRoot, relative(i)); }
    QString target(qsizetype i) const { return join(targetRoot, relative(i)); }
    QStringList sources() const;
    QStringList targets() const;
    // A file by its path below the roots ("a/b.txt"), for collections made by hand.
    void add(const QString &relativePath);

private:
    static QString join(const QString &root, const QString &relative)
    {
        return root == QLatin1String("/") ? relative : root + relative;
    }
};

// A job's own target folders, which its backup must never take into itself (they may lie inside
// the source): such a folder is not entered, wherever the path to it leads. A target that is the
// source folder itself leaves out the job's run folders in it (named by the job prefix). The
// marker of an unfinished run at the top of the source is never taken either.
struct OwnTargets {
    QStringList folders;
    QString jobPrefix;
};

FileCollection collectFiles(const QString &sourceFolder, const QString &targetFolder, bool subfolders,
                            const QStringList &masks, bool enterHiddenFolders = false,
                            const OwnTargets &ownTargets = {});

// Test seam: a step the collection takes before it lists a folder, on the thread that lists it,
// with the folder's path. A step that blocks stands for a file system that stopped answering (a
// share whose server has gone): the collection waits for it as it would for the system, without
// a limit and deaf to cancelling. Process-wide, taken when a collection begins; empty (no step)
// unless set.
using FolderStep = std::function<void(const QString &folder)>;
void setCollectionStep(FolderStep step);

struct CopyTally {
    int failed = 0;  // could not be copied
    int skipped = 0; // gone (or no longer a plain file) since the collection: nothing to copy
    bool cancelled = false;
};

// Copies every collected pair into `targetFolder` (the folder the collection was made for),
// creating the folders of each target and never following a link below `targetFolder`. A
// target kept because it exists and overwrite is off is no failure, nor is a source that has
// gone since it was collected. Several files are copied at once; on the calling thread
// afterEach runs once for every file done and betweenChunks every few dozen milliseconds while
// files are copied; a set `cancel` ends the copying within the files at hand.
// newInPlace: see copyFileInto (a backup's run folder, marked unfinished until complete).
CopyTally copyCollected(const FileCollection &files, const QString &targetFolder, bool overwrite,
                        const std::function<void()> &afterEach, const std::function<void()> &betweenChunks,
                        const std::atomic<bool> *cancel = nullptr, bool newInPlace = false);

// The order copyCollected hands files to its workers: batches of at most batchSize files of one
// folder. The batches of a folder larger than that are spread out (the first of every folder,
// then the second of every folder, ...), so that workers taking batches one after the other make
// their files in different folders wherever there are several, and do not wait for each other
// on a folder's lock. Every file is in exactly one batch.
struct CopyBatch {
    qsizetype from = 0, to = 0; // entries [from, to)
};
QList<CopyBatch> planCopyBatches(const FileCollection &files, qsizetype batchSize = 64);

// The status of a copying or packing run's log line: "Basarili", or "Basarisiz." with the number
// of files that could not be copied (or packed), and the numbers of folders and files that could
// not be read (the first folders named). Made with message translation, so on the user-interface
// thread.
QString copyStatus(int failedFiles, const QStringList &unreadableFolders, qsizetype unreadableFiles,
                   bool packing = false);
// What follows "Basarisiz." in that status; empty when nothing failed.
QString copyFailures(int failedFiles, const QStringList &unreadableFolders, qsizetype unreadableFiles,
                     bool packing = false);

// A run folder: its parents are made as the user's path says (links allowed), the run folder
// itself must be a real folder, never a link. Throws kx::Error with the system's reason.
void makeConfinedFolder(const QString &folder);

// A folder path without trailing separators ("/" stays "/").
QString withoutTrailingSlash(const QString &path);

} // namespace kx
