#pragma once
// Directory listing by wildcard, the way the program has always matched its masks: '*' and '?',
// letter case ignored, and a mask ending in ".*" also taking names without any dot ("*.*" takes
// every name). Dot files are listed like any other; "." and ".." never are.

#include <QList>
#include <QString>
#include <optional>

namespace kx {

struct DirEntry {
    QString name;
    bool isDir = false;     // a folder, or a link to one
    bool isSymlink = false; // the entry itself is a symbolic link
    bool isFile = false;    // a regular file, or a link to one
    qint64 size = 0;        // of the file (or of the link's target)
    // Listed, but the system refused to say what it is (in a folder we may list but not enter):
    // neither file nor folder as far as we know, and it cannot be read.
    bool unreadable = false;
};

// Which folder a listing was of, whatever path led to it.
struct FolderId {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderId &o) const { return device == o.device && inode == o.inode; }
};
// The folder at the path, links followed; nullopt when there is none.
std::optional<FolderId> folderId(const QString &folder);

bool wildcardMatch(const QString &mask, const QString &name);

// One folder, no recursion. A folder that cannot be read gives an empty list, or throws when
// failOnError is set. `id`, when given, receives the identity of the folder listed.
QList<DirEntry> listDirectory(const QString &folder, const QString &mask = QStringLiteral("*"),
                              bool failOnError = false, FolderId *id = nullptr);

} // namespace kx
