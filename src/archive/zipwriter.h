#pragma once
// Writes a ZIP archive with WinZip AES-256 encryption (AE-2, without CRC, for files under 20
// bytes; AE-1 above), deflated (see kDeflateLevel), or stored where deflate would not make an
// entry smaller, on as many threads as the machine has cores:
// every entry is compressed and encrypted on its own (each has its own salt and key), workers
// write finished entries into parts of their own, and the parts are joined with one central
// directory at the end. ZIP64 is used where sizes or offsets need it. The result is an ordinary
// archive that 7-Zip, WinZip, bsdtar and libzip read.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace kx {

struct ZipWriteItem {
    QString file;      // full path
    QByteArray name;   // stored name: UTF-8, or the file name's own bytes when they are no UTF-8
    bool store = false; // already compressed kinds: stored as they are
};

struct ZipWriteResult {
    qint64 entries = 0;  // written into the archive
    QStringList skipped; // gone since they were listed, or no plain file
    QStringList failed;  // "file: reason" for files that are there and could not be read
};

// A file that has gone or cannot be read is left out (and told in the result); the archive of
// the others is still written. Failures of the archive itself throw kx::Error, and so does a
// set `cancel` (nothing is left behind then); any other exception of a worker reaches the caller
// the same way. `bytesDone` is raised as input is read (for progress on another thread); `tick`
// is called on the calling thread every few dozen milliseconds while workers run.
ZipWriteResult writeAesZip(const QString &archive, const QList<ZipWriteItem> &items, const QByteArray &password,
                           std::atomic<qint64> &bytesDone, const std::function<void()> &tick, int threads = 0,
                           const std::atomic<bool> *cancel = nullptr);

// Test seam: the size large files are cut into (16 MiB; 0 brings that back).
void setZipChunkSize(qint64 bytes);

} // namespace kx
