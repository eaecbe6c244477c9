// The restore from the command line: the checks it shares with the restore window, and the
// program itself started in a program folder of its own, restoring a folder, an archive with its
// password file and a Firebird backup, writing the restore log line there, and telling every
// refusal on standard error with a non-zero status.
#include "fbtestenv.h"
#include "testfiles.h"
#include "archive/zipengine.h"
#include "runs/oplog.h"
#include "runs/restorechecks.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace kx;
using namespace kxtest;

class TestRestoreCli : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    struct Result {
        int code = -1;
        QString out;
        QString err;
    };
    // Started from the test folder, without a controlling terminal: nothing is ever asked.
    Result restore(const QStringList &arguments)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir->path());
        p.setChildProcessModifier([] { ::setsid(); });
        p.start(path("program/korvanex-geri-yukle"), arguments);
        Result r;
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
            return r;
        r.code = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return r;
    }
    QStringList logLines() const
    {
        const QString log = path("program/restore2.kxk");
        return QFile::exists(log) ? QString::fromLatin1(contents(log)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                                  : QStringList();
    }
    std::array<QString, 7> lastLogLine() const
    {
        const QStringList lines = logLines();
        return lines.isEmpty() ? std::array<QString, 7>{} : parseLogLine(lines.last());
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(QDir().mkpath(path("program")));
        QVERIFY(QFile::copy(QStringLiteral(KX_RESTORE_PROGRAM), path("program/korvanex-geri-yukle")));
        QVERIFY(QFile::setPermissions(path("program/korvanex-geri-yukle"), QFile::ReadOwner | QFile::ExeOwner));
        put(path("yedek/a.txt"), "a");
        put(path("yedek/alt/b.txt"), "b");
        QVERIFY(QDir().mkpath(path("var")));
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    // Each check of the restore window and the command line, in the order they run.
    void checks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("restoredInto");
        const int go = int(RestoreCheck::Verdict::Go), stop = int(RestoreCheck::Verdict::Stop),
                  ask = int(RestoreCheck::Verdict::Overwrite);
        const QString folderQuestion = "Hedef dizin mevcut.\r\nIsleme devam ederseniz hedef dizinde bulunan dosyalarin uzerine "
                                       "geri yukleme yapilacaktir.\r\nGeri yukleme yapilsin mi?";
        QTest::newRow("folder: blank pattern") << "pattern" << "yedek" << "yeni" << false << stop
                                               << "Lutfen geri yuklenecek dosya tipini belirleyiniz." << "";
        QTest::newRow("folder: no source") << "folder" << "yok" << "yeni" << false << stop
                                           << "Kaynak dizin bulunamadi. Lutfen kontrol ediniz." << "";
        QTest::newRow("folder: target inside source") << "folder" << "yedek" << "yedek/alt/ic" << true << stop
                                                      << "Hedef dizin, kaynak dizin ya da onun icinde bir dizin olamaz." << "";
        QTest::newRow("folder: target there") << "folder" << "yedek" << "var" << false << stop << "Hedef dizin mevcut." << "";
        QTest::newRow("folder: target there, overwrite") << "folder" << "yedek" << "var" << true << ask << folderQuestion << "";
        QTest::newRow("zip: no archive") << "zip" << "yok.zip" << "yeni" << false << stop
                                         << "Geri yuklenecek dosya bulunamadi. Lutfen kontrol ediniz." << "";
        QTest::newRow("zip: target there") << "zip" << "a.zip" << "var" << false << stop
                                           << "Hedef dizin mevcut.\r\n Lutfen kontrol ediniz." << "";
        QTest::newRow("firebird: last missing field named") << "firebird-empty" << "" << "veri/x.fdb" << false << stop
                                                            << "Lutfen yedeklenecek dosyayi belirleyiniz." << "";
        QTest::newRow("firebird: other letter case there") << "firebird" << "db.fbk" << "veri/X.FDB" << false << stop
                                                           << "Hedef dosya mevcut." << "";
        QTest::newRow("firebird: other letter case, overwrite")
            << "firebird" << "db.fbk" << "veri/X.FDB" << true << ask
            << "Hedef dosya mevcut.\r\nIsleme devam ederseniz hedef dosyanin uzerine geri yukleme yapilacaktir.\r\nGeri "
               "yukleme yapilsin mi?"
            << "veri/x.fdb";
        QTest::newRow("firebird: new database") << "firebird" << "db.fbk" << "veri/y.fdb" << false << go << "" << "veri/y.fdb";
    }
    void checks()
    {
        QFETCH(QString, kind);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(bool, overwrite);
        QFETCH(int, verdict);
        QFETCH(QString, message);
        QFETCH(QString, restoredInto);
        put(path("a.zip"), "x");
        put(path("db.fbk"), "x");
        put(path("veri/x.fdb"), "canli");
        RestoreCheck check;
        if (kind.startsWith("firebird")) {
            const bool empty = kind.endsWith("empty");
            FirebirdRestoreParams p{empty ? QString() : path(source), path(target), empty ? QString() : "SYSDBA", "p", {}};
            check = checkFirebirdRestore(p, target, overwrite);
            if (!restoredInto.isEmpty())
                QCOMPARE(p.databaseFile, path(restoredInto));
        } else {
            FolderRestoreParams p;
            p.zipMode = kind == "zip";
            (p.zipMode ? p.archive : p.sourceFolder) = path(source);
            p.targetFolder = path(target);
            p.overwrite = overwrite;
            if (kind == "pattern")
                p.pattern = " ";
            check = p.zipMode ? checkZipRestore(p) : checkFolderRestore(p);
        }
        QCOMPARE(int(check.verdict), verdict);
        QCOMPARE(check.message.text(), message);
    }

    // A folder and an archive with its password restored; each writes its line into the restore
    // log beside the program, and a pipe gets plain lines, never one rewritten in place.
    void restoresAndLogs()
    {
        Result r = restore({"klasor", "yedek", path("geri")});
        QCOMPARE(r.code, 0);
        QCOMPARE(tree(path("geri")), QStringList({"a.txt", "alt", "alt/b.txt"}));
        auto cells = lastLogLine();
        QCOMPARE(cells[0], QStringLiteral("Geri YuklemeDosya"));
        QCOMPARE(cells[1], QStringLiteral("Manuel"));
        QCOMPARE(cells[4], path("yedek")); // made absolute
        QCOMPARE(cells[5], path("geri/"));
        QCOMPARE(cells[6], QStringLiteral("Basarili"));
        QVERIFY(r.out.contains("Basarili"));
        QVERIFY(!r.out.contains(u'\r'));

        packZip(path("arsiv.zip"), path("yedek"), {path("yedek/a.txt"), path("yedek/alt/b.txt")}, "Gizli1");
        put(path("parola.txt"), "Gizli1\r\nikinci satir\r\n");
        r = restore({"zip", path("arsiv.zip"), path("var"), "--password-file", path("parola.txt"), "--overwrite"});
        QCOMPARE(r.code, 0);
        QCOMPARE(contents(path("var/alt/b.txt")), QByteArray("b"));
        cells = lastLogLine();
        QCOMPARE(cells[0], QStringLiteral("Geri Yukleme(ZIP)"));
        QCOMPARE(cells[4], path("arsiv.zip"));
        QCOMPARE(cells[6], QStringLiteral("Basarili"));
        QCOMPARE(logLines().size(), 2);

        // Restored, but the log cannot take the line: a status of its own, and why.
        QVERIFY(QFile::remove(path("program/restore2.kxk")));
        QVERIFY(QDir().mkpath(path("program/restore2.kxk")));
        r = restore({"klasor", "yedek", "geri2"});
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains("restore2.kxk"), qPrintable(r.err));
        QCOMPARE(contents(path("geri2/a.txt")), QByteArray("a"));
    }

    // What the program says and its status: a usage mistake 2, a refusal or a failed restore 1
    // with the reason on standard error (a failed run's the one its log line gives).
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("logged");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "firebird BACKUP.fbk DATABASE.fdb --user U" << false;
        QTest::newRow("nothing") << QStringList{} << 2 << "Eksik arguman." << false;
        QTest::newRow("unknown option") << QStringList{"klasor", "yedek", "geri", "--sifre", "x"} << 2
                                        << "Bilinmeyen secenek: --sifre" << false;
        QTest::newRow("firebird without user") << QStringList{"firebird", "db.fbk", "db.fdb"} << 2 << "--user" << false;
        QTest::newRow("password for a folder") << QStringList{"klasor", "yedek", "geri", "--password-file", "p"} << 2
                                               << "--password-file" << false;
        QTest::newRow("missing source") << QStringList{"klasor", "yok", "geri"} << 1
                                        << "Kaynak dizin bulunamadi. Lutfen kontrol ediniz." << false;
        QTest::newRow("target inside source") << QStringList{"klasor", "yedek", "yedek/alt", "--overwrite"} << 1
                                              << "Hedef dizin, kaynak dizin ya da onun icinde bir dizin olamaz." << false;
        QTest::newRow("target there") << QStringList{"klasor", "yedek", "var"} << 1 << "Hedef dizin mevcut." << false;
        QTest::newRow("no password file") << QStringList{"zip", "arsiv.zip", "geri", "--password-file", "yok.txt"} << 1
                                          << "yok.txt" << false;
        QTest::newRow("wrong password") << QStringList{"zip", "arsiv.zip", "geri", "--password-file", "yanlis.txt"} << 1
                                        << "Basarisiz." << true;
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, said);
        QFETCH(bool, logged);
        packZip(path("arsiv.zip"), path("yedek"), {path("yedek/a.txt")}, "Gizli1");
        put(path("yanlis.txt"), "Yanlis\n");
        const Result r = restore(arguments);
        QCOMPARE(r.code, code);
        const QString &stream = code == 0 ? r.out : r.err;
        QVERIFY2(stream.contains(said), qPrintable(stream));
        if (code == 2)
            QVERIFY(r.err.contains("korvanex-geri-yukle zip ARCHIVE TARGET"));
        QCOMPARE(logLines().size(), logged ? 1 : 0);
        if (logged)
            QCOMPARE(r.err, lastLogLine()[6]);
    }

    // A Firebird backup restored through the server on this machine, names given relative to
    // the working folder; the same database named in other letters is the one overwritten, never
    // a second one beside it; a wrong password fails with the server's reason.
    void firebirdOnTheServer()
    {
        KX_REQUIRE_FB_ENV();
        const QString failure = createDatabase(path("kaynak.fdb"), {QStringLiteral("bir"), QStringLiteral("iki")});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        bool ok = false;
        const QString out = gbak("-b", path("kaynak.fdb"), path("kaynak.fbk"), &ok);
        QVERIFY2(ok, qPrintable(out));
        put(path("sifre"), fbPassword().toUtf8() + "\n");
        const QStringList login{"--user", fbUser(), "--password-file", "sifre"};

        Result r = restore(QStringList{"firebird", "kaynak.fbk", "geri/kaynak.fdb"} + login);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(databaseNames(path("geri/kaynak.fdb"), &ok), QStringList({"bir", "iki"}));
        auto cells = lastLogLine();
        QCOMPARE(cells[0], QStringLiteral("Firebird Geri Yukleme"));
        QCOMPARE(cells[4], path("kaynak.fbk"));
        QCOMPARE(cells[5], path("geri/kaynak.fdb"));
        QCOMPARE(cells[6], QStringLiteral("Basarili"));

        r = restore(QStringList{"firebird", "kaynak.fbk", "geri/KAYNAK.FDB"} + login);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("Hedef dosya mevcut."));
        r = restore(QStringList{"firebird", "kaynak.fbk", "geri/KAYNAK.FDB", "--overwrite"} + login);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(QDir(path("geri")).entryList(QDir::Files), QStringList({"kaynak.fdb"}));
        QCOMPARE(lastLogLine()[5], path("geri/kaynak.fdb"));

        put(path("yanlis"), "yanlis-parola\n");
        r = restore({"firebird", "kaynak.fbk", "geri/yeni.fdb", "--user", fbUser(), "--password-file", "yanlis"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("Basarisiz."), qPrintable(r.err));
        QCOMPARE(r.err, lastLogLine()[6]);
        QCOMPARE(logLines().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestRestoreCli)
#include "tst_restorecli.moc"
