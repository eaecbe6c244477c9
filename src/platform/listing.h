#pragma once
// Directory listing by wildcard, the way the program has always matched its masks: '*' and '?',
// letter case ignored, and a mask ending in ".*" also taking names without any dot ("*.*" takes
// every name). Dot files are listed like any other; "." and ".." never are.

#include <QList>
#include <QString>

namespace kx {

struct DirEntry {
    QString name;
    bool isDir = false;     // a folder, or a link to one
    bool isSymlink = false; // the entry itself is a symbolic link
    bool isFile = false;    // a regular file, or a link to one
    qint64 size = 0;        // of the file (or of the link's target)
};

bool wildcardMatch(const QString &mask, const QString &name);

// One folder, no recursion. A folder that cannot be read gives an empty list, or throws when
// failOnError is set.
QList<DirEntry> listDirectory(const QString &folder, const QString &mask = QStringLiteral("*"),
                              bool failOnError = false);

} // namespace kx
