#pragma once
// The archive engine: packs a list of files into one password-protected ZIP (deflate level 9,
// already-compressed kinds stored, WinZip AES-256), and reads archives back (AES or the older
// PKWARE encryption). Progress is reported through a callback that also lets events run.
// Failures throw kx::Error with the engine's message.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace kx {

// True for the suffixes that are stored without compression (gif, png, zip, rar, gz, jar, ...).
bool storedWithoutCompression(const QString &fileName);

struct PackProgress {
    std::function<void()> started;             // total size known
    std::function<void(double share)> advanced; // 0..1 of the whole archive
    std::function<void()> finished;            // end of batch
};

struct PackResult {
    qint64 entries = 0;  // packed
    QStringList skipped; // gone since they were listed (or no plain file any more): no failure
    QStringList failed;  // "file: reason": there, and could not be read
};

// Packs `files` (full paths) into `archive`, each under its path relative to `baseFolder`.
// An existing archive is replaced only when the new one is complete. Files that have gone or
// cannot be read are left out and told in the result; the others are packed all the same.
// Failures of the archive itself throw kx::Error, as does a set `cancel` (nothing is left
// behind then). The password is given in the bytes of the program's code page.
PackResult packZip(const QString &archive, const QString &baseFolder, const QStringList &files,
                   const QByteArray &password, const PackProgress &progress = {},
                   const std::atomic<bool> *cancel = nullptr);

struct ZipInfo {
    qint64 entries = 0;
    qint64 totalSize = 0; // uncompressed
};
ZipInfo inspectZip(const QString &archive);

// The name an entry is unpacked under, relative to the target folder ("/" ends a folder's), or
// empty when the stored name would leave it: absolute, a drive, "." or ".." segments.
QString safeRelative(const QString &name);

struct UnpackResult {
    qint64 written = 0;
    qint64 skippedExisting = 0;
    QStringList refused; // entries that would write outside the target folder
};

// Extracts every entry under `targetFolder`, recreating folders; existing files are replaced
// only with `overwrite`. Nothing is ever written outside the target: entries with ".." segments
// or absolute names, and entries whose folders are links inside the target, are refused and
// listed; a link at an entry's own name is replaced (overwrite on) or left (off), never followed.
// `afterEntry` is called after each entry with (entries done, entries total). A set `cancel`
// ends the unpacking with kx::Error.
UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QByteArray &password, bool overwrite,
                       const std::function<void(qint64, qint64)> &afterEntry = {},
                       const std::atomic<bool> *cancel = nullptr);

} // namespace kx
