#pragma once
// Whether one folder lies inside another, as the file system sees them: a job whose target lies
// inside its source would otherwise keep its backups in the folder it backs up.

#include <QString>

namespace kx {

// The path as the file system resolves it: absolute, symbolic links resolved for the part that
// exists, the rest (not made yet) appended with ".", ".." and doubled or trailing "/" cleaned.
// Empty for an empty path.
QString resolvedPath(const QString &path);

// `folder` is `root` itself or lies below it, both resolved, compared on a "/" boundary
// ("/data/src2" is not inside "/data/src"). False when either is empty.
bool folderWithin(const QString &folder, const QString &root);

} // namespace kx
