#pragma once
// Copies one file the way a backup wants it: in chunks (with a callback between chunks), through
// a temporary name beside the target that is renamed into place only when the copy is complete,
// keeping the source's permissions and modification time. A link to a file is copied as the
// file; a source that is no plain file (a pipe put there since the listing, a device) is never
// opened for reading in a way that could wait for ever: it is skipped.

#include <QString>
#include <atomic>
#include <functional>

namespace kx {

struct CopyResult {
    bool ok = false;
    bool existed = false;   // refused because the target exists and overwrite is off
    bool skipped = false;   // the source has gone or is no plain file: nothing to copy, no failure
    bool cancelled = false; // stopped by the cancel flag; nothing left behind
    QString error;          // the system's text when it failed
};

// The target's folder must exist; a link at the target's own name is replaced, never followed.
CopyResult copyFile(const QString &source, const QString &target, bool overwrite,
                    const std::function<void()> &betweenChunks = {}, const std::atomic<bool> *cancel = nullptr);

} // namespace kx
