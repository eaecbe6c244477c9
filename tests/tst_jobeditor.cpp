// The job editors and the file-type picker: new jobs and their files, the save-time checks,
// cancel, delete, rename, the dependent controls, the picker, and the editors' manual run.
#include "testfiles.h"
#include "testsystem.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/files.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/jobeditor.h"
#include "app/joblistmodel.h"
#include "ui/runnerwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

using namespace kx;
using namespace kxtest;

class TestJobEditor : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program;
    std::unique_ptr<TAnaFormF> m_form;

    void job(const QString &name, const QByteArray &text) { put(m_program + "/" + name, text); }
    QByteArray file(const QString &name) { return contents(m_program + "/" + name); }

    // An editor opened as the management window opens it.
    template <class E>
    std::unique_ptr<E> editor(int mode, const QString &name = QString(), const QString &group = QString())
    {
        m_form = std::make_unique<TAnaFormF>(m_program, QString());
        auto e = std::make_unique<E>(*m_form, QStringList{"Muhasebe"});
        e->setJobToOpen(name, group, mode == -1);
        e->FormShow();
        return e;
    }

    // One command as a button click runs it: a refusal ends it silently after its message.
    static QList<Dialogs::Shown> run(const std::function<void()> &command)
    {
        guarded(command);
        return Dialogs::takeShown();
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        TRunnerF::setTimings(0, 0, 1000);
        m_dir = new QTemporaryDir;
        m_program = m_dir->filePath("program");
        QVERIFY(QDir().mkpath(m_program));
        QVERIFY(QDir().mkpath(m_dir->filePath("kaynak")));
    }
    void cleanup()
    {
        m_form.reset();
        delete m_dir;
        m_dir = nullptr;
        Dialogs::takeShown();
    }

    void newFirebirdJobInKeyOrder()
    {
        // The job shown before the new one has last-run keys of its own: they stay its own.
        job("Stok.fyd", "AKTIF=True\r\nUSERNAME=SYSDBA\r\nSON_YEDEK_GUNU=45000\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        auto e = editor<TK_FBYedeklemeF>(0, "Stok.fyd", "<Yok>");
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("Stok.fyd"));
        e->YeniKayit();
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("OtoYedek1"));
        QVERIFY(e->EditYEDEKNAME->isEnabled());
        QVERIFY(!e->BitBtnYDADIDEG->isEnabled());
        QCOMPARE(e->EditUSER->text(), QStringLiteral("SYSDBA"));
        QTest::keyClicks(e->EditPAS, "masterkey");
        QVERIFY(run([&] { e->Kaydet(); }).isEmpty());
        const QString home = QDir::homePath();
        QCOMPARE(file("OtoYedek1.fyd"),
                 ("YEDEKSIL=0\r\nSILGUN=1\r\nAKTIF=True\r\nUSERNAME=SYSDBA\r\nUSERPWD=masterkey\r\nKAYNAK_DOSYA=" + home +
                  "/KORVANEX\r\nHEDEF_DIZIN=" + home +
                  "/KX_YEDEK\r\nUZERINE_YAZ=True\r\nYEDEK_ZAMANI=1\r\nSAAT_SURE=1\r\nGUN_SURE=1\r\nHAFTA_SURE=1\r\n"
                  "AY_SURE=1\r\nGHA_YEDEK_SAATI=0\r\nMSN_FILEDELETE=False\r\nPERYOT=1\r\nUNETYEDEK=False\r\n")
                     .toUtf8());
        QCOMPARE(m_form->MemoFBYEDEK, QStringList({"OtoYedek1.fyd", "Stok.fyd"}));
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("OtoYedek1.fyd"));
        QVERIFY(!e->EditYEDEKNAME->isEnabled());
        QVERIFY(e->BitBtnYDADIDEG->isEnabled());

        // The same name again is refused, the focus on the name box.
        e->YeniKayit();
        QTest::keyClicks(e->EditPAS, "x");
        const auto shown = run([&] { e->Kaydet(); });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Bilgi"));
        QCOMPARE(shown[0].text, QStringLiteral("OtoYedek1 bu yedekleme adi daha once kullanilmis"));
        QCOMPARE(e->focusWidget(), e->EditYEDEKNAME);
        QVERIFY(e->record().isNew());
    }

    void nameBoxAndNames()
    {
        auto e = editor<TK_FBYedeklemeF>(-1);
        e->EditYEDEKNAME->clear();
        QTest::keyClicks(e->EditYEDEKNAME, "Ana.Ka*sa?");
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("AnaKasa"));
        // Pasted (not typed) characters a file name cannot hold are refused at the save.
        QTest::keyClicks(e->EditPAS, "p");
        for (const QString &bad : {QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("a\tb"), QStringLiteral("a€€b")}) {
            e->EditYEDEKNAME->setText(bad == "a€€b" ? QStringLiteral("a") + QChar(0x4E2D) : bad);
            const auto shown = run([&] { e->Kaydet(); });
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith("Yedekleme adinda kullanilamayan bir karakter var:"), qPrintable(shown[0].text));
        }
        QVERIFY(QDir(m_program).entryList(QDir::Files).filter(".fyd").isEmpty());
    }

    void firebirdChecksInOrder_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("user name of blanks") << "USERNAME" << "   " << "Kullanici adini girmelisiniz.";
        QTest::newRow("no password") << "USERPWD" << "" << "Kullanici parolasini girmelisiniz.";
        QTest::newRow("no database") << "KAYNAK_DOSYA" << " " << "Kaynak dosyayi secmelisiniz.";
        QTest::newRow("no target") << "HEDEF_DIZIN" << "" << "Hedef dizini belirtiniz.";
        QTest::newRow("a field the code page cannot hold") << "ACIKLAMA" << QString(QChar(0x4E2D))
                                                           << "Bu alandaki bir karakter kaydedilemez: Aciklama";
    }
    void firebirdChecksInOrder()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, message);
        auto e = editor<TK_FBYedeklemeF>(-1);
        e->show();
        e->record().set("USERPWD", "p");
        e->record().set(key, value);
        const auto shown = run([&] { e->Kaydet(); });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, message);
        QCOMPARE(e->focusWidget(), e->controlOf(key));
        QVERIFY(e->record().isNew());
        QVERIFY(!QFile::exists(m_program + "/OtoYedek1.fyd"));
    }

    void folderChecks()
    {
        auto e = editor<TK_DosyaYedeklemeF>(-1);
        // The default source, home + "/KORVANEX", is not there.
        e->record().set("KAYNAK_DIZIN", m_dir->filePath("yok"));
        QCOMPARE(run([&] { e->Kaydet(); }).value(0).text, QStringLiteral("Kaynak dizin bulunamadi."));
        e->record().set("KAYNAK_DIZIN", m_dir->filePath("kaynak"));
        e->record().setFlag("ZIP_YEDEKLE", true);
        e->record().set("ZIP_PAROLA1", "Gizli");
        e->record().set("ZIP_PAROLA2", "gizli");
        QCOMPARE(run([&] { e->Kaydet(); }).value(0).text, QStringLiteral("Zip dosyasi sifreleri ayni olmalidir"));
        QCOMPARE(e->focusWidget(), e->EditPWD1);
        // With zip off the passwords are not compared, and they are kept.
        e->record().setFlag("ZIP_YEDEKLE", false);
        QVERIFY(run([&] { e->Kaydet(); }).isEmpty());
        const JobFile saved = JobFile::load(m_program + "/OtoYedek1.nyd");
        QCOMPARE(saved.value("ZIP_PAROLA1"), QStringLiteral("Gizli"));
        QCOMPARE(saved.value("ZIP_YEDEKLE"), QStringLiteral("False"));
        QCOMPARE(saved.value("DOSYA_TURU1"), QStringLiteral("*.*"));
        QCOMPARE(saved.lines().first(), QStringLiteral("AKTIF=True"));
    }

    // A description change writes the file, keeps the last-run keys and rescans nothing; a group
    // change rescans and keeps the job shown; clearing the second target removes its key.
    void savingAStoredJob()
    {
        job("a.nyd", "AKTIF=True\r\nKAYNAK_DIZIN=" + m_dir->filePath("kaynak").toUtf8() +
                         "\r\nHEDEF_DIZIN=/h\r\nHEDEFDIZIN2=/h2\r\nSON_YEDEK_GUNU=45000\r\nSON_YEDEK_SAATI=0,5\r\n"
                         "PERYOT=1\r\nUNETYEDEK=False\r\nEXTRA=kalir\r\n");
        job("b.nyd", "AKTIF=True\r\nGRUBU=Muhasebe\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        auto e = editor<TK_DosyaYedeklemeF>(0, "a.nyd", "<Yok>");
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("a.nyd"));
        job("c.nyd", "AKTIF=True\r\n"); // appears on disk: only a rescan lists it
        QTest::keyClicks(e->EditACIKLAMA, "yeni aciklama");
        QVERIFY(e->record().isEditing());
        QVERIFY(e->ButtonKaydet->isEnabled() && !e->ButtonYeni->isEnabled());
        QVERIFY(run([&] { e->Kaydet(); }).isEmpty());
        JobFile a = JobFile::load(m_program + "/a.nyd");
        QCOMPARE(a.value("ACIKLAMA"), QStringLiteral("yeni aciklama"));
        QCOMPARE(a.value("SON_YEDEK_GUNU"), QStringLiteral("45000"));
        QCOMPARE(a.value("EXTRA"), QStringLiteral("kalir"));
        QCOMPARE(m_form->MemoDOSYAYD, QStringList({"a.nyd", "b.nyd"}));

        e->EditHEDEF2->clear();
        emit e->EditHEDEF2->textEdited(QString());
        e->DBComboBox1->setEditText("Muhasebe");
        QVERIFY(run([&] { e->Kaydet(); }).isEmpty());
        a = JobFile::load(m_program + "/a.nyd");
        QVERIFY(!a.contains("HEDEFDIZIN2"));
        QCOMPARE(a.value("GRUBU"), QStringLiteral("Muhasebe"));
        QCOMPARE(m_form->MemoDOSYAYD, QStringList({"a.nyd", "b.nyd", "c.nyd"}));
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("a.nyd"));
        QCOMPARE(e->model().currentName(), QStringLiteral("a.nyd"));
        QCOMPARE(e->record().value("GRUBU"), QStringLiteral("Muhasebe"));
    }

    void renames()
    {
        job("Stok.fyd", "AKTIF=True\r\nUSERNAME=SYSDBA\r\nUSERPWD=p\r\nKAYNAK_DOSYA=/db/s.fdb\r\nHEDEF_DIZIN=/h\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        job("Kasa.fyd", "AKTIF=True\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        auto e = editor<TK_FBYedeklemeF>(0, "Stok.fyd", "<Yok>");
        Dialogs::queueAnswer("Depo");
        QVERIFY(run([&] { e->AdDegistir(); }).size() == 1); // the input dialog
        QVERIFY(QFile::exists(m_program + "/Depo.fyd"));
        QVERIFY(!QFile::exists(m_program + "/Stok.fyd"));
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("Depo.fyd"));
        QCOMPARE(m_form->MemoFBYEDEK, QStringList({"Depo.fyd", "Kasa.fyd"}));

        // The same name: nothing happens. A dot, a slash, an existing job: refused.
        Dialogs::queueAnswer("Depo");
        QCOMPARE(run([&] { e->AdDegistir(); }).size(), 1);
        const std::pair<const char *, const char *> refused[] = {
            {"De.po", "Dosya ismine uzanti vermeyiniz."},
            {"De/po", "Yedekleme adinda kullanilamayan bir karakter var: \"/\""},
            {"  ", "Lutfen yedekleme adini giriniz."},
            {"Kasa", "Bu isimle kayitli yedekleme mevcut. Lutfen kontrol ediniz."}};
        for (const auto &[name, message] : refused) {
            Dialogs::queueAnswer(QLatin1String(name));
            const auto shown = run([&] { e->AdDegistir(); });
            QCOMPARE(shown.size(), 2);
            QCOMPARE(shown[1].text, QLatin1String(message));
            QVERIFY(QFile::exists(m_program + "/Depo.fyd"));
        }

        // Unsaved changes are saved or dropped before the file moves; Cancel stops the rename.
        QTest::keyClicks(e->EditACIKLAMA, "degisti");
        Dialogs::queueAnswer("cancel");
        QCOMPARE(run([&] { e->AdDegistir(); }).size(), 1);
        QVERIFY(QFile::exists(m_program + "/Depo.fyd"));
        Dialogs::queueAnswer("yes");
        Dialogs::queueAnswer("Ambar");
        QCOMPARE(run([&] { e->AdDegistir(); }).size(), 2);
        QCOMPARE(JobFile::load(m_program + "/Ambar.fyd").value("ACIKLAMA"), QStringLiteral("degisti"));
        QVERIFY(!QFile::exists(m_program + "/Depo.fyd"));

        // A rename the file system refuses (the file went meanwhile) is told by this editor too.
        QVERIFY(QFile::remove(m_program + "/Ambar.fyd"));
        Dialogs::queueAnswer("Yeni");
        const auto shown = run([&] { e->AdDegistir(); });
        QCOMPARE(shown.value(1).text, QStringLiteral("Yedekleme adi degistirilemedi. Dosya kullanimda olabilir!."));
    }

    // The name box always names the job the record shows.
    void cancelAndDelete()
    {
        job("Tek.nyd", "AKTIF=True\r\nKAYNAK_DIZIN=/k\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        auto e = editor<TK_DosyaYedeklemeF>(0, "Tek.nyd", "<Yok>");
        e->YeniKayit();
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("OtoYedek1"));
        // "Sil" on a new job abandons it, asks nothing, deletes nothing.
        QVERIFY(run([&] { e->Sil(); }).isEmpty());
        QVERIFY(QFile::exists(m_program + "/Tek.nyd"));
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("Tek.nyd"));
        QCOMPARE(e->record().value("KAYNAK_DIZIN"), QStringLiteral("/k"));
        e->YeniKayit();
        e->IptalEt();
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("Tek.nyd"));
        QVERIFY(e->BitBtnYDADIDEG->isEnabled());

        // "No" deletes nothing; "Yes" deletes the only job: empty record, empty name, no rename.
        Dialogs::queueAnswer("no");
        QCOMPARE(run([&] { e->Sil(); }).size(), 1);
        QVERIFY(QFile::exists(m_program + "/Tek.nyd"));
        Dialogs::queueAnswer("yes");
        run([&] { e->Sil(); });
        QVERIFY(!QFile::exists(m_program + "/Tek.nyd"));
        QVERIFY(e->record().isEmpty());
        QCOMPARE(e->EditYEDEKNAME->text(), QString());
        QVERIFY(!e->BitBtnYDADIDEG->isEnabled());
        QVERIFY(!e->ButtonSil->isEnabled());
        // Typing into any bound control starts a new job with its defaults.
        QTest::keyClicks(e->EditACIKLAMA, "x");
        QVERIFY(e->record().isNew());
        QCOMPARE(e->record().value("DOSYA_TURU1"), QStringLiteral("*.*"));
        QCOMPARE(e->record().value("ACIKLAMA"), QStringLiteral("x"));
    }

    void dependentControls()
    {
        auto e = editor<TK_DosyaYedeklemeF>(-1);
        e->show();
        QVERIFY(e->GroupSilme->isVisible());
        QVERIFY(!e->EditSAAT->isVisible());
        QCOMPARE(e->LabelZAMAN->text(), QStringLiteral("bir yedekle"));
        QVERIFY(!e->LabelX->isVisible()); // "Hicbir yedek dosyasini silme"
        e->ComboSIL->setCurrentIndex(2);
        emit e->ComboSIL->activated(2);
        QVERIFY(e->LabelX->isVisible() && e->EditSILGUN->isVisible());
        e->ComboZAMAN->setCurrentIndex(1);
        emit e->ComboZAMAN->activated(1);
        QVERIFY(!e->GroupSilme->isVisible());
        QVERIFY(e->EditSAAT->isVisible() && e->LabelDeYedekle->isVisible());
        QCOMPARE(e->LabelZAMAN->text(), QStringLiteral("bir; saat"));
        QCOMPARE(e->record().value("YEDEK_ZAMANI"), QStringLiteral("2"));

        // Zip off hides its passwords, the messenger check box and panel; their values stay.
        QVERIFY(!e->GroupParola->isVisible() && !e->CheckMessenger->isVisible() && !e->PanelMessenger->isVisible());
        e->CheckZIP->click();
        QVERIFY(e->GroupParola->isVisible() && e->CheckMessenger->isVisible() && !e->PanelMessenger->isVisible());
        e->CheckMessenger->click();
        QVERIFY(e->PanelMessenger->isVisible());
        QTest::keyClicks(e->EditMSNIP, "10.0.0.9");
        e->CheckZIP->click();
        QVERIFY(!e->GroupParola->isVisible() && !e->CheckMessenger->isVisible() && !e->PanelMessenger->isVisible());
        e->record().set("KAYNAK_DIZIN", m_dir->filePath("kaynak"));
        e->EditSAAT->setTime(QTime(2, 0));
        QVERIFY(run([&] { e->Kaydet(); }).isEmpty());
        const JobFile saved = JobFile::load(m_program + "/OtoYedek1.nyd");
        QCOMPARE(saved.value("MSN_IP"), QStringLiteral("10.0.0.9"));
        QCOMPARE(saved.value("UNETYEDEK"), QStringLiteral("True"));
        QCOMPARE(saved.value("ZIP_YEDEKLE"), QStringLiteral("False"));
        QCOMPARE(saved.value("YEDEKSIL"), QStringLiteral("2"));
        QCOMPARE(parseNumber(saved.value("GHA_YEDEK_SAATI")).value_or(0) * 24, 2.0);
    }

    // A time typed into the box the usual ways is the time saved; a text that cannot be a time
    // is refused at the save, naming the field, and the file keeps the time it had.
    void typingATime_data()
    {
        QTest::addColumn<QString>("before"); // "home" or "all": where the typing starts
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("hours");   // in the saved file; -1: refused
        QTest::newRow("over the hours") << "home" << "2200" << 22.0;
        QTest::newRow("over everything") << "all" << "22:15" << 22.25;
        QTest::newRow("hours and minutes, one digit each") << "all" << "9:5" << 9 + 5 / 60.0;
        QTest::newRow("hours alone") << "all" << "7" << 7.0;
        QTest::newRow("minutes only over the old ones") << "end" << "\b\b45" << 2.75;
        QTest::newRow("no such hour") << "all" << "93" << -1.0;
        QTest::newRow("no such minute") << "all" << "12:75" << -1.0;
        QTest::newRow("nothing") << "all" << "\b" << -1.0;
    }
    void typingATime()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(double, hours);
        job("a.nyd", "AKTIF=True\r\nKAYNAK_DIZIN=" + m_dir->filePath("kaynak").toUtf8() +
                         "\r\nHEDEF_DIZIN=/h\r\nPERYOT=1\r\nYEDEK_ZAMANI=2\r\nGHA_YEDEK_SAATI=0,0833333333333333\r\nUNETYEDEK=False\r\n");
        auto e = editor<TK_DosyaYedeklemeF>(0, "a.nyd", "<Yok>");
        e->show();
        QCOMPARE(e->EditSAAT->text(), QStringLiteral("02:00"));
        e->EditSAAT->setFocus();
        QTest::keyClick(e->EditSAAT, before == "home" ? Qt::Key_Home : Qt::Key_End);
        if (before == "all")
            e->EditSAAT->selectAll();
        for (QChar c : typed) {
            if (c == u'\b')
                QTest::keyClick(e->EditSAAT, Qt::Key_Backspace);
            else
                QTest::keyClicks(e->EditSAAT, QString(c));
        }
        QVERIFY(e->record().isEditing());
        const QList<Dialogs::Shown> shown = run([&] { e->Kaydet(); });
        const double saved = parseNumber(JobFile::load(m_program + "/a.nyd").value("GHA_YEDEK_SAATI")).value_or(-1) * 24;
        if (hours < 0) {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown.first().text.startsWith(QStringLiteral("Yedekleme Saati alanindaki")), qPrintable(shown.first().text));
            QVERIFY(e->record().isEditing());
            QCOMPARE(qRound(saved * 60), 120);
        } else {
            QVERIFY(shown.isEmpty());
            QCOMPARE(qRound(saved * 60), qRound(hours * 60));
        }
    }

    void picker()
    {
        auto e = editor<TK_DosyaYedeklemeF>(-1);
        {
            TK_DosyaTuruF p(e->record(), "baslik");
            QCOMPARE(p.box(0)->text(), QStringLiteral("*.*"));
            for (int i = 1; i < 10; ++i)
                QCOMPARE(p.box(i)->text(), QString());
        }
        // On a stored job: emptied, the first box falls back to "*.*", the record is being edited
        // and "Iptal Et" brings the masks back.
        job("a.nyd", "AKTIF=True\r\nDOSYA_TURU1=*.mdb\r\nDOSYA_TURU2=*.doc\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        e = editor<TK_DosyaYedeklemeF>(0, "a.nyd", "<Yok>");
        Dialogs::setModalHandler([](QDialog *d) {
            auto *p = static_cast<TK_DosyaTuruF *>(d);
            for (int i = 0; i < 2; ++i) {
                p->box(i)->selectAll();
                QTest::keyClick(p->box(i), Qt::Key_Delete);
            }
            p->reject(); // Esc
            return 0;
        });
        e->YedeklenecekDosyalar();
        QCOMPARE(e->record().value("DOSYA_TURU1"), QStringLiteral("*.*"));
        QCOMPARE(e->record().value("DOSYA_TURU2"), QString());
        QVERIFY(e->record().isEditing());
        e->IptalEt();
        QCOMPARE(e->record().value("DOSYA_TURU1"), QStringLiteral("*.mdb"));
        QCOMPARE(e->record().value("DOSYA_TURU2"), QStringLiteral("*.doc"));
        // Closed without a change: the record stays as it was.
        Dialogs::setModalHandler([](QDialog *d) {
            static_cast<TK_DosyaTuruF *>(d)->ButtonKapat->click();
            return 1;
        });
        e->YedeklenecekDosyalar();
        QVERIFY(!e->record().isEditing());
        // Only box 5 filled: the masks stay as they are.
        Dialogs::setModalHandler([](QDialog *d) {
            auto *p = static_cast<TK_DosyaTuruF *>(d);
            for (int i = 0; i < 2; ++i) {
                p->box(i)->selectAll();
                QTest::keyClick(p->box(i), Qt::Key_Delete);
            }
            QTest::keyClicks(p->box(4), "*.txt");
            p->accept();
            return 1;
        });
        e->YedeklenecekDosyalar();
        QCOMPARE(e->record().value("DOSYA_TURU1"), QString());
        QCOMPARE(e->record().value("DOSYA_TURU5"), QStringLiteral("*.txt"));
    }

    // Closing while editing asks; Cancel keeps the window, No drops the changes and closes.
    void closeWhileEditing()
    {
        auto e = editor<TK_DosyaYedeklemeF>(-1);
        e->show();
        Dialogs::queueAnswer("cancel");
        QVERIFY(!e->close());
        QVERIFY(e->isVisible());
        QCOMPARE(Dialogs::takeShown().value(0).text, QStringLiteral("Kart uzerindeki degisiklikleri kaydetmek ister misiniz?"));
        Dialogs::queueAnswer("no");
        QTest::keyClick(e.get(), Qt::Key_Escape);
        QVERIFY(!e->isVisible());
        QVERIFY(!e->record().isEditing());
        QVERIFY(QDir(m_program).entryList({"*.nyd"}).isEmpty());
    }

    void folderButtons()
    {
        auto e = editor<TK_DosyaYedeklemeF>(0);
        QVERIFY(e->record().isEmpty());
        Dialogs::queueAnswer(""); // cancelled: nothing
        e->chooseFolder("HEDEF_DIZIN");
        QVERIFY(e->record().isEmpty());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Hedef dizini belirtiniz."));
        QCOMPARE(shown[0].text, QDir::homePath() + "/KX_YEDEK");
        Dialogs::queueAnswer(m_dir->filePath("kaynak"));
        e->chooseFolder("KAYNAK_DIZIN");
        QVERIFY(e->record().isNew());
        QCOMPARE(e->EditKAYNAK->text(), m_dir->filePath("kaynak"));
        QCOMPARE(e->record().value("KAYNAK_DIZIN"), m_dir->filePath("kaynak"));
    }

    // A save that fails, refused by the name rule or by the file system, leaves the job being
    // edited with what was typed; the job shown before is not touched, and "Simdi Yedekle" runs
    // nothing.
    void failedSave_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("newJob");
        QTest::addColumn<bool>("readOnlyProgramFolder");
        QTest::addColumn<QString>("name");
        const QString tooLong(300, u'U');
        QTest::newRow("new folder job, name too long") << true << true << false << tooLong;
        QTest::newRow("new Firebird job, name too long") << false << true << false << tooLong;
        QTest::newRow("new folder job, read-only program folder") << true << true << true << "Yeni";
        QTest::newRow("new Firebird job, read-only program folder") << false << true << true << "Yeni";
        QTest::newRow("changed folder job, read-only program folder") << true << false << true << "Buyuk.nyd";
        QTest::newRow("changed Firebird job, read-only program folder") << false << false << true << "Buyuk.fyd";
    }
    void failedSave()
    {
        QFETCH(bool, folder);
        QFETCH(bool, newJob);
        QFETCH(bool, readOnlyProgramFolder);
        QFETCH(QString, name);
        const QByteArray target = "HEDEF_DIZIN=" + m_dir->filePath("hedef").toUtf8() + "\r\n";
        const QString shownBefore = folder ? "Buyuk.nyd" : "Buyuk.fyd";
        job(shownBefore, "AKTIF=True\r\nPERYOT=1\r\nUNETYEDEK=False\r\n" + target
                             + (folder ? "KAYNAK_DIZIN=" + m_dir->filePath("kaynak").toUtf8() + "\r\nDOSYA_TURU1=*.*\r\n"
                                       : QByteArray("USERNAME=SYSDBA\r\nUSERPWD=p\r\nKAYNAK_DOSYA=/yok/b.fdb\r\n")));
        put(m_dir->filePath("kaynak/x.txt"), "x");
        const QByteArray before = file(shownBefore);
        std::unique_ptr<TJobEditorF> e;
        if (folder)
            e = editor<TK_DosyaYedeklemeF>(0, shownBefore, "<Yok>");
        else
            e = editor<TK_FBYedeklemeF>(0, shownBefore, "<Yok>");
        QCOMPARE(e->EditYEDEKNAME->text(), shownBefore);
        if (newJob) {
            e->YeniKayit();
            e->EditYEDEKNAME->setText(name);
            if (folder)
                e->record().set("KAYNAK_DIZIN", m_dir->filePath("kaynak"));
            else
                QTest::keyClicks(e->EditPAS, "masterkey");
        }
        QTest::keyClicks(e->EditACIKLAMA, "yeni is");

        std::unique_ptr<ReadOnlyMount> readOnly;
        if (readOnlyProgramFolder) {
            readOnly = std::make_unique<ReadOnlyMount>(m_program);
            if (!readOnly->mounted)
                QSKIP("a read-only mount needs root");
        }
        const auto shown = run([&] { e->Kaydet(); });
        QCOMPARE(shown.size(), 1);
        if (readOnlyProgramFolder) {
            QCOMPARE(shown[0].kind, Dialogs::Kind::Error);
        } else {
            QCOMPARE(shown[0].kind, Dialogs::Kind::Information);
            QVERIFY2(shown[0].text.startsWith("Yedekleme adi cok uzun"), qPrintable(shown[0].text));
            QCOMPARE(e->focusWidget(), e->EditYEDEKNAME);
        }
        // Still being edited, with the user's input.
        QCOMPARE(e->record().isNew(), newJob);
        QVERIFY(e->record().isEditing());
        QVERIFY(e->ButtonKaydet->isEnabled());
        QCOMPARE(e->EditYEDEKNAME->isEnabled(), newJob);
        QCOMPARE(e->EditYEDEKNAME->text(), name);
        QCOMPARE(e->record().value("ACIKLAMA"), QStringLiteral("yeni is"));
        QCOMPARE(e->EditACIKLAMA->text(), QStringLiteral("yeni is"));

        QCOMPARE(run([&] { e->YedeklemeBaslat(); }).value(0).text, QStringLiteral("Oncelikle kaydi tamamlayiniz."));
        QVERIFY(m_form->runs().runs().isEmpty());
        readOnly.reset();
        QCOMPARE(file(shownBefore), before);
        QCOMPARE(QDir(m_program).entryList({"*.nyd", "*.fyd"}, QDir::Files), QStringList{shownBefore});
        QVERIFY(!QFileInfo::exists(m_dir->filePath("hedef")));
    }

    // A folder job whose target is its source or lies inside it is told so at the save, and saved.
    void targetInsideSource_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("target2");
        QTest::addColumn<QString>("warned"); // the captions named, empty: no warning
        QTest::newRow("target below the source, not made yet") << "kaynak/yedek" << "" << "Hedef Dizin";
        QTest::newRow("second target is the source") << "hedef" << "kaynak/" << "Hedef Dizin 2";
        QTest::newRow("both") << "kaynak/a" << "kaynak/b" << "Hedef Dizin, Hedef Dizin 2";
        QTest::newRow("beside the source, a common prefix") << "kaynak2" << "hedef" << "";
    }
    void targetInsideSource()
    {
        QFETCH(QString, target);
        QFETCH(QString, target2);
        QFETCH(QString, warned);
        auto e = editor<TK_DosyaYedeklemeF>(-1);
        e->record().set("KAYNAK_DIZIN", m_dir->filePath("kaynak"));
        e->record().set("HEDEF_DIZIN", m_dir->filePath(target));
        if (!target2.isEmpty())
            e->record().set("HEDEFDIZIN2", m_dir->filePath(target2));
        const auto shown = run([&] { e->Kaydet(); });
        if (warned.isEmpty()) {
            QVERIFY(shown.isEmpty());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].kind, Dialogs::Kind::Information);
            QCOMPARE(shown[0].text,
                     warned + " kaynak dizinle ayni ya da onun icinde; yedekler yedeklenen dizinde birikir.");
        }
        QVERIFY(!e->record().isEditing());
        QCOMPARE(e->EditYEDEKNAME->text(), QStringLiteral("OtoYedek1.nyd"));
        QCOMPARE(JobFile::load(m_program + "/OtoYedek1.nyd").value("HEDEF_DIZIN"), m_dir->filePath(target));
    }

    // "Simdi Yedekle" of an editor: refused without a stored job or with changes not saved;
    // otherwise the job shown runs under its own name.
    void backUpNow()
    {
        auto e = editor<TK_DosyaYedeklemeF>(-1);
        QCOMPARE(run([&] { e->YedeklemeBaslat(); }).value(0).text, QStringLiteral("Oncelikle yedek kaydi olusturunuz."));
        job("a.nyd", "AKTIF=True\r\nKAYNAK_DIZIN=" + m_dir->filePath("kaynak").toUtf8() + "\r\nHEDEF_DIZIN=" +
                         m_dir->filePath("hedef").toUtf8() + "\r\nDOSYA_TURU1=*.*\r\nPERYOT=1\r\nUNETYEDEK=False\r\n");
        put(m_dir->filePath("kaynak/x.txt"), "x");
        e = editor<TK_DosyaYedeklemeF>(0, "a.nyd", "<Yok>");
        QTest::keyClicks(e->EditACIKLAMA, "z");
        QCOMPARE(run([&] { e->YedeklemeBaslat(); }).value(0).text, QStringLiteral("Oncelikle kaydi tamamlayiniz."));
        QVERIFY(run([&] { e->Kaydet(); }).isEmpty());
        QSignalSpy ended(&m_form->runs(), &RunController::runEnded);
        QVERIFY(run([&] { e->YedeklemeBaslat(); }).isEmpty());
        QVERIFY(JobFile::load(m_program + "/a.nyd").contains("SON_YEDEK_GUNU"));
        QVERIFY(ended.wait(10000));
        const auto line = parseLogLine(backupLog().lines().last());
        QCOMPARE(line[0], QStringLiteral("Manuel Yedekleme"));
        QCOMPARE(line[1], QStringLiteral("a.nyd"));
    }
};

QTEST_MAIN(TestJobEditor)
#include "tst_jobeditor.moc"
