// The restore request window: its pages and first values, every check in its order, the
// overwrite questions, and one real restore per page through the runs.
#include "fbtestenv.h"
#include "testfiles.h"
#include "core/service.h"
#include "archive/zipengine.h"
#include "runs/firebirdrestorerun.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/managementwindow.h"
#include "ui/restorewindow.h"
#include "ui/runnerwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using namespace kxtest;

class TestRestoreWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    std::unique_ptr<TAnaFormF> m_form;
    std::unique_ptr<TK_YedekGirF> m_window;

    TK_YedekGirF *window()
    {
        m_form = std::make_unique<TAnaFormF>(m_dir->filePath("program"), QString());
        m_window = std::make_unique<TK_YedekGirF>(*m_form);
        m_window->show();
        return m_window.get();
    }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    static QStringList texts(const QList<Dialogs::Shown> &shown)
    {
        QStringList out;
        for (const auto &s : shown)
            out.append(s.text);
        return out;
    }
    QStringList press(QPushButton *b)
    {
        b->click();
        return texts(Dialogs::takeShown());
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        TRunnerF::setTimings(0, 0, 1000);
        m_dir = new QTemporaryDir;
        QVERIFY(QDir().mkpath(path("program")));
    }
    void cleanup()
    {
        m_window.reset();
        m_form.reset();
        delete m_dir;
        m_dir = nullptr;
    }

    void firstValues()
    {
        TK_YedekGirF *w = window();
        QCOMPARE(w->windowTitle(), QStringLiteral("KORVANEX Yedekleme Servisi s3.02.11"));
        QCOMPARE(w->EditMASK->text(), QStringLiteral("*.*"));
        QCOMPARE(w->DirEditKAYNAK->text(), QDir::homePath() + "/KX_YEDEK");
        QCOMPARE(w->DirEditHEDEF->text(), QDir::homePath() + "/KORVANEX");
        QVERIFY(!w->CheckUZYAZDG->isChecked() && w->CheckALTDIZIN->isChecked());
        QCOMPARE(w->FilenameEdit1->text(), QDir::homePath() + "/KX_YEDEK/");
        QCOMPARE(w->EditUSER->text(), QStringLiteral("SYSDBA"));
        QCOMPARE(w->ComboEXT->currentText(), QStringLiteral("FDB"));
        // Shown again: the first pages.
        w->PageControl1->setCurrentIndex(1);
        w->PageControl2->setCurrentIndex(1);
        w->hide();
        w->show();
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(w->PageControl2->currentIndex(), 0);
        // Escape closes it.
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }

    void firebirdTargetFile()
    {
        TK_YedekGirF *w = window();
        w->DirectoryEdit1->setText("/veri/KORVANEX/");
        w->FilenameEdit1->setText("/yedek/DB.FBK");
        QCOMPARE(w->EditHDDOSYA->text(), QStringLiteral("/veri/KORVANEX/DB.FDB"));
        w->ComboEXT->setCurrentIndex(1);
        QCOMPARE(w->EditHDDOSYA->text(), QStringLiteral("/veri/KORVANEX/DB.GDB"));
        // The folder changed afterwards leaves the target as it was.
        w->DirectoryEdit1->setText("/baska/");
        QCOMPARE(w->EditHDDOSYA->text(), QStringLiteral("/veri/KORVANEX/DB.GDB"));
        QCOMPARE(firebirdRestoreTarget("/y/x.fbk", "/k.fbk_dir", "FDB"), QStringLiteral("/k.fbk_dir/x.FDB"));
        QCOMPARE(firebirdRestoreTarget("", "/k", "FDB"), QString());
        // The backup file's chooser offers Firebird backups first, every file second.
        QPushButton *chooser = w->findChild<QWidget *>("GroupFirebird")->findChild<QPushButton *>();
        QCOMPARE(chooser->text(), QStringLiteral("..."));
        chooser->click();
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].filter, QStringLiteral("Firebird Yedek Dosyalari (*.fbk *.FBK);;Tum Dosyalar (*)"));
    }

    void firebirdChecks()
    {
        TK_YedekGirF *w = window();
        w->EditUSER->clear();
        w->FilenameEdit1->clear();
        // Only the last missing field is named.
        QCOMPARE(press(w->sSpeedButton1), QStringList({"Lutfen yedeklenecek dosyayi belirleyiniz."}));
        w->EditUSER->setText("SYSDBA");
        w->EditPAS->setText("p");
        w->FilenameEdit1->setText(path("yok.fbk"));
        QCOMPARE(press(w->sSpeedButton1), QStringList({"Kaynak dosya bulunamadi. Lutfen kontrol ediniz."}));
        put(path("db.fbk"), "x");
        // The live database in other letters than the target the window makes: the same file.
        put(path("hedef/db.fdb"), "eski");
        w->DirectoryEdit1->setText(path("hedef"));
        w->FilenameEdit1->setText(path("db.fbk"));
        QCOMPARE(w->EditHDDOSYA->text(), path("hedef/db.FDB"));
        QCOMPARE(press(w->sSpeedButton1), QStringList({"Hedef dosya mevcut."}));
        w->CheckUZYAZ->setChecked(true);
        Dialogs::queueAnswer("no");
        QCOMPARE(press(w->sSpeedButton1).size(), 1);
        QVERIFY(m_form->runs().runs().isEmpty());
        // "Yes" restores over the file that is there, by its own name.
        QSignalSpy ended(&m_form->runs(), &RunController::runEnded);
        Dialogs::queueAnswer("yes");
        QCOMPARE(press(w->sSpeedButton1).size(), 1);
        QCOMPARE(m_form->runs().runs().size(), 1);
        QCOMPARE(qobject_cast<FirebirdRestoreRun *>(m_form->runs().runs().first())->params().databaseFile, path("hedef/db.fdb"));
        QVERIFY(ended.wait(60000));
        m_form->runs().running().set(RunKind::FirebirdRestore, true);
        QCOMPARE(press(w->sSpeedButton1), QStringList({"Su an geri yukleme yapiliyor. Lutfen daha sonra deneyiniz."}));
        m_form->runs().running().set(RunKind::FirebirdRestore, false);
    }

    void folderAndZipChecks()
    {
        TK_YedekGirF *w = window();
        QVERIFY(QDir().mkpath(path("yedek")));
        QVERIFY(QDir().mkpath(path("hedef")));
        w->EditMASK->setText("  ");
        QCOMPARE(press(w->sSpeedButton2), QStringList({"Lutfen geri yuklenecek dosya tipini belirleyiniz."}));
        w->EditMASK->setText("*.*");
        w->DirEditKAYNAK->setText(path("yok"));
        QCOMPARE(press(w->sSpeedButton2), QStringList({"Kaynak dizin bulunamadi. Lutfen kontrol ediniz."}));
        w->DirEditKAYNAK->setText(path("yedek"));
        // Into the source folder or a folder inside it: refused.
        for (const QString &inside : {path("yedek"), path("yedek/alt/ic")}) {
            w->DirEditHEDEF->setText(inside);
            QCOMPARE(press(w->sSpeedButton2), QStringList({"Hedef dizin, kaynak dizin ya da onun icinde bir dizin olamaz."}));
        }
        w->DirEditHEDEF->setText(path("hedef"));
        QCOMPARE(press(w->sSpeedButton2), QStringList({"Hedef dizin mevcut."}));
        w->CheckUZYAZDG->setChecked(true);
        Dialogs::queueAnswer("no");
        const QStringList asked = press(w->sSpeedButton2);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0], QStringLiteral("Hedef dizin mevcut.\r\nIsleme devam ederseniz hedef dizinde bulunan dosyalarin "
                                          "uzerine geri yukleme yapilacaktir.\r\nGeri yukleme yapilsin mi?"));
        QVERIFY(m_form->runs().runs().isEmpty());
        // While a folder restore runs: every check and the question first, the refusal last.
        m_form->runs().running().set(RunKind::FolderRestore, true);
        Dialogs::queueAnswer("yes");
        QCOMPARE(press(w->sSpeedButton2).last(), QStringLiteral("Su an geri yukleme yapiliyor.\r\nDaha sonra yeniden deneyiniz."));
        // The ZIP page is refused first of all.
        w->FileEditKAYNAK->setText(path("yok.Zip"));
        QCOMPARE(press(w->sSpeedButton3), QStringList({"Su an geri yukleme yapiliyor.\r\nDaha sonra yeniden deneyiniz."}));
        m_form->runs().running().set(RunKind::FolderRestore, false);
        QCOMPARE(press(w->sSpeedButton3), QStringList({"Geri yuklenecek dosya bulunamadi. Lutfen kontrol ediniz."}));
        put(path("a.Zip"), "x");
        w->FileEditKAYNAK->setText(path("a.Zip"));
        w->DirEditZHEDEF->setText(path("hedef"));
        QCOMPARE(press(w->sSpeedButton3), QStringList({"Hedef dizin mevcut.\r\n Lutfen kontrol ediniz."}));
    }

    void restoresThroughTheRuns()
    {
        TK_YedekGirF *w = window();
        RunController &runs = m_form->runs();
        QSignalSpy ended(&runs, &RunController::runEnded);
        // A folder.
        put(path("yedek/a.mdb"), "a");
        put(path("yedek/b.txt"), "b");
        w->EditMASK->setText("*.mdb");
        w->DirEditKAYNAK->setText(path("yedek"));
        w->DirEditHEDEF->setText(path("geri"));
        QVERIFY(press(w->sSpeedButton2).isEmpty());
        QVERIFY(ended.wait(10000));
        QCOMPARE(contents(path("geri/a.mdb")), QByteArray("a"));
        QVERIFY(!QFile::exists(path("geri/b.txt")));
        // An archive with its password.
        packZip(path("arsiv.Zip"), path("yedek"), {path("yedek/a.mdb"), path("yedek/b.txt")}, "Gizli1");
        w->FileEditKAYNAK->setText(path("arsiv.Zip"));
        w->DirEditZHEDEF->setText(path("acilan"));
        w->EditZIPPWD->setText("Gizli1");
        QVERIFY(press(w->sSpeedButton3).isEmpty());
        QVERIFY(ended.wait(10000));
        QCOMPARE(contents(path("acilan/b.txt")), QByteArray("b"));
        QCOMPARE(parseLogLine(restoreLog().lines().last())[0], QStringLiteral("Geri Yukleme(ZIP)"));
    }

    void firebirdRestoreOnTheServer()
    {
        KX_REQUIRE_FB_ENV();
        TK_YedekGirF *w = window();
        const QString failure = createDatabase(path("kaynak.fdb"), {QStringLiteral("bir"), QStringLiteral("iki")});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        bool ok = false;
        const QString out = gbak("-b", path("kaynak.fdb"), path("kaynak.fbk"), &ok);
        QVERIFY2(ok, qPrintable(out));
        w->DirectoryEdit1->setText(path("geri/"));
        w->FilenameEdit1->setText(path("kaynak.fbk"));
        w->EditUSER->setText(fbUser());
        w->EditPAS->setText(fbPassword());
        QCOMPARE(w->EditHDDOSYA->text(), path("geri/kaynak.FDB"));
        QSignalSpy ended(&m_form->runs(), &RunController::runEnded);
        QVERIFY(press(w->sSpeedButton1).isEmpty());
        QVERIFY(ended.wait(60000));
        QCOMPARE(databaseNames(path("geri/kaynak.FDB"), &ok), QStringList({"bir", "iki"}));
        QCOMPARE(parseLogLine(restoreLog().lines().last())[6], QStringLiteral("Basarili"));
    }

    // Opened from the tray: a new window each time, not modal; from the management window:
    // modal.
    void opening()
    {
        m_form = std::make_unique<TAnaFormF>(path("program"), QString());
        m_form->GeriYkleme2->trigger();
        m_form->GeriYkleme2->trigger();
        int windows = 0;
        for (QWidget *tw : QApplication::topLevelWidgets())
            if (qobject_cast<TK_YedekGirF *>(tw) && tw->isVisible()) {
                ++windows;
                QVERIFY(!tw->isModal());
                tw->close();
            }
        QCOMPARE(windows, 2);
        m_form->GenelYedekleme1Click();
        m_form->managementWindow()->ActionGeriYukleme->trigger();
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Modal);
        QCOMPARE(shown[0].text, QStringLiteral("K_YedekGirF"));
    }
};

QTEST_MAIN(TestRestoreWindow)
#include "tst_restorewindow.moc"
