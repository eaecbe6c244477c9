// The "&Araclar" menu built from the tool files, its menu editor and tool dialog, the version
// check window against a loopback server, and both wired into the management window.
#include "testfiles.h"
#include "testhttp.h"
#include "core/service.h"
#include "ui/anaform.h"
#include "ui/appicon.h"
#include "ui/dialogs.h"
#include "ui/toolsmenu.h"
#include "ui/managementwindow.h"
#include "ui/versioncheckwindow.h"

#include <QCheckBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QStyle>
#include <QTest>
#include <QtEndian>

using namespace kx;
using namespace kxtest;

namespace {

QByteArray record(const QByteArray &caption, const QByteArray &hint, qint32 image, const QByteArray &shortCut,
                  const QByteArray &fileName)
{
    return encodeToolRecord({QString::fromLatin1(caption), QString::fromLatin1(hint), image, QString::fromLatin1(shortCut),
                             QString::fromLatin1(fileName)});
}

QString marked(const QString &text)
{
    return u'<' + text + u'>';
}

QList<Dialogs::Shown> shownOf(Dialogs::Kind kind)
{
    QList<Dialogs::Shown> out;
    for (const Dialogs::Shown &s : Dialogs::takeShown())
        if (s.kind == kind)
            out.append(s);
    return out;
}

} // namespace

class TestToolWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QMenu *m_menu = nullptr;
    QList<QIcon> m_images;
    std::unique_ptr<TKxAraclar> m_tools;
    QStringList m_translatedWindows; // the folded texts a window showed its translation

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A component as the management window sets it up: declared entries first, messages marked
    // so a translated text can be told from an untranslated one.
    void makeTools()
    {
        m_tools = std::make_unique<TKxAraclar>();
        m_tools->SbtFileName = path("AraclarSabit.Ini");
        m_tools->TnmFileName = path("AraclarTanim.Ini");
        m_tools->MenuItem = m_menu;
        m_tools->ImageList = &m_images;
        m_tools->messageTranslate = marked;
        m_tools->windowTranslate = [this](QObject *w) {
            for (auto *l : w->findChildren<QLabel *>())
                m_translatedWindows.append(l->text());
            for (auto *b : w->findChildren<QPushButton *>())
                m_translatedWindows.append(b->text());
        };
        m_tools->Caption = QStringLiteral("Ana Pencere");
    }
    QStringList menuTexts() const
    {
        QStringList out;
        for (QAction *a : m_menu->actions())
            out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        Dialogs::takeShown();
        m_dir = new QTemporaryDir;
        m_menu = new QMenu;
        m_menu->addAction(QStringLiteral("Araclar Menusunu &Duzenle"));
        m_menu->addSeparator();
        m_images.clear();
        for (int i = 0; i < 40; ++i) {
            QPixmap p(4, 4);
            p.fill(QColor::fromHsv(i * 9, 255, 255));
            m_images.append(QIcon(p));
        }
        m_translatedWindows.clear();
        makeTools();
    }
    void cleanup()
    {
        Dialogs::setModalHandler(nullptr);
        m_tools.reset();
        delete m_menu;
        delete m_dir;
        VersionRequest::setTimeoutMs(15000);
        TSurumKontrol::setWebServicePage(QString());
    }

    void menuWithoutFiles()
    {
        m_tools->AraclarYukle();
        const TAraclarItems declared = declaredFixedTools(fixedToolsFolder());
        QCOMPARE(menuTexts(), QStringList({"Araclar Menusunu &Duzenle", "-", marked(declared[0].Caption),
                                           marked(declared[1].Caption), marked(declared[2].Caption)}));
        const QList<QAction *> items = m_tools->builtItems();
        QCOMPARE(items.size(), 3);
        const char *keys[] = {"F10", "F11", "F12"};
        const int images[] = {32, 15, 11};
        for (int i = 0; i < 3; ++i) {
            auto *item = qobject_cast<TAraclarMenuItem *>(items[i]);
            QVERIFY(item);
            QCOMPARE(item->objectName(), QStringLiteral("AraclarSabit%1").arg(i));
            QCOMPARE(item->ItemNo, i);
            QVERIFY(item->Fixed);
            QCOMPARE(item->shortcut(), QKeySequence(QLatin1String(keys[i])));
            QCOMPARE(item->toolTip(), marked(declared[i].Hint));
            QCOMPARE(item->icon().cacheKey(), m_images[images[i]].cacheKey());
        }
        // Nothing is written by reading.
        QVERIFY(!QFile::exists(path("AraclarSabit.Ini")));
        QVERIFY(!QFile::exists(path("AraclarTanim.Ini")));
    }

    void fixedFileChangesOnlyPathsAndKeys()
    {
        QByteArray data;
        for (int i = 0; i < 5; ++i)
            data += record("Baska" + QByteArray::number(i), "ipucu", 3, "Ctrl+" + QByteArray::number(i + 1),
                           "/araclar/p" + QByteArray::number(i));
        put(path("AraclarSabit.Ini"), data);
        m_tools->AraclarYukle();
        const TAraclarItems declared = declaredFixedTools(fixedToolsFolder());
        QCOMPARE(m_tools->Sabitler.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const TAraclarItem &t = m_tools->Sabitler[i];
            QCOMPARE(t.FileName, QStringLiteral("/araclar/p%1").arg(i));
            QCOMPARE(t.ShortCut, QStringLiteral("Ctrl+%1").arg(i + 1));
            QCOMPARE(t.Caption, declared[i].Caption);
            QCOMPARE(t.Hint, declared[i].Hint);
            QCOMPARE(t.ImageIndex, declared[i].ImageIndex);
        }
        QCOMPARE(menuTexts().size(), 5);
        QCOMPARE(m_tools->builtItems()[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+2")));
        QVERIFY(m_tools->Tanimlar.isEmpty());
    }

    void userToolsAndRebuild()
    {
        const QString program = path("hesap.sh");
        put(program, "#!/bin/sh\n");
        // Two records and a 140-byte tail.
        put(path("AraclarTanim.Ini"), record("Hesap Makinesi", "hesap", 3, "Ctrl+F5", program.toLatin1())
                                          + record("Yok", "", 9, "", "/yok/program") + QByteArray(140, 'x'));
        m_tools->AraclarYukle();
        QStringList texts = menuTexts();
        QCOMPARE(texts.size(), 2 + 3 + 1 + 2);
        QCOMPARE(texts.mid(5), QStringList({"-", "Hesap Makinesi", "Yok"}));
        QList<QAction *> items = m_tools->builtItems();
        auto *first = qobject_cast<TAraclarMenuItem *>(items[4]);
        auto *second = qobject_cast<TAraclarMenuItem *>(items[5]);
        QVERIFY(first && second);
        QCOMPARE(first->objectName(), QStringLiteral("AraclarTanim0"));
        QCOMPARE(second->ItemNo, 1);
        QVERIFY(!second->Fixed);
        QCOMPARE(first->toolTip(), QStringLiteral("hesap"));
        QCOMPARE(first->shortcut(), QKeySequence(QStringLiteral("Ctrl+F5")));
        // The existing program brought an image of its own; the missing one has none, and its
        // record's image index is not used.
        QCOMPARE(m_images.size(), 41);
        QCOMPARE(first->icon().cacheKey(), m_images[40].cacheKey());
        QVERIFY(second->icon().isNull());

        // A click reaches the handler of its kind with the item.
        QList<std::pair<bool, int>> clicks;
        m_tools->OnSbtClick = [&](TAraclarMenuItem *i) { clicks.append({true, i->ItemNo}); };
        m_tools->OnTnmClick = [&](TAraclarMenuItem *i) { clicks.append({false, i->ItemNo}); };
        second->trigger();
        items[2]->trigger();
        QCOMPARE(clicks, (QList<std::pair<bool, int>>{{false, 1}, {true, 2}}));

        // A new build replaces the old items.
        m_tools->AraclarYukle();
        QCOMPARE(menuTexts(), texts);
        QCOMPARE(m_menu->actions().size(), 8);
    }

    // A tool file that cannot be read leaves the tools read so far and stays where it is.
    void unreadableToolFileIsKept()
    {
        m_tools->Tanimlar = {{"Bellekteki", "", -1, "", ""}};
        QVERIFY(QDir().mkpath(path("AraclarTanim.Ini")));
        m_tools->AraclarYukle();
        QVERIFY(m_tools->Tanimlar.isEmpty());
        QVERIFY(QFileInfo(path("AraclarTanim.Ini")).isDir());
        QCOMPARE(menuTexts().size(), 5);
    }

    void editorPreparationAndRemoveButton()
    {
        m_tools->Tanimlar = {{"Birinci", "", -1, "", "/a"}, {"Ikinci", "", -1, "", "/b"}};
        TK_KxAracMenuF editor(*m_tools);
        editor.FormShow();
        // Folded before the window translation saw them; the title is the main window's.
        QVERIFY(m_translatedWindows.contains("Araclar Menusunu Duzenle"));
        QVERIFY(m_translatedWindows.contains("Araclar Menusu Elemanlari"));
        QVERIFY(m_translatedWindows.contains("Kaldir"));
        QVERIFY(m_translatedWindows.contains("Duzenle"));
        QCOMPARE(editor.windowTitle(), QStringLiteral("Ana Pencere"));
        const TAraclarItems declared = declaredFixedTools(fixedToolsFolder());
        QCOMPARE(editor.ListBox1->count(), 5);
        QCOMPARE(editor.ListBox1->item(0)->text(), marked(declared[0].Caption));
        QCOMPARE(editor.ListBox1->item(3)->text(), QStringLiteral("Birinci"));

        QVERIFY(editor.BitBtn1->isEnabled());
        editor.ListBox1->setCurrentRow(2);
        QVERIFY(!editor.BitBtn1->isEnabled());
        editor.ListBox1->setCurrentRow(4);
        QVERIFY(editor.BitBtn1->isEnabled());
        editor.ListBox1->setCurrentRow(0);
        QVERIFY(!editor.BitBtn1->isEnabled());
    }

    void removeTool()
    {
        m_tools->Tanimlar = {{"Birinci", "", -1, "", "/a"}, {"Ikinci", "", -1, "", "/b"}};
        TK_KxAracMenuF editor(*m_tools);
        editor.FormShow();
        // Nothing chosen: told, for removing and for editing alike.
        editor.BitBtn1->click();
        editor.BitBtn2->click();
        QList<Dialogs::Shown> shown = shownOf(Dialogs::Kind::Information);
        QCOMPARE(shown.size(), 2);
        for (const auto &s : shown) {
            QCOMPARE(s.title, marked("Bilgi"));
            QCOMPARE(s.text, marked("Duzenlenecek elemani seciniz."));
        }
        editor.ListBox1->setCurrentRow(4);
        Dialogs::queueAnswer("no");
        editor.BitBtn1->click();
        QCOMPARE(m_tools->Tanimlar.size(), 2);
        shown = shownOf(Dialogs::Kind::Question);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, marked("Onay"));
        QCOMPARE(shown[0].text, "Ikinci " + marked("menusunu silmek istiyor musunuz?"));
        Dialogs::queueAnswer("yes");
        editor.BitBtn1->click();
        QCOMPARE(m_tools->Tanimlar, (TAraclarItems{{"Birinci", "", -1, "", "/a"}}));
        QCOMPARE(editor.ListBox1->count(), 4);
        // Nothing is written before the editor has closed.
        QVERIFY(!QFile::exists(path("AraclarTanim.Ini")));
    }

    void toolDialog()
    {
        // Browsing fills the path and the name, extension included.
        {
            TK_KxAracEkleF dialog(*m_tools, -1, QString());
            dialog.FormShow();
            QVERIFY(dialog.EditNAME->text().isEmpty());
            Dialogs::queueAnswer("/opt/araclar/hesap.tar.gz");
            dialog.ButtonYOL->click();
            QCOMPARE(dialog.EditYOL->text(), QStringLiteral("/opt/araclar/hesap.tar.gz"));
            QCOMPARE(dialog.EditNAME->text(), QStringLiteral("hesap.tar.gz"));
            dialog.HotKey1->setKeySequence(QKeySequence(Qt::CTRL | Qt::Key_F2));
            dialog.BitBtn1->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(m_tools->Tanimlar, (TAraclarItems{{"hesap.tar.gz", "", -1, "Ctrl+F2", "/opt/araclar/hesap.tar.gz"}}));
        }
        // An empty name is told and changes nothing; the dialog closes all the same.
        {
            TK_KxAracEkleF dialog(*m_tools, -1, QString());
            dialog.EditYOL->setText("/bin/true");
            dialog.show();
            dialog.BitBtn1->click();
            QVERIFY(!dialog.isVisible());
            QCOMPARE(m_tools->Tanimlar.size(), 1);
            const QList<Dialogs::Shown> shown = shownOf(Dialogs::Kind::Information);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, marked("Program Adini girmelisiniz."));
        }
        // A fixed tool: its name cannot be changed, its program and key can.
        {
            TK_KxAracEkleF dialog(*m_tools, 1, QStringLiteral("Gorunen Ad"));
            QVERIFY(!dialog.EditNAME->isEnabled());
            QCOMPARE(dialog.EditNAME->text(), QStringLiteral("Gorunen Ad"));
            QCOMPARE(dialog.EditYOL->text(), m_tools->Sabitler[1].FileName);
            QCOMPARE(dialog.HotKey1->keySequence(), QKeySequence(Qt::Key_F11));
            dialog.EditYOL->setText("/usr/local/bin/destek");
            dialog.HotKey1->clear();
            dialog.BitBtn1->click();
            QCOMPARE(m_tools->Sabitler[1].FileName, QStringLiteral("/usr/local/bin/destek"));
            QCOMPARE(m_tools->Sabitler[1].ShortCut, QString());
            QCOMPARE(m_tools->Sabitler[1].Caption, QStringLiteral("Gorunen Ad"));
        }
        // A user tool opened from its row; "İptal" changes nothing.
        {
            TK_KxAracEkleF dialog(*m_tools, 3, QStringLiteral("hesap.tar.gz"));
            QVERIFY(dialog.EditNAME->isEnabled());
            QCOMPARE(dialog.HotKey1->keySequence(), QKeySequence(Qt::CTRL | Qt::Key_F2));
            dialog.EditNAME->setText("Degisti");
            dialog.BitBtn2->click();
            QCOMPARE(m_tools->Tanimlar[0].Caption, QStringLiteral("hesap.tar.gz"));
        }
        // A text the code page cannot hold, or a path longer than its field, is refused and the
        // dialog stays open.
        for (const auto &[name, path] : {std::pair{QStringLiteral("Ad ☃"), QStringLiteral("/a")},
                                         std::pair{QStringLiteral("Uzun"), "/" + QString(150, u'y')}}) {
            TK_KxAracEkleF dialog(*m_tools, -1, QString());
            dialog.EditNAME->setText(name);
            dialog.EditYOL->setText(path);
            dialog.show();
            dialog.BitBtn1->click();
            QVERIFY(dialog.isVisible());
            QCOMPARE(m_tools->Tanimlar.size(), 1);
            QCOMPARE(shownOf(Dialogs::Kind::Information).size(), 1);
        }
    }

    // The whole round: the editor adds a tool through its dialog, and once the editor has closed
    // both files are written byte for byte and the menu is built anew.
    void menuDuzenleWritesBothFiles()
    {
        m_tools->AraclarYukle();
        int modals = 0;
        int rowsAfterAdding = 0;
        Dialogs::setModalHandler([&](QDialog *d) -> int {
            ++modals;
            if (auto *editor = qobject_cast<TK_KxAracMenuF *>(d)) {
                editor->BitBtn3->click(); // "Ekle": the dialog opens from here
                rowsAfterAdding = editor->ListBox1->count();
                editor->BitBtn4->click();
                return 0;
            }
            auto *dialog = qobject_cast<TK_KxAracEkleF *>(d);
            if (!dialog)
                return -1;
            dialog->EditNAME->setText(QString(120, u'a'));
            dialog->EditYOL->setText("/usr/bin/arac");
            dialog->HotKey1->setKeySequence(QKeySequence(Qt::ALT | Qt::Key_F9));
            dialog->BitBtn1->click();
            return 1;
        });
        m_tools->MenuDuzenle(nullptr);
        QCOMPARE(modals, 2);
        QCOMPARE(rowsAfterAdding, 4);
        QCOMPARE(contents(path("AraclarTanim.Ini")), record(QByteArray(100, 'a'), "", -1, "Alt+F9", "/usr/bin/arac"));
        QByteArray fixed;
        for (const TAraclarItem &t : declaredFixedTools(fixedToolsFolder()))
            fixed += encodeToolRecord(t);
        QCOMPARE(contents(path("AraclarSabit.Ini")), fixed);
        QCOMPARE(menuTexts().mid(5), QStringList({"-", QString(100, u'a')}));
    }

    void versionWindow_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("progVers");
        QTest::addColumn<QString>("surum");
        QTest::addColumn<bool>("update");
        QTest::newRow("newer, link after <br>") << QByteArray("SURUM=2.03.00<br>DOWNLOADLINK=https://indir.example/kx.deb")
                                                << "s2.02.01" << "2.03.00" << true;
        QTest::newRow("equal") << QByteArray("SURUM=2.02.01") << "s2.02.01" << "2.02.01" << false;
        QTest::newRow("2.10.01 below 2.9.01") << QByteArray("SURUM=2.10.01") << "s2.9.01" << "2.10.01" << false;
        QTest::newRow("lower-case key") << QByteArray("surum=2.02.02\r\n") << "s2.02.01" << "2.02.02" << true;
        QTest::newRow("no version") << QByteArray("bakim var") << "s2.02.01" << "" << false;
    }
    void versionWindow()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, progVers);
        QFETCH(QString, surum);
        QFETCH(bool, update);
        HttpServer server;
        server.setDefault(HttpServer::reply(200, body));
        TSurumKontrol component(m_dir->path());
        component.WebServicePage = server.base() + "/v.php";
        component.ProgVers = progVers;
        component.messageTranslate = marked;
        component.Caption = QStringLiteral("Ana Pencere");
        TSurumKontrolF window(component);
        window.show();
        QVERIFY(window.PanelBekleme->isVisible());
        QVERIFY(!window.PageControl1->isTabVisible(1));
        QTRY_VERIFY_WITH_TIMEOUT(!window.PanelBekleme->isVisible(), 10000);
        QCOMPARE(window.windowTitle(), QStringLiteral("Ana Pencere"));
        QCOMPARE(window.LabelFirma->text(), u"KORVANEX Yazılım"_qs);
        QCOMPARE(window.LabelPAdi->text(), QStringLiteral("Yedekleme"));
        QCOMPARE(window.LabelPKodu->text(), QStringLiteral("PXRT"));
        QCOMPARE(window.LabelPSurum->text(), surum);
        QCOMPARE(window.LabelKSurum->text(), progVers.mid(1));
        QCOMPARE(window.LabelDurum->text(), update ? marked("Guncelleme Yapilmali.")
                                                   : marked("Su anda programin son surumunu kullanmaktasiniz."));
        QCOMPARE(window.PanelGuncel->isVisible(), update);
        QCOMPARE(window.PanelTamam->isVisible(), !update);
        QVERIFY(server.requests().value(0).startsWith("GET /v.php?prg=PXRT "));
        if (update) {
            window.SpeedButton1->click();
            const QList<Dialogs::Shown> opened = shownOf(Dialogs::Kind::Document);
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened[0].text, window.downloadAddress().isEmpty() ? newsPageAddress(progVers.mid(1))
                                                                        : window.downloadAddress());
            window.SpeedButton2->click();
        } else {
            window.Button1->click();
        }
        QVERIFY(!window.isVisible());
        QCOMPARE(contents(updateSettingsPath(m_dir->path())), QByteArray("OTOKONTROL=False\r\nARALIK=7\r\n"));
    }

    // Only a web address from the reply is ever opened.
    void downloadLinkRefused_data()
    {
        QTest::addColumn<QByteArray>("link");
        QTest::newRow("file") << QByteArray("file:///etc/passwd");
        QTest::newRow("command") << QByteArray("/usr/bin/xterm -e sh");
        QTest::newRow("javascript") << QByteArray("javascript:alert(1)");
        QTest::newRow("no host") << QByteArray("http:///yerel");
    }
    void downloadLinkRefused()
    {
        QFETCH(QByteArray, link);
        HttpServer server;
        server.setDefault(HttpServer::reply(200, "SURUM=9.00.00<br>DOWNLOADLINK=" + link));
        TSurumKontrol component(m_dir->path());
        component.WebServicePage = server.base() + "/v.php";
        TSurumKontrolF window(component);
        QTRY_VERIFY_WITH_TIMEOUT(window.PanelGuncel->isVisibleTo(&window), 10000);
        Dialogs::takeShown();
        window.Guncelle();
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Information);
        QVERIFY(shown[0].text.endsWith(QString::fromLatin1(link)));
    }

    // A failed request is told, closes the window, and the settings file is still written, from
    // what the file held before.
    void failedRequest_data()
    {
        QTest::addColumn<bool>("hang");
        QTest::newRow("error status") << false;
        QTest::newRow("never answers") << true;
    }
    void failedRequest()
    {
        QFETCH(bool, hang);
        HttpServer server;
        server.setDefault(hang ? HttpServer::hanging() : HttpServer::reply(404, "SURUM=9.99.99"));
        VersionRequest::setTimeoutMs(300);
        put(updateSettingsPath(m_dir->path()), "OTOKONTROL=True\r\nARALIK=12\r\n");
        TSurumKontrol component(m_dir->path());
        component.WebServicePage = server.base() + "/v.php";
        component.messageTranslate = marked;
        component.OtoKontrol = true;
        TSurumKontrolF window(component);
        QVERIFY(window.PageControl1->isTabVisible(1));
        QVERIFY(window.CheckBoxOtoKontrol->isChecked());
        QCOMPARE(window.TrackBarOtoKontrol->value(), 12);
        QCOMPARE(window.LabelOtoKontrol->text(), QStringLiteral("12"));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
        const QList<Dialogs::Shown> shown = shownOf(Dialogs::Kind::Information);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Bilgi"));
        QCOMPARE(shown[0].text, marked("Istek zaman asimina ugradi.") + "\r\n" + marked("Lutfen internet baglantinizi kontrol ediniz."));
        QCOMPARE(window.LabelDurum->text(), QString());
        QCOMPARE(contents(updateSettingsPath(m_dir->path())), QByteArray("OTOKONTROL=True\r\nARALIK=12\r\n"));
    }

    // From the management window: the tools are in its menu, a tool whose program is missing is
    // told with the advice of its kind, and the version check runs through its menu entry.
    void managementWindowWiring()
    {
        HttpServer server;
        server.setDefault(HttpServer::reply(200, "SURUM=2.02.01"));
        TSurumKontrol::setWebServicePage(server.base() + "/versiyon.php");
        const QString program = path("program");
        QVERIFY(QDir().mkpath(program));
        put(program + "/Data/Ini/AraclarTanim.Ini", record("Kayip", "", -1, "", "/yok/kayip"));
        TAnaFormF form(program, QString());
        form.GenelYedekleme1Click();
        TK_YedeklemeF *w = form.managementWindow();
        QVERIFY(w);
        auto *fixed = w->MenuAraclar->findChild<TAraclarMenuItem *>("AraclarSabit2");
        auto *user = w->MenuAraclar->findChild<TAraclarMenuItem *>("AraclarTanim0");
        QVERIFY(fixed && user);
        QCOMPARE(fixed->icon().cacheKey(), w->ImageList32.at(11).cacheKey());
        // The chat tool shows a bubble, never the style's error sign.
        const QImage shown = fixed->icon().pixmap(32).toImage();
        QCOMPARE(shown, chatIcon().pixmap(32).toImage());
        QVERIFY(shown != w->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32).toImage());
        Dialogs::takeShown();
        fixed->trigger();
        user->trigger();
        const QList<Dialogs::Shown> told = shownOf(Dialogs::Kind::Information);
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0].text.endsWith("dosyasi bulunamadi.\r\nBu programi internet sitemizdeki Araclar bolumunden veya "
                                       "CD nizdeki KX_ARAC klasorunden kurabilirsiniz."),
                 qPrintable(told[0].text));
        QCOMPARE(told[1].text, QStringLiteral("/yok/kayip dosyasi bulunamadi.\r\nYolun dogrulugunu kontrol edip yeniden deneyiniz."));
        // An existing program is started (recorded when scripted).
        put(path("arac.sh"), "#!/bin/sh\n");
        w->KxAraclar1->Tanimlar[0].FileName = path("arac.sh");
        user->trigger();
        QCOMPARE(shownOf(Dialogs::Kind::Document).value(0).text, path("arac.sh"));

        bool sawAnswer = false;
        Dialogs::setModalHandler([&](QDialog *d) {
            auto *window = qobject_cast<TSurumKontrolF *>(d);
            if (!window)
                return 0;
            sawAnswer = QTest::qWaitFor([window] { return window->PanelTamam->isVisibleTo(window); }, 10000);
            QMetaObject::invokeMethod(window->Button1, "click");
            return window->result();
        });
        w->ActionSurum->trigger();
        QVERIFY(sawAnswer);
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(server.requests()[0].startsWith("GET /versiyon.php?prg=PXRT "));
        QCOMPARE(contents(program + "/guncellemeayar.ini"), QByteArray("OTOKONTROL=False\r\nARALIK=7\r\n"));
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_toolwindows.moc"
