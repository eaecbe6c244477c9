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

// An active hourly job of all files, subfolders included; `more` adds keys ("HEDEFDIZIN2=…\r\n").
inline QByteArray hourlyJob(const QString &source, const QString &target, const QString &more = QString())
{
    return ("AKTIF=True\r\nYEDEK_ZAMANI=1\r\nPERYOT=1\r\nUNETYEDEK=False\r\nDOSYA_TURU1=*.*\r\nALT_DIZIN=True\r\n"
            "KAYNAK_DIZIN=" + source + "\r\nHEDEF_DIZIN=" + target + "\r\n" + more)
        .toUtf8();
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
