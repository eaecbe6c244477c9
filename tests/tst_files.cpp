// Whole-file writes on a real full file system: every write, the flush and the rename are
// checked, the old file stays whole on any failure, nothing is left behind.
#include "testfiles.h"
#include "testsystem.h"
#include "core/codepage.h"
#include "platform/files.h"
#include "platform/listing.h"
#include "platform/pathname.h"
#include "platform/kxerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <sys/mount.h>
#include <sys/stat.h>

using namespace kx;
using namespace kxtest;

namespace {

// Fills the file system up to its last block.
void fill(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (f.write(block) == block.size() && f.flush()) {
    }
    f.close();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("ownerOnly");
        QTest::newRow("log or settings file") << false;
        QTest::newRow("job file") << true;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(bool, ownerOnly);
        SmallFileSystem fs("256k");
        if (!fs.mounted)
            QSKIP("mounting a small file system needs root");
        const QString file = fs.path("backup2.kxk");
        const QByteArray old = QByteArray("MODUL=eski|DURUMU=Basarili\r\n").repeated(100);
        writeWholeFile(file, old, ownerOnly);
        fill(fs.path("dolgu"));

        const QByteArray bigger = old.repeated(4);
        QVERIFY_THROWS_EXCEPTION(Error, writeWholeFile(file, bigger, ownerOnly));
        QCOMPARE(contents(file), old);
        QCOMPARE(entries(fs.dir.path()), QStringList({"backup2.kxk", "dolgu"}));

        // With room again the same write goes through.
        QVERIFY(QFile::remove(fs.path("dolgu")));
        writeWholeFile(file, bigger, ownerOnly);
        QCOMPARE(contents(file), bigger);
        QCOMPARE(entries(fs.dir.path()), QStringList({"backup2.kxk"}));
    }

    void errorNamesTheFileAndTheReason()
    {
        SmallFileSystem fs("64k");
        if (!fs.mounted)
            QSKIP("mounting a small file system needs root");
        fill(fs.path("dolgu"));
        try {
            writeWholeFile(fs.path("Ayar.ini"), QByteArray(100000, 'a'));
            QFAIL("a write on a full disk went through");
        } catch (const Error &e) {
            QVERIFY2(e.text().contains("Ayar.ini") && e.text().contains(QString::fromLocal8Bit(strerror(ENOSPC))),
                     qPrintable(e.text()));
        }
        QVERIFY(!QFile::exists(fs.path("Ayar.ini")));
    }

    void permissions_data()
    {
        QTest::addColumn<bool>("ownerOnly");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("new job file") << true << -1 << 0600;
        QTest::newRow("job file that was readable by all") << true << 0644 << 0600;
        QTest::newRow("existing file keeps its mode") << false << 0640 << 0640;
    }
    void permissions()
    {
        QFETCH(bool, ownerOnly);
        QFETCH(int, before);
        QFETCH(int, after);
        QTemporaryDir dir;
        const QString file = dir.filePath("a.nyd");
        if (before >= 0) {
            put(file, "old");
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(before)), 0);
        }
        writeWholeFile(file, "AKTIF=True\r\n", ownerOnly);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), after);
        QCOMPARE(contents(file), QByteArray("AKTIF=True\r\n"));
        QCOMPARE(entries(dir.path()), QStringList({"a.nyd"}));
    }

    // Runs have threads of their own and may write one file (the log) at the same time: each
    // write must go through whole, neither failing nor putting the other's half-written
    // temporary in place.
    void concurrentWritesOfOneFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("Kovanci.log");
        const QByteArray a = QByteArray("A").repeated(300000), b = QByteArray("B").repeated(200000);
        std::atomic<int> failures{0};
        auto writer = [&](const QByteArray &data) {
            for (int i = 0; i < 100; ++i) {
                try {
                    writeWholeFile(file, data);
                } catch (const Error &) {
                    ++failures;
                }
            }
        };
        std::thread other(writer, b);
        writer(a);
        other.join();
        QCOMPARE(failures.load(), 0);
        const QByteArray last = contents(file);
        QVERIFY(last == a || last == b);
        QCOMPARE(entries(dir.path()), QStringList({"Kovanci.log"}));
    }

    // The temporary's name fits beside a name as long as a name can be.
    // File names are bytes: every name survives decoding and encoding unchanged, valid UTF-8
    // becomes its text, and the code page of the text files writes a stray byte back as itself.
    void namesAreBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text"); // what a valid name reads as; null when it is no UTF-8
        QTest::newRow("ascii") << QByteArray("rapor.txt") << "rapor.txt";
        QTest::newRow("utf-8") << QByteArray("M\xc3\xbc\xc5\x9fteri") << QString::fromUtf8("Müşteri");
        QTest::newRow("four bytes") << QByteArray("a\xf0\x9f\x98\x80" "b") << QString::fromUtf8("a😀b");
        QTest::newRow("cp1254") << QByteArray("M\xfc\xfeteri.xls") << QString();
        QTest::newRow("cut short") << QByteArray("a\xc3") << QString();
        QTest::newRow("overlong") << QByteArray("\xc0\xaf") << QString();
        QTest::newRow("surrogate") << QByteArray("\xed\xb2\x80") << QString();
        QTest::newRow("beyond unicode") << QByteArray("\xf4\x90\x80\x80") << QString();
        QTest::newRow("stray after a pair") << QByteArray("\xf0\x9f\x98\x80\xfe") << QString();
    }
    void namesAreBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString decoded = decodePath(bytes);
        QCOMPARE(encodePath(decoded), bytes);
        QCOMPARE(isValidUtf8(bytes), !text.isNull());
        if (!text.isNull())
            QCOMPARE(decoded, text);
        else
            QCOMPARE(codepage::encode(decoded).right(1), bytes.right(1));

        // Read and written under that name, and found by listing.
        QTemporaryDir dir;
        const QString path = dir.path() + u'/' + decoded;
        writeWholeFile(path, "x");
        QCOMPARE(readWholeFile(path), QByteArray("x"));
        QVERIFY(isPlainFile(path));
        QCOMPARE(listDirectory(dir.path()).at(0).name, decoded);
        QVERIFY(::unlink(encodePath(path).constData()) == 0);
    }

    void longestName()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QString(251, u'k') + ".ini");
        writeWholeFile(file, "[Kovanci3]\r\n");
        writeWholeFile(file, "[Kovanci3]\r\nLanguage=1\r\n");
        QCOMPARE(contents(file), QByteArray("[Kovanci3]\r\nLanguage=1\r\n"));
        QCOMPARE(entries(dir.path()), QStringList({QFileInfo(file).fileName()}));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
