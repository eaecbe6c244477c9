#pragma once
// The job files of the program folder: their names, the two lists the service keeps of them,
// and the start-up normalisation that brings files of older versions up to date.

#include <QString>
#include <QStringList>

namespace kx {

enum class JobKind { Folder, Firebird };

QString jobExtension(JobKind kind); // ".nyd" or ".fyd"
// The kind a job file name's extension tells.
JobKind jobKindOf(const QString &jobFileName);

// The defaults of new jobs and of the folder and file dialogs: the user's home folder followed by
// the name ("KORVANEX", "KX_YEDEK").
QString defaultFolder(const QString &name);

// Run folders of a job begin with its prefix: Muhasebe.nyd → Muhasebe_nyd.
QString jobPrefix(const QString &jobName);

// Job file names ("*.nyd" or "*.fyd") lying directly in the folder: regular files only, names
// without folder, sorted without regard to letter case. A missing folder gives an empty list.
QStringList scanJobFiles(const QString &programFolder, JobKind kind);

// The longest file name the file system holds (NAME_MAX), in bytes of the name on disk.
constexpr qsizetype kMaxFileNameBytes = 255;
// The bytes a file name takes on disk: its UTF-8, a byte kept as an escape counting as one.
qsizetype fileNameBytes(const QString &fileName);

// Full path of a job file, refusing any name that could point outside the program folder or at a
// file of another kind: throws kx::Error for an empty name, one holding "/", "\", a control
// character or a character the code page cannot hold, or one not ending in the kind's extension.
QString jobFilePath(const QString &programFolder, const QString &jobFileName, JobKind kind);

// Files of older versions carried run counts per unit and neither PERYOT nor UNETYEDEK. A file
// holding both is left untouched (not even rewritten); otherwise PERYOT is taken from the count
// key of its unit and UNETYEDEK from the presence of MSN_IP. Firebird jobs first, then folder
// jobs. Stops with kx::Error at the first file that cannot be read or written.
void NormalizeJobFiles(const QString &programFolder, const QStringList &firebirdJobs,
                       const QStringList &folderJobs);

} // namespace kx
