#pragma once
// Small file helpers the tests share.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

namespace kxtest {

// Writes a file, making its folders.
inline void put(const QString &path, const QByteArray &data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

inline QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Every entry below a folder, files and folders, relative and sorted.
inline QStringList tree(const QString &root)
{
    QStringList out;
    const QDir base(root);
    const auto filters = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System;
    QList<QString> pending{root};
    while (!pending.isEmpty()) {
        const QString folder = pending.takeFirst();
        const QFileInfoList infos = QDir(folder).entryInfoList(filters);
        for (const QFileInfo &fi : infos) {
            out.append(base.relativeFilePath(fi.filePath()));
            if (fi.isDir() && !fi.isSymLink())
                pending.append(fi.filePath());
        }
    }
    out.sort();
    return out;
}

} // namespace kxtest
