// Copying into a target without ever going through a link inside it, sources that turned into
// pipes or went away, and a copy stopped half-way.
#include "testfiles.h"
#include "testsystem.h"
#include "platform/confined.h"
#include "platform/copyfile.h"
#include "platform/headway.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <exception>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kx;
using namespace kxtest;

namespace {

struct timespec modified(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

} // namespace

class TestCopyFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_elsewhere, m_target;

private slots:
    void init()
    {
        QVERIFY(QDir(m_dir.path()).removeRecursively());
        QVERIFY(QDir().mkpath(m_dir.path()));
        put(m_dir.filePath("src/a.txt"), "yeni");
        m_elsewhere = m_dir.filePath("elsewhere");
        m_target = m_dir.filePath("target");
        QVERIFY(QDir().mkpath(m_elsewhere));
        QVERIFY(QDir().mkpath(m_target));
    }

    // Whatever link stands inside the target, nothing is ever written where it points.
    void linksInsideTheTarget_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<bool>("existed");
        QTest::addColumn<QString>("refusedAt"); // the component a refusal names
        QTest::addColumn<bool>("inPlace");      // new files straight under their own names
        for (const bool inPlace : {false, true}) {
            const auto row = [inPlace](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(QLatin1String(name) + (inPlace ? " (in place)" : "")));
            };
            row("dangling link at the name, overwrite") << "dl" << true << true << false << "" << inPlace;
            row("dangling link at the name, keep") << "dl" << false << false << true << "" << inPlace;
            row("link to a file at the name") << "fl" << true << true << false << "" << inPlace;
            row("folder link on the way") << "sd/x.txt" << true << false << false << "sd" << inPlace;
            row("folder link deeper on the way") << "real/sd/x.txt" << true << false << false << "real/sd" << inPlace;
            row("file where a folder should be") << "var.txt/x.txt" << true << false << false << "var.txt" << inPlace;
            row("new folders are made") << "new/deep/x.txt" << true << true << false << "" << inPlace;
            row("existing file, keep") << "real/var.txt" << false << false << true << "" << inPlace;
            row("existing file, overwrite") << "real/var.txt" << true << true << false << "" << inPlace;
        }
    }
    void linksInsideTheTarget()
    {
        QFETCH(QString, relative);
        QFETCH(bool, overwrite);
        QFETCH(bool, copied);
        QFETCH(bool, existed);
        QFETCH(QString, refusedAt);
        QFETCH(bool, inPlace);
        put(m_elsewhere + "/f", "baska");
        put(m_target + "/var.txt", "eski");
        put(m_target + "/real/var.txt", "eski");
        QVERIFY(QFile::link(m_elsewhere + "/x", m_target + "/dl"));
        QVERIFY(QFile::link(m_elsewhere + "/f", m_target + "/fl"));
        QVERIFY(QFile::link(m_elsewhere, m_target + "/sd"));
        QVERIFY(QDir().mkpath(m_target + "/real"));
        QVERIFY(QFile::link(m_elsewhere, m_target + "/real/sd"));

        ConfinedRoot root(m_target);
        const CopyResult r = copyFileInto(root, relative, m_dir.filePath("src/a.txt"), overwrite, {}, nullptr, inPlace);
        QCOMPARE(r.ok, copied);
        QCOMPARE(r.existed, existed);
        QCOMPARE(tree(m_elsewhere), QStringList({"f"}));
        QCOMPARE(contents(m_elsewhere + "/f"), QByteArray("baska"));
        if (copied) {
            QVERIFY(!QFileInfo(m_target + "/" + relative).isSymLink());
            QCOMPARE(contents(m_target + "/" + relative), QByteArray("yeni"));
        } else if (existed) {
            if (!QFileInfo(m_target + "/" + relative).isSymLink())
                QCOMPARE(contents(m_target + "/" + relative), QByteArray("eski"));
        } else {
            QVERIFY2(r.error.contains(m_target + "/" + refusedAt), qPrintable(r.error));
        }
        QVERIFY2(!tree(m_target).join(' ').contains(".kx-"), qPrintable(tree(m_target).join(' ')));
    }

    // The plain copy never follows a link at the target's own name either.
    void plainCopyReplacesALinkAtItsName()
    {
        QVERIFY(QFile::link(m_elsewhere + "/x", m_target + "/dl"));
        const CopyResult r = copyFile(m_dir.filePath("src/a.txt"), m_target + "/dl", true);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!QFileInfo::exists(m_elsewhere + "/x"));
        QCOMPARE(contents(m_target + "/dl"), QByteArray("yeni"));
    }

    // A source that is no plain file any more (a pipe with no writer would hold a reader for
    // ever) or that has gone is skipped, not failed; a folder where the file was is a failure.
    void sourcesThatAreNoFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("skipped");
        QTest::newRow("pipe") << "fifo" << true;
        QTest::newRow("gone") << "gone" << true;
        QTest::newRow("folder") << "folder" << false;
    }
    void sourcesThatAreNoFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, skipped);
        const QString source = m_dir.filePath("src/b");
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(source));
        CopyResult r;
        QVERIFY(returnsPromptly([&] { r = copyFile(source, m_target + "/b", true); }, source));
        QVERIFY(!r.ok);
        QCOMPARE(r.skipped, skipped);
        QCOMPARE(r.error.isEmpty(), skipped);
        QCOMPARE(tree(m_target), QStringList());
    }

    void cancelledCopyLeavesNothing()
    {
        put(m_dir.filePath("src/big.bin"), QByteArray(3 * 1024 * 1024, 'b'));
        const std::atomic<bool> cancel{true};
        const CopyResult r = copyFile(m_dir.filePath("src/big.bin"), m_target + "/big.bin", true, {}, &cancel);
        QVERIFY(r.cancelled);
        QVERIFY(!r.ok);
        QCOMPARE(tree(m_target), QStringList());
    }

    // Stopped between two chunks of a large file: the old target stays as it was.
    void cancelledHalfWay()
    {
        put(m_dir.filePath("src/big.bin"), QByteArray(9 * 1024 * 1024, 'b'));
        put(m_target + "/big.bin", "eski");
        std::atomic<bool> cancel{false};
        int chunks = 0;
        const CopyResult r = copyFile(
            m_dir.filePath("src/big.bin"), m_target + "/big.bin", true,
            [&] {
                ++chunks;
                cancel = true;
            },
            &cancel);
        QCOMPARE(chunks, 1);
        QVERIFY(r.cancelled);
        QVERIFY(!r.ok);
        QCOMPARE(contents(m_target + "/big.bin"), QByteArray("eski"));
        QCOMPARE(tree(m_target), QStringList({"big.bin"}));
    }

    // A watch on the copying thread's headway sees every call end as a step, and between two
    // chunks both ends of the chunk on its way named as the folders waited on; once the copy
    // is done nothing is marked. A mark inside a mark gives the outer one back at its end.
    void copyMarksWhereItWaits()
    {
        put(m_dir.filePath("src/big.bin"), QByteArray(9 * 1024 * 1024, 'b'));
        Headway headway;
        QStringList midway;
        {
            const HeadwayScope scope(&headway);
            const Waiting outer(m_dir.filePath("src"), Waiting::Kind::Folder);
            const CopyResult r = copyFile(m_dir.filePath("src/big.bin"), m_target + "/big.bin", true, [&] {
                if (midway.isEmpty())
                    midway = headway.waitingIn();
            });
            QVERIFY(r.ok);
            QCOMPARE(headway.waitingIn(), QStringList{m_dir.filePath("src")});
        }
        QCOMPARE(midway, (QStringList{m_dir.filePath("src"), m_target}));
        QVERIFY2(headway.steps() >= 5, qPrintable(QString::number(headway.steps())));
        QCOMPARE(headway.waitingIn(), QStringList());
    }

    // A copy keeps the source's permissions and modification time, also over an older copy
    // that had others, and also when the source is readable only.
    void modeAndTimeKept_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("confined");
        QTest::addColumn<bool>("replacing");
        QTest::newRow("plain") << 0640 << false << false;
        QTest::newRow("executable, confined") << 0755 << true << false;
        QTest::newRow("read only, over an older copy") << 0400 << false << true;
        QTest::newRow("read only, confined, over an older copy") << 0444 << true << true;
    }
    void modeAndTimeKept()
    {
        QFETCH(int, mode);
        QFETCH(bool, confined);
        QFETCH(bool, replacing);
        const QString source = m_dir.filePath("src/a.txt");
        const QByteArray encoded = QFile::encodeName(source);
        const struct timespec times[2] = {{1700000000, 0}, {1600000000, 123456789}};
        QCOMPARE(::utimensat(AT_FDCWD, encoded.constData(), times, 0), 0);
        QCOMPARE(::chmod(encoded.constData(), mode_t(mode)), 0);
        if (replacing) {
            put(m_target + "/ic/a.txt", "older");
            QCOMPARE(::chmod(QFile::encodeName(m_target + "/ic/a.txt").constData(), 0666), 0);
        } else if (!confined) {
            QVERIFY(QDir().mkpath(m_target + "/ic"));
        }
        CopyResult r;
        if (confined) {
            ConfinedRoot root(m_target);
            r = copyFileInto(root, "ic/a.txt", source, true);
        } else {
            r = copyFile(source, m_target + "/ic/a.txt", true);
        }
        QVERIFY2(r.ok, qPrintable(r.error));
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(m_target + "/ic/a.txt").constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
        QCOMPARE(modified(m_target + "/ic/a.txt").tv_sec, times[1].tv_sec);
        QCOMPARE(modified(m_target + "/ic/a.txt").tv_nsec, times[1].tv_nsec);
        QCOMPARE(contents(m_target + "/ic/a.txt"), QByteArray("yeni"));
        QCOMPARE(tree(m_target), QStringList({"ic", "ic/a.txt"}));
    }

    // On a full disk the copy fails with the system's reason; the older copy stays whole and no
    // temporary is left.
    void fullDiskKeepsTheOlderCopy()
    {
        SmallFileSystem fs("256k");
        if (!fs.mounted)
            QSKIP("mounting a small file system needs root");
        const QString target = fs.dir.filePath("yedek");
        put(target + "/a.bin", "eski");
        put(m_dir.filePath("src/a.bin"), QByteArray(200 * 1024, 'a'));
        put(target + "/dolgu", QByteArray(160 * 1024, 'x'));

        CopyResult r = copyFile(m_dir.filePath("src/a.bin"), target + "/a.bin", true);
        QVERIFY(!r.ok && !r.skipped && !r.existed);
        QVERIFY2(r.error.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(r.error));
        ConfinedRoot root(target);
        r = copyFileInto(root, "a.bin", m_dir.filePath("src/a.bin"), true);
        QVERIFY2(r.error.contains(QString::fromLocal8Bit(strerror(ENOSPC))), qPrintable(r.error));
        QCOMPARE(contents(target + "/a.bin"), QByteArray("eski"));
        QCOMPARE(tree(target), QStringList({"a.bin", "dolgu"}));
    }

    // The root itself is the user's choice and may be reached through a link.
    void rootThroughALink()
    {
        QVERIFY(QFile::link(m_elsewhere, m_dir.filePath("yedek")));
        ConfinedRoot root(m_dir.filePath("yedek"));
        QVERIFY(copyFileInto(root, "ic/a.txt", m_dir.filePath("src/a.txt"), false).ok);
        QCOMPARE(contents(m_elsewhere + "/ic/a.txt"), QByteArray("yeni"));
        // Asking for the same folder again gives the same open folder.
        QCOMPARE(root.folder("ic"), root.folder("ic"));
        QVERIFY_THROWS_EXCEPTION(Error, root.folder("../disari"));
    }
};

QTEST_GUILESS_MAIN(TestCopyFile)
#include "tst_copyfile.moc"
