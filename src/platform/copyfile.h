#pragma once
// Copies one file the way a backup wants it: in chunks (with a callback between chunks so the
// windows stay alive on a large file), through a temporary name in the target folder that is
// renamed into place only when the copy is complete, keeping the source's permissions and
// modification time. A link to a file is copied as the file.

#include <QString>
#include <functional>

namespace kx {

struct CopyResult {
    bool ok = false;
    bool existed = false; // refused because the target exists and overwrite is off
    QString error;        // the system's text when it failed
};

CopyResult copyFile(const QString &source, const QString &target, bool overwrite,
                    const std::function<void()> &betweenChunks = {});

} // namespace kx
