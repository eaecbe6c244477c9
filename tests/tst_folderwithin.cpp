// Whether a folder lies inside another as the file system sees it: links, ".." and slashes
// resolved, folders not made yet, names that are no valid UTF-8.
#include "core/folderwithin.h"
#include "platform/pathname.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace kx;

class TestFolderWithin : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString at(const QString &relative) const { return m_dir.path() + u'/' + relative; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *d : {"src/sub", "src2", "other"})
            QVERIFY(QDir().mkpath(at(QLatin1String(d))));
        QVERIFY(::symlink("src/sub", QFile::encodeName(at("link")).constData()) == 0);
        // A link whose name is no valid UTF-8 (byte 0xFE), as old disks bring them.
        QVERIFY(::symlink("src/sub", encodePath(at(QString(QChar(escapeByte(0xFE))) + "link")).constData()) == 0);
    }

    void within_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("within");
        QTest::newRow("the same folder") << "src" << "src" << true;
        QTest::newRow("below it") << "src/sub" << "src" << true;
        QTest::newRow("doubled and trailing slashes") << "src//sub/" << "src/" << true;
        QTest::newRow("sibling with a common prefix") << "src2" << "src" << false;
        QTest::newRow("a parent reached by dot-dot") << "src/.." << "src" << false;
        QTest::newRow("a link into the source") << "link" << "src" << true;
        QTest::newRow("dot-dot after a link goes where the system goes") << "link/.." << "src" << true;
        QTest::newRow("not made yet, below the source") << "src/yeni/alt/" << "src" << true;
        QTest::newRow("not made yet, beside the source") << "src2/yeni" << "src" << false;
        QTest::newRow("dot-dot out of a folder not made yet") << "src/yeni/../../other" << "src" << false;
        QTest::newRow("a link with a name that is no valid UTF-8") << QString(QChar(escapeByte(0xFE))) + "link" << "src"
                                                                   << true;
        QTest::newRow("the source inside the target") << "src" << "src/sub" << false;
    }
    void within()
    {
        QFETCH(QString, folder);
        QFETCH(QString, root);
        QFETCH(bool, within);
        QCOMPARE(folderWithin(at(folder), at(root)), within);
    }

    void emptyPathsAreInsideNothing()
    {
        QVERIFY(!folderWithin(QString(), at("src")));
        QVERIFY(!folderWithin(at("src"), QString()));
    }
};

QTEST_MAIN(TestFolderWithin)
#include "tst_folderwithin.moc"
