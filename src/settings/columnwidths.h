#pragma once
// The column widths of the program's lists as the user has set them, kept in a file of their own,
// "Sutunlar.ini" in the settings folder: section [Sutunlar], one key per list named like the
// list (dosyaView, fbView, ListBackup, ListRestore), the widths in pixels from the first column
// on, separated by commas. No other file changes for them.

#include <QList>
#include <QString>

namespace kx {

QString columnWidthsFileName();

// The widths kept for a list; empty when none are kept or what is kept cannot be read. A width
// out of reason (below 8 or above 4000 pixels) makes the whole entry unreadable.
QList<int> readColumnWidths(const QString &settingsFolder, const QString &list);
// Keeps the widths of a list (throws kx::Error when the file cannot be written).
void writeColumnWidths(const QString &settingsFolder, const QString &list, const QList<int> &widths);

// The text of a key and back.
QString columnWidthsText(const QList<int> &widths);
QList<int> parseColumnWidths(const QString &text);

} // namespace kx
