#pragma once
// The end of a text file, read backwards from its end in blocks, so that a file that keeps only
// its newest lines (the operation logs) costs the same to read however large it has grown.

#include <QByteArray>
#include <QString>

namespace kx {

struct FileTail {
    QByteArray bytes;     // the lines kept, from the start of the first one to the end of the file
    qint64 bytesRead = 0; // how much of the file was read to find them
};

// The last maxLines lines of the file as codepage::splitLines cuts them (CR, LF and CR LF each
// end a line; a final line end adds no empty line), taken only from the last maxBytes bytes of
// the file: the line that does not fit there whole is left out, with every line before it. So
// memory and reading stay within about maxBytes, even for a file that is one endless line.
// A missing file gives nothing. Throws kx::Error when the file cannot be opened or read, or is
// no plain file.
FileTail readFileTail(const QString &path, int maxLines, qint64 maxBytes, qint64 blockSize = 64 * 1024);

} // namespace kx
