#pragma once
// The archive engine: packs a list of files into one password-protected ZIP (deflate with the
// strength of level 9, already-compressed kinds and incompressible data stored, WinZip
// AES-256), and reads archives back (AES or the older PKWARE encryption) as other tools wrote
// them. Progress is reported through a callback that also lets events run.
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
// behind then). The password is given as the bytes the keys are made of: its UTF-8, as 7-Zip
// and WinZip take a typed password.
PackResult packZip(const QString &archive, const QString &baseFolder, const QStringList &files,
                   const QByteArray &password, const PackProgress &progress = {},
                   const std::atomic<bool> *cancel = nullptr);

struct ZipInfo {
    qint64 entries = 0;
    qint64 totalSize = 0; // uncompressed
};
ZipInfo inspectZip(const QString &archive);

// What the program says for an error code of the archive library, instead of the library's own
// English: a text to translate with %1 for the archive or the entry and %2 for the system's
// reason (withSystemText) or else the code.
struct ArchiveFailure {
    QString format;
    bool withSystemText = false;
};
ArchiveFailure archiveFailure(int code);
// Throws kx::Error with that text; systemError: the errno behind a failed read, write or open.
[[noreturn]] void throwArchiveError(const QString &what, int code, int systemError);

// The name an entry is unpacked under, relative to the target folder ("/" ends a folder's), or
// empty when the stored name would leave it (absolute, a drive, ".." segments) or names the
// target itself. "." segments are left out.
QString safeRelative(const QString &name);

struct UnpackResult {
    qint64 written = 0;
    qint64 skippedExisting = 0;
    QStringList refused; // entries that would write outside the target folder
};

// Extracts every entry under `targetFolder`, recreating folders; existing files are replaced
// only with `overwrite`. Names flagged as UTF-8 are read so; the others as the system that made
// the entry wrote them: code page 857 from DOS and Windows, the bytes as they are from Unix.
// `passwords` are the byte forms a typed password may have been keyed with, the likeliest first:
// the one that opens the archive is used, and an entry that none opens fails as a wrong password.
// Damage (a CRC or an authentication code that does not match) fails with the entry's name. A
// failure takes back the folders this call made and left empty. Nothing is ever written outside
// the target: entries with ".." segments or absolute names, and entries whose folders are links
// inside the target, are refused and listed; a link at an entry's own name is replaced
// (overwrite on) or left (off), never followed. `afterEntry` is called after each entry with
// (entries done, entries total). A set `cancel` ends the unpacking with kx::Error.
UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QList<QByteArray> &passwords,
                       bool overwrite, const std::function<void(qint64, qint64)> &afterEntry = {},
                       const std::atomic<bool> *cancel = nullptr);
inline UnpackResult unpackZip(const QString &archive, const QString &targetFolder, const QByteArray &password,
                              bool overwrite, const std::function<void(qint64, qint64)> &afterEntry = {},
                              const std::atomic<bool> *cancel = nullptr)
{
    return unpackZip(archive, targetFolder, QList<QByteArray>{password}, overwrite, afterEntry, cancel);
}

} // namespace kx
