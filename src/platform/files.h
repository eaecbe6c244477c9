#pragma once
// Whole-file reading and writing. Writes go to a temporary file in the same folder that is then
// renamed over the old one, so a crash or a full disk never leaves a half-written file behind.
// Failures throw kx::Error with the system's text.

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace kx {

QByteArray readWholeFile(const QString &path);

// keepOwnerOnly: the file ends up readable and writable by its owner alone (0600), whether it
// is new or replaces an older one. Otherwise an existing file keeps its permissions.
void writeWholeFile(const QString &path, const QByteArray &data, bool keepOwnerOnly = false);

// What lies at a path (links followed), for any name the system can hold.
bool pathExists(const QString &path);
bool isFolder(const QString &path);
bool isPlainFile(const QString &path);
// Deletes a file (never a folder); false when it stays.
bool removeFile(const QString &path);
// Renames, failing when the new name is taken; false when nothing changed.
bool renameFile(const QString &from, const QString &to);

// Creates the folder with all missing parents; throws when it cannot.
void makePath(const QString &folder);

} // namespace kx
