#pragma once
// Every text file of the program (job files, logs, language files, ini files, tool records) is
// kept in one single-byte code page, Windows-1254, whatever the machine's own locale is. This is
// the one place that converts between those bytes and QString.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kx::codepage {

// Bytes of the code page to text. Never fails: the few bytes the code page leaves undefined map
// to the control characters of the same number, so they survive a read and a rewrite unchanged.
QString decode(const QByteArray &bytes);
QString decode(const char *data, qsizetype size);

// Text to bytes of the code page. Characters the code page cannot hold become '?'; callers that
// store what a user typed check canEncode() first and refuse the text instead.
QByteArray encode(const QString &text);
// The same into `out`, which keeps its memory from one call to the next.
void encodeInto(const QString &text, QByteArray &out);

bool canEncode(const QString &text);
// The first character the code page cannot hold, or a null QChar when there is none.
QChar firstUnencodable(const QString &text);

// Splits a file's bytes into lines; CR, LF and CR LF all end a line. A final line end does not
// add an empty line.
QStringList splitLines(const QByteArray &bytes);

// Joins lines with CR LF, the last one ended too.
QByteArray joinLines(const QStringList &lines);

// Lower case of one byte of the code page (for case-blind byte comparisons).
unsigned char toLowerByte(unsigned char b);

} // namespace kx::codepage
