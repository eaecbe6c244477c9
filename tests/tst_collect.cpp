// File collection for the folder runs: mask passes and their order, the wildcard rules, what is
// entered and what is skipped, the counters and the target paths; copying the collected pairs.
#include "testfiles.h"
#include "platform/copyfile.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "runs/collect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace kx;
using namespace kxtest;

namespace {



QStringList relative(const QStringList &paths, const QString &root)
{
    QStringList out;
    for (const QString &p : paths)
        out.append(p.startsWith(root + u'/') ? p.mid(root.size() + 1) : QStringLiteral("<outside>") + p);
    return out;
}

QStringList tenMasks(const QStringList &given)
{
    QStringList masks = given;
    while (masks.size() < 10)
        masks.append(QString());
    return masks;
}

// Root reads every folder whatever its permissions. Lowering the override capabilities in this
// thread's effective set makes a folder without permissions unreadable for root as well; the
// capabilities stay permitted and come back when this goes out of scope.
struct WithoutReadOverride {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    bool lowered = false;

    WithoutReadOverride()
    {
        if (::syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct less[2] = {saved[0], saved[1]};
        less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered = ::syscall(SYS_capset, &header, less) == 0;
    }
    ~WithoutReadOverride()
    {
        if (lowered)
            ::syscall(SYS_capset, &header, saved);
    }
};

} // namespace

class TestCollect : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_src;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // src: a.TXT b.doc c .env  .git/x.doc  sub/d.doc  sub/deeper/e.txt
        m_src = m_dir.filePath(QStringLiteral("src"));
        put(m_src + "/b.doc", "bb");
        put(m_src + "/a.TXT", "a");
        put(m_src + "/c", "ccc");
        put(m_src + "/.env", "eeee");
        put(m_src + "/.git/x.doc", "git");
        put(m_src + "/sub/d.doc", "ddddd");
        put(m_src + "/sub/deeper/e.txt", "eeeeee");
    }

    void wildcardMatch_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("match");
        QTest::newRow("case ignored") << "*.DOC" << "a.doc" << true;
        QTest::newRow("case ignored, mixed") << "rapor*.xls" << "Rapor2024.XLS" << true;
        QTest::newRow("case ignored, non-ASCII") << "Ünite*.txt" << "ünite1.TXT" << true;
        QTest::newRow("longer suffix") << "*.doc" << "a.docx" << false;
        QTest::newRow("suffix in the middle") << "*.txt" << "a.txt.bak" << false;
        QTest::newRow("*.* without dot") << "*.*" << "README" << true;
        QTest::newRow("*.* dot file") << "*.*" << ".env" << true;
        QTest::newRow("*.* two dots") << "*.*" << "a.b.c" << true;
        QTest::newRow("prefix.* without dot") << "d*.*" << "Dosya" << true;
        QTest::newRow("name.* without dot") << "abc.*" << "abc" << true;
        QTest::newRow("name.* longer name") << "abc.*" << "abcd" << false;
        QTest::newRow("? one character") << "a?c.txt" << "abc.txt" << true;
        QTest::newRow("? not zero characters") << "a?c.txt" << "ac.txt" << false;
        QTest::newRow("?? exact length") << "??" << "ab" << true;
        QTest::newRow("? too short") << "?" << "ab" << false;
        QTest::newRow("*.? empty extension") << "*.?" << "a." << false;
        QTest::newRow("star backtracks") << "*a*b" << "xaxab" << true;
        QTest::newRow("star cannot skip tail") << "*a*b" << "xaxbx" << false;
        QTest::newRow("no dot rule for other masks") << "*.mdb" << "mdb" << false;
    }

    void wildcardMatch()
    {
        QFETCH(QString, mask);
        QFETCH(QString, name);
        QFETCH(bool, match);
        QCOMPARE(kx::wildcardMatch(mask, name), match);
    }

    void passes_data()
    {
        QTest::addColumn<QStringList>("masks");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("folders");
        // Hidden files are taken, folders beginning with "." are never entered.
        QTest::newRow("everything") << QStringList{"*.*"} << true
                                    << QStringList{".env", "a.TXT", "b.doc", "c", "sub/d.doc", "sub/deeper/e.txt"}
                                    << 2;
        // One pass per mask in mask order, empty masks skipped; folders counted per pass.
        QTest::newRow("mask order") << QStringList{"*.txt", "", "*.DOC"} << true
                                    << QStringList{"a.TXT", "sub/deeper/e.txt", "b.doc", "sub/d.doc"} << 4;
        QTest::newRow("overlap listed once")
            << QStringList{"*.*", "*.doc"} << true
            << QStringList{".env", "a.TXT", "b.doc", "c", "sub/d.doc", "sub/deeper/e.txt"} << 4;
        QTest::newRow("subfolders off") << QStringList{"*.*", "*.doc"} << false
                                        << QStringList{".env", "a.TXT", "b.doc", "c"} << 1;
        QTest::newRow("question mark") << QStringList{"?.doc"} << true << QStringList{"b.doc", "sub/d.doc"} << 2;
        QTest::newRow("no mask") << QStringList{} << true << QStringList{} << 0;
    }

    void passes()
    {
        QFETCH(QStringList, masks);
        QFETCH(bool, subfolders);
        QFETCH(QStringList, expected);
        QFETCH(int, folders);
        const QString target = m_dir.filePath(QStringLiteral("T"));
        const FileCollection c = collectFiles(m_src, target, subfolders, tenMasks(masks));
        QCOMPARE(relative(c.sources(), m_src), expected);
        QCOMPARE(relative(c.targets(), target), expected);
        QCOMPARE(c.files, qint64(expected.size()));
        qint64 bytes = 0;
        for (const QString &s : c.sources())
            bytes += QFileInfo(s).size();
        QCOMPARE(c.bytes, bytes);
        QCOMPARE(c.folders, qint64(folders));
        QVERIFY(c.unreadable.isEmpty());
    }

    void bytesBeyondFourGigabytesAndTrailingSlash()
    {
        QTemporaryDir dir;
        // A sparse file: its size counts, the disk is not used.
        QFile big(dir.filePath("src/big.bin"));
        QVERIFY(QDir().mkpath(dir.filePath("src")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        const qint64 fiveGiB = 5LL * 1024 * 1024 * 1024;
        QVERIFY(big.resize(fiveGiB));
        big.close();
        put(dir.filePath("src/k/small.txt"), "12345");

        const FileCollection plain = collectFiles(dir.filePath("src"), dir.filePath("T"), true, tenMasks({"*.*"}));
        QCOMPARE(plain.files, qint64(2));
        QCOMPARE(plain.bytes, fiveGiB + 5);

        const FileCollection slashed = collectFiles(dir.filePath("src") + "/", dir.filePath("T") + "/", true,
                                                    tenMasks({"*.*"}));
        QCOMPARE(slashed.sources(), plain.sources());
        QCOMPARE(slashed.targets(), plain.targets());
        QCOMPARE(plain.targets(),
                 QStringList({dir.filePath("T/big.bin"), dir.filePath("T/k/small.txt")}));
    }

    void namesDifferingInCaseAndLinks()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath("src");
        put(src + "/A.txt", "upper");
        put(src + "/a.txt", "lower");
        put(src + "/sub/in.txt", "in");
        put(dir.filePath("outside.txt"), "linked");
        // A loop back to the parent would be walked forever if links to folders were entered.
        QVERIFY(QFile::link(src, src + "/sub/loop"));
        QVERIFY(QFile::link(dir.filePath("outside.txt"), src + "/link.txt"));
        QVERIFY(QFile::link(dir.filePath("nowhere.txt"), src + "/dangling.txt"));
        QCOMPARE(::mkfifo(QFile::encodeName(src + "/pipe.txt").constData(), 0644), 0);

        const FileCollection c = collectFiles(src, dir.filePath("T"), true, tenMasks({"*.txt"}));
        QCOMPARE(relative(c.sources(), src), QStringList({"A.txt", "a.txt", "link.txt", "sub/in.txt"}));
        QCOMPARE(c.folders, qint64(1));
        QCOMPARE(c.bytes, qint64(5 + 5 + 6 + 2));

        // Both case variants reach the target, and the link arrives as the file it points to.
        QCOMPARE(copyCollected(c, dir.filePath("T"), false, {}, {}).failed, 0);
        QCOMPARE(contents(dir.filePath("T/A.txt")), QByteArray("upper"));
        QCOMPARE(contents(dir.filePath("T/a.txt")), QByteArray("lower"));
        QVERIFY(!QFileInfo(dir.filePath("T/link.txt")).isSymLink());
        QCOMPARE(contents(dir.filePath("T/link.txt")), QByteArray("linked"));
    }

    // A folder the run may not read or not enter loses nothing silently: whatever cannot be read
    // is counted (folders named), everything else is still collected.
    void unreadableFoldersAndFilesAreReported_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("folders"); // below src
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("status"); // after "Basarisiz.2 dosya kopyalanamadi. ", <src> for the folder
        QTest::newRow("no permission") << 0 << QStringList{"locked"} << 0
                                       << "1 klasor okunamadi. Okunamayan klasor: <src>/locked";
        // Listed, but nothing in it can be looked at: its file and its subfolder.
        QTest::newRow("read, not enter") << 0444 << QStringList{"locked/deeper"} << 1
                                         << "1 klasor okunamadi. 1 dosya okunamadi. Okunamayan klasor: <src>/locked/deeper";
        QTest::newRow("enter, not read") << 0111 << QStringList{"locked"} << 0
                                         << "1 klasor okunamadi. Okunamayan klasor: <src>/locked";
    }
    void unreadableFoldersAndFilesAreReported()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, folders);
        QFETCH(int, files);
        QFETCH(QString, status);
        QVERIFY_THROWS_EXCEPTION(Error, listDirectory(m_dir.filePath("missing"), QStringLiteral("*"), true));
        QVERIFY(listDirectory(m_dir.filePath("missing")).isEmpty());

        QTemporaryDir dir;
        const QString src = dir.filePath("src");
        put(src + "/top.txt", "t");
        put(src + "/locked/hidden.txt", "h");
        put(src + "/locked/deeper/x.txt", "x");
        put(src + "/open/seen.txt", "s");
        const QString locked = src + "/locked";
        QCOMPARE(::chmod(QFile::encodeName(locked).constData(), mode_t(mode)), 0);
        FileCollection c;
        {
            WithoutReadOverride guard;
            DIR *probe = ::opendir(QFile::encodeName(locked).constData());
            if (probe)
                ::closedir(probe);
            struct stat st;
            if (probe && ::stat(QFile::encodeName(locked + "/hidden.txt").constData(), &st) == 0) {
                ::chmod(QFile::encodeName(locked).constData(), 0700);
                QSKIP("This process reads folders regardless of their permissions; no unreadable folder can be made.");
            }
            c = collectFiles(src, dir.filePath("T"), true, tenMasks({"*.*", "*.txt"}));
        }
        QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0700), 0);
        // The rest is still collected; what cannot be read is named once although two passes met it.
        QCOMPARE(relative(c.sources(), src), QStringList({"top.txt", "open/seen.txt"}));
        QStringList expected;
        for (const QString &f : folders)
            expected.append(src + u'/' + f);
        QCOMPARE(c.unreadable, expected);
        QCOMPARE(c.unreadableFiles.size(), qsizetype(files));
        status.replace(QStringLiteral("<src>"), src);
        QCOMPARE(copyStatus(0, c.unreadable, c.unreadableFiles.size()), QStringLiteral("Basarisiz.") + status);
        QCOMPARE(copyStatus(2, c.unreadable, c.unreadableFiles.size()),
                 QStringLiteral("Basarisiz.2 dosya kopyalanamadi. ") + status);
    }

    void copyFileKeepsOrReplaces()
    {
        QTemporaryDir dir;
        put(dir.filePath("s.txt"), "new content");
        put(dir.filePath("t.txt"), "old");
        const QDateTime stamp(QDate(2023, 5, 6), QTime(7, 8, 10));
        {
            QFile f(dir.filePath("s.txt"));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        CopyResult r = copyFile(dir.filePath("s.txt"), dir.filePath("t.txt"), false);
        QVERIFY(!r.ok);
        QVERIFY(r.existed);
        QCOMPARE(contents(dir.filePath("t.txt")), QByteArray("old"));

        r = copyFile(dir.filePath("s.txt"), dir.filePath("t.txt"), true);
        QVERIFY(r.ok);
        QCOMPARE(contents(dir.filePath("t.txt")), QByteArray("new content"));
        QCOMPARE(QFileInfo(dir.filePath("t.txt")).lastModified(), stamp);

        // A kept target is no failure of the whole copy.
        put(dir.filePath("S/t.txt"), "newer");
        FileCollection c;
        c.sourceRoot = dir.filePath("S");
        c.targetRoot = dir.path();
        c.add("t.txt");
        int after = 0;
        QCOMPARE(copyCollected(c, dir.path(), false, [&] { ++after; }, {}).failed, 0);
        QCOMPARE(after, 1);
        QCOMPARE(contents(dir.filePath("t.txt")), QByteArray("new content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"s.txt", "t.txt"}));
    }

    // Copy work is handed out in batches of one folder each, every file in exactly one batch;
    // batches handed out one after the other lie in different folders wherever more than one
    // folder still has files left (two workers in one folder wait on its lock).
    void copyBatchesSpreadOverFolders_data()
    {
        QTest::addColumn<QList<int>>("folderSizes");
        QTest::addColumn<int>("batchSize");
        QTest::newRow("small folders") << QList<int>{5, 3, 7, 1} << 4;
        QTest::newRow("one large folder among small ones") << QList<int>{2, 40, 3, 1} << 4;
        QTest::newRow("two large folders") << QList<int>{17, 23} << 4;
        QTest::newRow("one folder only") << QList<int>{21} << 4;
        QTest::newRow("exact multiples") << QList<int>{8, 8, 4} << 4;
        QTest::newRow("nothing") << QList<int>{} << 4;
    }
    void copyBatchesSpreadOverFolders()
    {
        QFETCH(QList<int>, folderSizes);
        QFETCH(int, batchSize);
        FileCollection c;
        c.sourceRoot = QStringLiteral("/s");
        c.targetRoot = QStringLiteral("/t");
        for (qsizetype f = 0; f < folderSizes.size(); ++f)
            for (int i = 0; i < folderSizes[f]; ++i)
                c.add(QStringLiteral("k%1/d%2.txt").arg(f).arg(i));
        const QList<CopyBatch> batches = planCopyBatches(c, batchSize);
        QList<int> seen(c.count(), 0);
        QList<int> left = folderSizes; // files of each folder not yet handed out
        for (qsizetype b = 0; b < batches.size(); ++b) {
            const CopyBatch &batch = batches[b];
            QVERIFY(batch.from < batch.to && batch.to - batch.from <= batchSize);
            const qint32 dir = c.entries[batch.from].dir;
            for (qsizetype i = batch.from; i < batch.to; ++i) {
                QCOMPARE(c.entries[i].dir, dir);
                ++seen[i];
            }
            const int folder = c.dirs.at(dir).mid(2).section(u'/', 0, 0).toInt();
            left[folder] -= int(batch.to - batch.from);
            if (b > 0) {
                const qint32 before = c.entries[batches[b - 1].from].dir;
                const bool othersLeft = std::count_if(left.begin(), left.end(), [](int n) { return n > 0; }) +
                                            (left[folder] > 0 ? 0 : 1) >
                                        1;
                if (othersLeft)
                    QVERIFY2(dir != before,
                             qPrintable(QStringLiteral("batch %1 in the folder of the one before").arg(b)));
            }
        }
        QVERIFY(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
    }

    // Files are copied several at once: every one arrives whole in its own folder, every one is
    // reported once, kept, gone and failed files are told apart, and a stop leaves no temporary.
    void manyFilesAtOnce()
    {
        QTemporaryDir dir;
        FileCollection c;
        c.sourceRoot = dir.filePath("S");
        c.targetRoot = dir.filePath("T");
        for (int i = 0; i < 300; ++i) {
            c.add(QStringLiteral("k%1/alt/d%2.txt").arg(i % 30).arg(i));
            if (i % 50 != 7) // a few have gone since they were listed
                put(c.source(i), QByteArray::number(i).repeated(i + 1));
        }
        put(dir.filePath("T/k3/alt/d3.txt"), "eski"); // kept: overwrite is off
        put(dir.filePath("T/k5/alt"), "dosya"); // a file where ten files' folder should be
        int after = 0;
        const CopyTally t = copyCollected(c, dir.filePath("T"), false, [&] { ++after; }, {});
        QCOMPARE(after, 300);
        QCOMPARE(t.skipped, 6);
        QCOMPARE(t.failed, 10);
        QVERIFY(!t.cancelled);
        for (int i = 0; i < 300; ++i) {
            if (i % 50 == 7 || i % 30 == 5)
                continue;
            const QByteArray expected = i == 3 ? QByteArray("eski") : QByteArray::number(i).repeated(i + 1);
            QVERIFY2(contents(c.target(i)) == expected, qPrintable(c.target(i)));
        }

        // A stop asked for ends the copying: nothing more is made, nothing is left half-written.
        QTemporaryDir second;
        const std::atomic<bool> cancel{true};
        int reported = 0;
        const CopyTally stopped = copyCollected(c, second.path() + "/T", false, [&] { ++reported; }, {}, &cancel);
        QVERIFY(stopped.cancelled);
        QCOMPARE(reported, 0);
        QCOMPARE(tree(second.path()).filter(".txt"), QStringList());
    }

    void longestNameIsCopied()
    {
        // 255 bytes, as long as a name can be: the temporary beside it must still fit.
        const QString name = QString(251, u'a') + QStringLiteral(".txt");
        QTemporaryDir dir;
        put(dir.filePath(name), "uzun");
        QVERIFY(QDir().mkpath(dir.filePath("T")));
        const CopyResult r = copyFile(dir.filePath(name), dir.filePath("T/") + name, false);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(contents(dir.filePath("T/") + name), QByteArray("uzun"));
        QCOMPARE(QDir(dir.filePath("T")).entryList(QDir::Files | QDir::Hidden), QStringList({name}));
    }

    void copyFailuresAreCounted()
    {
        QTemporaryDir dir;
        put(dir.filePath("S/busy.txt"), "good");
        put(dir.filePath("S/plainfile/under/x.txt"), "other");
        put(dir.filePath("S/ok.txt"), "good");
        put(dir.filePath("T/plainfile"), "x");
        // A "file" whose reading fails: the start of this process's memory is never mapped.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), dir.filePath("S/mem.txt")));
        QVERIFY(QDir().mkpath(dir.filePath("T/busy.txt")));

        FileCollection c;
        c.sourceRoot = dir.filePath("S");
        c.targetRoot = dir.filePath("T");
        for (const char *f : {"mem.txt", "busy.txt", "plainfile/under/x.txt", "ok.txt"})
            c.add(QLatin1String(f));
        QCOMPARE(copyCollected(c, c.targetRoot, true, {}, {}).failed, 3);
        QCOMPARE(contents(dir.filePath("T/ok.txt")), QByteArray("good"));
        QVERIFY(QFileInfo(dir.filePath("T/busy.txt")).isDir());
        // No half-written temporary stays behind.
        QCOMPARE(QDir(dir.filePath("T")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"busy.txt", "ok.txt", "plainfile"}));

        const CopyResult r = copyFile(dir.filePath("S/mem.txt"), dir.filePath("T/mem2.txt"), true);
        QVERIFY(!r.ok);
        QVERIFY(!r.existed);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(copyStatus(1, {}, 0), QStringLiteral("Basarisiz.1 dosya kopyalanamadi."));
        QCOMPARE(copyStatus(0, {}, 0), QStringLiteral("Basarili"));
    }
};

QTEST_MAIN(TestCollect)
#include "tst_collect.moc"
