#pragma once
// Unfinished runs. A backup run puts a marker file into its run folder before it writes anything
// there and removes it once the folder holds everything the run was to put into it. A run folder
// that still holds the marker after the run is gone (the program was killed, the machine went
// down) is an unfinished run: its leftover temporaries are removed and it is reported once with
// a failure line. A run that ended without all its files (a full disk, files that could not be
// read) keeps the marker as a failed run; its failure line was written when it ended. Retention
// never counts either kind as a backup kept, and removes them once a newer complete run exists.

#include "core/jobfile.h"

#include <QString>
#include <QStringList>

namespace kx {

inline constexpr char kUnfinishedMarker[] = ".kx-tamamlanmadi";

// What the marker records about the run, for the failure line written when it is found later.
struct UnfinishedRun {
    QString runFolder;
    QString module;
    QString jobName;
    QString source;
    QString target;
};

// Written whole before the run writes into its folder; throws kx::Error when it cannot be.
void markUnfinished(const UnfinishedRun &run);
// Removes the marker; throws kx::Error when it stays.
void markFinished(const QString &runFolder);
// The run ended without everything it was to hold: the marker stays, saying so. Throws kx::Error.
void markFailed(const QString &runFolder);
bool isUnfinished(const QString &runFolder);

// Temporaries a copy, a packing or an unpacking leaves when it is cut short: files named
// ".kx-…" ending in ".tmp" or ".part".
bool isLeftoverTemporary(const QString &fileName);
// Removes them anywhere below the folder. Never follows links.
void removeLeftovers(const QString &folder);

// The run folders of a job directly below the given target folders that hold a marker. With
// `reportedToo` off only unfinished ones not reported yet (a failed run was told when it ended).
QList<UnfinishedRun> unfinishedRuns(const QString &jobName, const QStringList &targets, bool reportedToo);
// The same below the job's own targets, HEDEF_DIZIN and HEDEFDIZIN2.
QList<UnfinishedRun> unfinishedRuns(const QString &jobName, const JobFile &job, bool reportedToo);
// Marks the run as reported, so it is told only once.
void markReported(const QString &runFolder);

} // namespace kx
