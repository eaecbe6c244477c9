#pragma once
// The archive engine: packs a list of files into one password-protected ZIP (deflate level 9,
// already-compressed kinds stored, WinZip AES-256), and reads archives back (AES or the older
// PKWARE encryption). Progress is reported through a callback that also lets events run.
// Failures throw kx::Error with the engine's message.

#include <QString>
#include <QStringList>
#include <functional>

namespace kx {

// True for the suffixes that are stored without compression (gif, png, zip, rar, gz, jar, ...).
bool storedWithoutCompression(const QString &fileName);

struct PackProgress {
    std::function<void()> started;             // total size known
    std::function<void(double share)> advanced; // 0..1 of the whole archive
    std::function<void()> finished;            // end of batch
};

// Packs `files` (full paths) into `archive`, each under its path relative to `baseFolder`.
// An existing archive is replaced only when the new one is complete.
// The password is given in the bytes of the program's code page.
void packZip(const QString &archive, const QString &baseFolder, const QStringList &files, const QByteArray &password,
             const PackProgress &progress = {});

struct ZipInfo {
    qint64 entries = 0;
    qint64 totalSize = 0; // uncompressed
};
ZipInfo inspectZip(const QString &archive);

struct UnpackResult {
    qint64 written = 0;
    qint64 skippedExisting = 0;
    QStringList refused; // entries whose names would leave the target folder
};

// Extracts every entry under `targetFolder`, recreating folders; existing files are replaced
// only with `overwrite`. Entries with ".." segments or absolute names are refused and listed.
// `afterEntry` is called after each entry with (entries done, entries total).
UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QByteArray &password, bool overwrite,
                       const std::function<void(qint64, qint64)> &afterEntry = {});

} // namespace kx
