// Copying into a target without ever going through a link inside it, sources that turned into
// pipes or went away, and a copy stopped half-way.
#include "testfiles.h"
#include "platform/confined.h"
#include "platform/copyfile.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <sys/stat.h>

using namespace kx;
using namespace kxtest;

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
        QTest::newRow("dangling link at the name, overwrite") << "dl" << true << true << false;
        QTest::newRow("dangling link at the name, keep") << "dl" << false << false << true;
        QTest::newRow("link to a file at the name") << "fl" << true << true << false;
        QTest::newRow("folder link on the way") << "sd/x.txt" << true << false << false;
        QTest::newRow("folder link deeper on the way") << "real/sd/x.txt" << true << false << false;
        QTest::newRow("new folders are made") << "new/deep/x.txt" << true << true << false;
    }
    void linksInsideTheTarget()
    {
        QFETCH(QString, relative);
        QFETCH(bool, overwrite);
        QFETCH(bool, copied);
        QFETCH(bool, existed);
        put(m_elsewhere + "/f", "baska");
        QVERIFY(QFile::link(m_elsewhere + "/x", m_target + "/dl"));
        QVERIFY(QFile::link(m_elsewhere + "/f", m_target + "/fl"));
        QVERIFY(QFile::link(m_elsewhere, m_target + "/sd"));
        QVERIFY(QDir().mkpath(m_target + "/real"));
        QVERIFY(QFile::link(m_elsewhere, m_target + "/real/sd"));

        ConfinedRoot root(m_target);
        const CopyResult r = copyFileInto(root, relative, m_dir.filePath("src/a.txt"), overwrite);
        QCOMPARE(r.ok, copied);
        QCOMPARE(r.existed, existed);
        QCOMPARE(tree(m_elsewhere), QStringList({"f"}));
        QCOMPARE(contents(m_elsewhere + "/f"), QByteArray("baska"));
        if (copied) {
            QVERIFY(!QFileInfo(m_target + "/" + relative).isSymLink());
            QCOMPARE(contents(m_target + "/" + relative), QByteArray("yeni"));
        } else if (!existed) {
            QVERIFY(!r.error.isEmpty());
        }
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
        const CopyResult r = copyFile(source, m_target + "/b", true);
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
