#pragma once
// The checks a restore passes before it starts, one rule in one place for the restore window and
// the command-line program: what is missing, a source that is not there, a target inside the
// source, and a target that is there already, which only the overwrite choice lets through.

#include "runs/firebirdrestorerun.h"
#include "core/runningstate.h"
#include "runs/folderrestorerun.h"

#include <QString>
#include <QStringList>

namespace kx {

// A message as the checks tell it: texts translated one by one, then joined.
struct RestoreMessage {
    QStringList parts;
    QString joint;
    QString text() const;
};

struct RestoreCheck {
    enum class Verdict {
        Go,       // nothing in the way
        Stop,     // `message` says why
        Overwrite // the target is there and may be overwritten: `message` is the question
    };
    // The input a refusal is about, for the window's keyboard focus.
    enum class Field { None, Pattern, Source, Target };

    Verdict verdict = Verdict::Go;
    RestoreMessage message;
    Field field = Field::None;
};

// True when `target` is `source` itself or lies inside it (links resolved as far as the folders
// exist): a restore there would copy files onto themselves or without end.
bool targetInsideSource(const QString &source, const QString &target);

// The file at `path`, or the one in its folder whose name differs only in letter case (the
// exact name wins); empty when there is none. A database restored beside a live one of another
// case would be a second database, not the one the user meant.
QString existingFileIgnoringCase(const QString &path);

// The database file a Firebird restore writes: the folder (with a separator) + the backup file's
// name, whose extension becomes "." + the chosen one. Empty when the file or the folder is empty.
QString firebirdRestoreTarget(const QString &backupFile, const QString &folder, const QString &extension);

// Folder mode: the pattern, the source folder, the target folder, in this order.
RestoreCheck checkFolderRestore(const FolderRestoreParams &params);
// ZIP mode: the archive, then the target folder.
RestoreCheck checkZipRestore(const FolderRestoreParams &params);
// The required fields (only the last missing one is named), the backup file, then the database
// file, compared with what is there without regard to letter case. `namedTarget` is where the
// user said the database goes: the window's folder box, the command line's database file. On Go
// or Overwrite the database file is the one to restore into: an existing file of another letter
// case is taken over by its own name.
RestoreCheck checkFirebirdRestore(FirebirdRestoreParams &params, const QString &namedTarget, bool overwrite);

// One restore of a kind at a time: while one runs, what the user is told (translated); empty
// when the kind is free.
QString restoreRunningText(const RunningState &running, RunKind kind);

} // namespace kx
