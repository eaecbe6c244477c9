#pragma once
// File collection: the files of a source folder that match the masks, as parallel lists of
// source paths and the target paths they are copied to, with the folder, file and byte counts.
// One pass per non-empty mask; a file that several masks take is listed once, under the first.
// Folders whose name begins with "." and links to folders are not entered. A subfolder that
// cannot be read is skipped and named in `unreadable`, so a run can say it was incomplete.

#include <QString>
#include <QStringList>
#include <functional>

namespace kx {

struct FileCollection {
    QStringList sources;
    QStringList targets;
    qint64 folders = 0;
    qint64 files = 0;
    qint64 bytes = 0;
    QStringList unreadable;
};

FileCollection collectFiles(const QString &sourceFolder, const QString &targetFolder, bool subfolders,
                            const QStringList &masks);

// Copies every collected pair, creating the target's folders. Returns how many copies failed;
// a target kept because it exists and overwrite is off is no failure. afterEach runs after
// every file, betweenChunks inside the copy of a large one.
int copyCollected(const FileCollection &files, bool overwrite, const std::function<void()> &afterEach,
                  const std::function<void()> &betweenChunks);

// The status of a copying run's log line: "Basarili", or "Basarisiz." with the number of files
// that could not be copied and the folders that could not be read.
QString copyStatus(int failedCopies, const QStringList &unreadable);

// A folder path without trailing separators ("/" stays "/").
QString withoutTrailingSlash(const QString &path);

} // namespace kx
