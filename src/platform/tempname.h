#pragma once
// Temporaries of files being written: beside their final name, so the rename into place never
// crosses file systems, and named by this process and a number of its own, so two writes in one
// process (runs have threads of their own) never share one. A name left by a killed earlier
// process of the same number is simply replaced.

#include <QByteArray>
#include <fcntl.h>
#include <sys/types.h>

namespace kx {

// ".kx-<process>-<number>-<name>.tmp", the name cut so the whole fits a name's 255 bytes.
QByteArray temporaryName(const QByteArray &finalName);

// Creates the temporary in the folder `dirFd` without following a link (O_EXCL, O_NOFOLLOW).
// `access` is O_WRONLY or O_RDWR. Returns the descriptor, or -1 with errno set.
int createTemporaryAt(int dirFd, const QByteArray &name, mode_t mode, int access = O_WRONLY);

} // namespace kx
