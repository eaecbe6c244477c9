#pragma once
// Writing below a folder without ever following a link inside it. The folder itself is the
// user's choice and may be reached through links; below it every component is opened without
// following links and made when missing, and a component that is a link or no folder is refused.
// A file is written as a temporary beside its final name and renamed into place, so a link at
// the final name is replaced, never written through.

#include "platform/copyfile.h"

#include <QString>
#include <atomic>
#include <functional>

namespace kx {

class ConfinedRoot
{
public:
    // Opens the folder, making it with its parents when missing. Throws kx::Error.
    explicit ConfinedRoot(const QString &root);
    ~ConfinedRoot();
    ConfinedRoot(const ConfinedRoot &) = delete;
    ConfinedRoot &operator=(const ConfinedRoot &) = delete;

    const QString &path() const { return m_path; }

    // The descriptor of the folder `relative` below the root ("a/b", "" for the root itself),
    // made component by component when missing. It stays valid until the next call: the last
    // folder asked for is kept open, so a run of files into one folder opens it once. Throws
    // kx::Error naming the component that is a link, no folder, or cannot be made.
    int folder(const QString &relative);

private:
    QString m_path;
    int m_root = -1;
    QString m_lastRelative;
    int m_last = -1;
};

// Copies `source` to `relativeTarget` below the root, never following a link at or below the
// root: a link at the final name is replaced (overwrite on) or counts as existing (overwrite
// off); a link among the folders refuses the copy. The source may be a link to a file; a source
// that has gone or is no longer a plain file (a pipe, a device) is skipped. With newInPlace a
// target that is not there yet is written under its own name at once (for folders whose
// completeness is marked otherwise, as a backup's run folder is; it saves a rename per file);
// one cut short is removed again.
CopyResult copyFileInto(ConfinedRoot &root, const QString &relativeTarget, const QString &source, bool overwrite,
                        const std::function<void()> &betweenChunks = {}, const std::atomic<bool> *cancel = nullptr,
                        bool newInPlace = false);

} // namespace kx
