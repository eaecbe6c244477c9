// Operation logs: the line format, reading lines back, and the file kept at 5000 lines that other
// processes may change between writes.
#include "core/codepage.h"
#include "platform/files.h"
#include "platform/filetail.h"
#include "runs/oplog.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace kx;

using Cells = std::array<QString, 7>;
Q_DECLARE_METATYPE(Cells)

namespace {

LogEntry entry(const QString &name)
{
    return {QStringLiteral("Klasör Yedekleme"), name, QStringLiteral("05.01.2024"), QStringLiteral("09:05:30"),
            QStringLiteral("/veri"), QStringLiteral("/yedek"), QStringLiteral("Başarılı")};
}

QStringList fileLines(const QString &path)
{
    return codepage::splitLines(readWholeFile(path));
}

QStringList lastOf(const QStringList &lines, qsizetype n)
{
    return lines.mid(std::max<qsizetype>(0, lines.size() - n));
}

// Numbered lines of about 60 bytes, each ended by `end`.
QByteArray numberedLines(int from, int count, const QByteArray &end = "\r\n")
{
    QByteArray out;
    for (int i = from; i < from + count; ++i)
        out += "MODUL=M|YEDEKADI=eski" + QByteArray::number(i) + "|DURUMU=Ba\xFE" "ar\xFD" "l\xFD" + end;
    return out;
}

} // namespace

class TestOpLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    OperationLog m_log;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("backup2.kxk"));
        QFile::remove(m_path);
        m_log.setPath(m_path);
    }

    void formatLine()
    {
        LogEntry e = entry(QStringLiteral("Muhasebe.nyd"));
        QCOMPARE(formatLogLine(e), QStringLiteral("MODUL=Klasör Yedekleme|YEDEKADI=Muhasebe.nyd|TARIH=05.01.2024|"
                                                  "SAAT=09:05:30|KAYNAK=/veri|HEDEF=/yedek|DURUMU=Başarılı"));
        // A multi-line status must not split the entry into several log lines.
        e.status = QStringLiteral("Hata:\r\nDisk dolu\nbitti");
        const QString line = formatLogLine(e);
        QVERIFY(line.endsWith(QStringLiteral("|DURUMU=Hata:  Disk dolu bitti")));
        QCOMPARE(codepage::splitLines(codepage::encode(line)).size(), 1);
    }

    void parseLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Cells>("cells");
        QTest::newRow("full") << formatLogLine(entry(QStringLiteral("A.nyd")))
                              << Cells{"Klasör Yedekleme", "A.nyd", "05.01.2024", "09:05:30", "/veri", "/yedek", "Başarılı"};
        QTest::newRow("keys in any case") << "modul=M|YedekAdi=N|durumu=D" << Cells{"M", "N", "", "", "", "", "D"};
        QTest::newRow("first key wins") << "MODUL=A|MODUL=B|SAAT=1|saat=2" << Cells{"A", "", "", "1", "", "", ""};
        QTest::newRow("module only") << "MODUL=X" << Cells{"X", "", "", "", "", "", ""};
        QTest::newRow("any order") << "HEDEF=/h|MODUL=M" << Cells{"M", "", "", "", "", "/h", ""};
        QTest::newRow("bar cuts the value") << "KAYNAK=/a|b|HEDEF=/h" << Cells{"", "", "", "", "/a", "/h", ""};
        QTest::newRow("equals sign kept") << "DURUMU=a=b" << Cells{"", "", "", "", "", "", "a=b"};
        QTest::newRow("no keys") << "rastgele metin" << Cells{};
    }
    void parseLine()
    {
        QFETCH(QString, line);
        QFETCH(Cells, cells);
        QCOMPARE(parseLogLine(line), cells);
    }

    void rowsNewestFirst()
    {
        const auto rows = logRowsNewestFirst({"MODUL=1", "MODUL=2", "MODUL=3"});
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0)[0], QStringLiteral("3"));
        QCOMPARE(rows.at(2)[0], QStringLiteral("1"));
    }

    void firstWriteCreatesOneLine()
    {
        const LogEntry e = entry(QStringLiteral("Şube.nyd"));
        m_log.write(e);
        // One CR LF line in the program's code page.
        QCOMPARE(readWholeFile(m_path), codepage::encode(formatLogLine(e)) + "\r\n");
        QVERIFY(readWholeFile(m_path).contains("\xDE" "ube.nyd"));
        QCOMPARE(m_log.lines(), QStringList{formatLogLine(e)});
        QCOMPARE(m_log.takeFailure(), QString());
    }

    void keepsNewest5000()
    {
        QStringList old;
        for (int i = 0; i < OperationLog::kMaxLines; ++i)
            old.append(QStringLiteral("MODUL=M|YEDEKADI=eski%1").arg(i));
        writeWholeFile(m_path, codepage::joinLines(old));
        m_log.write(entry(QStringLiteral("yeni")));
        const QStringList lines = fileLines(m_path);
        QCOMPARE(lines.size(), OperationLog::kMaxLines);
        QCOMPARE(lines.first(), QStringLiteral("MODUL=M|YEDEKADI=eski1"));
        QCOMPARE(lines.at(lines.size() - 2), old.last());
        QCOMPARE(lines.last(), formatLogLine(entry(QStringLiteral("yeni"))));
        QCOMPARE(m_log.lines(), lines);
    }

    // The end of a file cut into lines as splitLines cuts the whole file, whatever the blocks it
    // is read in, and a line that does not fit in the byte limit left out with all before it.
    void fileTail_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QStringList>("expected");
        const QByteArray mixed = "a\rb\nc\r\n\r\nd\r\r\ne\n\rf";
        QTest::newRow("empty file") << QByteArray() << 5 << qint64(100) << QStringList();
        QTest::newRow("one line end") << QByteArray("\r\n") << 5 << qint64(100) << QStringList{""};
        QTest::newRow("mixed ends, all") << mixed << 50 << qint64(100) << codepage::splitLines(mixed);
        QTest::newRow("mixed ends, last three") << mixed << 3 << qint64(100) << QStringList{"e", "", "f"};
        QTest::newRow("CR before CR LF") << QByteArray("x\r\r\ny\r\n") << 2 << qint64(100) << QStringList{"", "y"};
        QTest::newRow("line over the limit") << QByteArray("alt\r\n" + QByteArray(100, 'L') + "\r\nb\r\nc\n") << 9
                                             << qint64(20) << QStringList{"b", "c"};
        QTest::newRow("line starting at the limit") << QByteArray("aaaa\r\nbb\r\n") << 9 << qint64(4) << QStringList{"bb"};
        QTest::newRow("line one byte over") << QByteArray("aaaa\r\nbb\r\n") << 9 << qint64(3) << QStringList();
        QTest::newRow("endless last line") << QByteArray("a\r\n" + QByteArray(100, 'x')) << 9 << qint64(50)
                                           << QStringList();

        // Line ends of every kind and empty lines at random places.
        QByteArray random;
        QRandomGenerator rng(4711);
        const QByteArray ends[] = {"\r\n", "\r", "\n", "\r\n\r\n", "\n\r"};
        for (int i = 0; i < 3000; ++i)
            random += QByteArray(int(rng.bounded(12)), char('a' + i % 26)) + ends[rng.bounded(5)];
        QTest::newRow("random ends") << random << 700 << qint64(1 << 20)
                                     << lastOf(codepage::splitLines(random), 700);
    }
    void fileTail()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, maxLines);
        QFETCH(qint64, maxBytes);
        QFETCH(QStringList, expected);
        writeWholeFile(m_path, content);
        for (qint64 block : {1, 2, 3, 7, 64 * 1024}) {
            const FileTail tail = readFileTail(m_path, maxLines, maxBytes, block);
            QCOMPARE(codepage::splitLines(tail.bytes), expected);
            QVERIFY(content.endsWith(tail.bytes));
        }
    }

    // A log far beyond its 5000 lines, or with huge lines among its newest: only its end is read,
    // loading and writing keep the newest lines and the file keeps its exact form.
    void largeLogReadFromItsEnd_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<qint64>("maxRead");
        const QByteArray many = numberedLines(0, 200000); // about 12 MB
        const QStringList newest = lastOf(codepage::splitLines(many), OperationLog::kMaxLines);
        QTest::newRow("200000 lines") << many << newest << qint64(1 << 20);
        QTest::newRow("LF ends") << numberedLines(0, 20000, "\n")
                                 << lastOf(codepage::splitLines(numberedLines(0, 20000)), OperationLog::kMaxLines)
                                 << qint64(1 << 20);
        const QByteArray huge(OperationLog::kMaxBytes + 1000, 'X');
        QTest::newRow("huge line among the newest")
            << numberedLines(0, 100) + huge + "\r\n" + numberedLines(100, 10)
            << codepage::splitLines(numberedLines(100, 10)) << OperationLog::kMaxBytes + (1 << 20);
        QTest::newRow("huge last line") << numberedLines(0, 100) + huge << QStringList() << OperationLog::kMaxBytes + (1 << 20);
    }
    void largeLogReadFromItsEnd()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, kept);
        QFETCH(qint64, maxRead);
        writeWholeFile(m_path, content);
        m_log.load();
        QCOMPARE(m_log.lines(), kept);
        QVERIFY2(m_log.lastBytesRead() <= maxRead, qPrintable(QString::number(m_log.lastBytesRead())));

        m_log.write(entry(QStringLiteral("yeni")));
        const QStringList written = lastOf(kept + QStringList{formatLogLine(entry(QStringLiteral("yeni")))}, OperationLog::kMaxLines);
        QCOMPARE(readWholeFile(m_path), codepage::joinLines(written));
        QCOMPARE(m_log.lines(), written);
        QVERIFY2(m_log.lastBytesRead() <= maxRead, qPrintable(QString::number(m_log.lastBytesRead())));
        QCOMPARE(m_log.takeFailure(), QString());
    }

    void rereadsFileBeforeEachWrite()
    {
        m_log.write(entry(QStringLiteral("A")));
        // Another process appends a line between our writes.
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("MODUL=baska|YEDEKADI=X\r\n");
        f.close();
        m_log.write(entry(QStringLiteral("B")));
        QCOMPARE(fileLines(m_path), QStringList({formatLogLine(entry(QStringLiteral("A"))), "MODUL=baska|YEDEKADI=X",
                                                 formatLogLine(entry(QStringLiteral("B")))}));

        // The file deleted behind our back: a fresh file, and the copy follows it.
        QVERIFY(QFile::remove(m_path));
        m_log.write(entry(QStringLiteral("C")));
        const QStringList fresh{formatLogLine(entry(QStringLiteral("C")))};
        QCOMPARE(fileLines(m_path), fresh);
        QCOMPARE(m_log.lines(), fresh);
    }

    // A writer of another program holds the file and replaces it: our line waits for it and goes
    // into the new file, nothing of the other's is lost.
    void waitsForAnotherWriter()
    {
        m_log.write(entry(QStringLiteral("A")));
        const int other = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX), 0);
        std::thread ours([this] { m_log.write(entry(QStringLiteral("B"))); });
        const QByteArray theirs = readWholeFile(m_path) + "MODUL=baska|YEDEKADI=X\r\n";
        writeWholeFile(m_path, theirs);
        ::close(other);
        ours.join();
        QCOMPARE(fileLines(m_path), QStringList({formatLogLine(entry(QStringLiteral("A"))), "MODUL=baska|YEDEKADI=X",
                                                 formatLogLine(entry(QStringLiteral("B")))}));
    }

    void unwritableFileReportedOnce_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << "yok/backup2.kxk";
        QTest::newRow("path is a folder") << "klasor";
    }
    void unwritableFileReportedOnce()
    {
        QFETCH(QString, relative);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("klasor")));
        m_log.setPath(m_dir.filePath(relative));
        m_log.write(entry(QStringLiteral("A")));
        m_log.write(entry(QStringLiteral("B")));
        const QString failure = m_log.takeFailure();
        QVERIFY(!failure.isEmpty());
        QVERIFY2(failure.contains(relative), qPrintable(failure));
        QCOMPARE(m_log.takeFailure(), QString());
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("klasor"))).isDir());
    }

    void clearDeletesFile()
    {
        m_log.write(entry(QStringLiteral("A")));
        m_log.clear();
        QVERIFY(!QFileInfo::exists(m_path));
        QVERIFY(m_log.lines().isEmpty());
        m_log.clear(); // nothing left to delete is no failure
        m_log.write(entry(QStringLiteral("B")));
        QCOMPARE(fileLines(m_path).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestOpLog)
#include "tst_oplog.moc"
