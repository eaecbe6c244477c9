#pragma once
// Removes a folder with everything in it, depth first. Files are made writable and deleted;
// a file that cannot be deleted stays, and so do the folders above it, while the rest goes on.
// Symbolic links are removed as links: what they point to is never touched. Applied to anything
// that is not a real folder (a file, a link), it removes nothing.

#include <QString>

namespace kx {

// True when the folder is gone afterwards.
bool deleteFolderTree(const QString &folder);

} // namespace kx
