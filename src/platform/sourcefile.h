#pragma once
// Opening a file to be backed up. Only a plain file is opened for reading (a link to one is
// followed): a pipe put where a file was listed, or a device, could hold a reader for ever, so
// nothing is ever opened in a way that waits, and anything but a plain file is left alone.

#include <QByteArray>
#include <sys/stat.h>

namespace kx {

struct SourceFile {
    int fd = -1;       // open for reading, blocking, when the file is a plain one
    struct stat st {}; // of the open file
    bool gone = false; // no longer there, or no plain file: nothing to read, no failure
    int error = 0;     // the system's error when it is there and cannot be opened

    SourceFile() = default;
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;
    ~SourceFile();

    bool isOpen() const { return fd >= 0 && !gone && error == 0; }
};

void openSourceFile(const QByteArray &path, SourceFile &file);

} // namespace kx
