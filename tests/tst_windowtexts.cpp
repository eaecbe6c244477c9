// The window translation and the Turkish letter folding of a window's texts, widget by widget.
#include "testfiles.h"
#include "i18n/filesearch.h"
#include "ui/formheader.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace kx;
using kxtest::put;

class TestWindowTexts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A fresh file each time, so a translator never sees a file rewritten under its mapping.
    QString languageFile(const QByteArray &bytes)
    {
        const QString p = m_dir.filePath(QStringLiteral("lang%1.lng").arg(++m_files));
        put(p, bytes);
        return p;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void windowTranslation()
    {
        TFileSearch tr;
        tr.setFilename(languageFile("Kovanci language\r\n"
                                    "Araclar=&Ara\xE7lar\r\n"
                                    "Dosya=File\r\n"
                                    "Ipucu metni=Hint text\r\n"
                                    "Ac=Open\r\n"
                                    "Ayarlar=Settings\r\n"
                                    "Kullanici^Tnin verisi=User^Ts data\r\n"
                                    "A^EB=A equals B\r\n"
                                    "Bir=One\r\n"
                                    "Iki=Two\r\n"
                                    "&Uc=Three\r\n"
                                    "Uc=window form\r\n"
                                    "Not satiri^MIkinci satir=Note line^MSecond line\r\n"
                                    "Ad=Name\r\n"
                                    "&Tarih=Date\r\n"
                                    "Tarih=window form\r\n"
                                    "Girilen=typed text translated\r\n"
                                    "Hazir=Ready\r\n"
                                    "&Baslik=Title\r\n"
                                    "Baslik=window form\r\n"));

        QWidget window;
        auto *tools = new QLabel(QStringLiteral("&Araclar"), &window);
        auto *apostrophe = new QLabel(QStringLiteral("Kullanici'nin verisi"), &window);
        auto *equals = new QLabel(QStringLiteral("A=B"), &window);
        auto *untranslated = new QLabel(QStringLiteral("&Gizli"), &window);
        auto *blank = new QLabel(&window);
        auto *button = new QPushButton(QStringLiteral("Dosya"), &window);
        button->setToolTip(QStringLiteral("Ipucu metni"));
        auto *menu = new QMenu(QStringLiteral("&Araclar"), &window);
        QAction *open = menu->addAction(QStringLiteral("Ac"));
        auto *group = new QGroupBox(QStringLiteral("Ayarlar"), &window);
        auto *inGroup = new QLabel(QStringLiteral("Dosya"), group);
        auto *combo = new QComboBox(&window);
        combo->addItems({QStringLiteral("Bir"), QStringLiteral("Iki"), QStringLiteral("&Uc"), QStringLiteral("Dort")});
        combo->setCurrentIndex(2);
        auto *memo = new QPlainTextEdit(QStringLiteral("Not satiri\nIkinci satir"), &window);
        auto *tree = new QTreeWidget(&window);
        tree->setHeaderLabels({QStringLiteral("Ad"), QStringLiteral("&Tarih"), QStringLiteral("Boyut")});
        auto *table = new QTableWidget(1, 2, &window);
        table->setHorizontalHeaderLabels({QStringLiteral("Ad"), QStringLiteral("&Tarih")});
        auto *edit = new QLineEdit(QStringLiteral("Girilen"), &window);
        edit->setToolTip(QStringLiteral("Ipucu metni"));
        auto *status = new QStatusBar(&window);
        status->showMessage(QStringLiteral("Hazir"));
        auto *header = new KxFormHeader(QStringLiteral("&Baslik"), &window);

        CompFormDilCevir(tr, &window);

        QCOMPARE(tools->text(), QStringLiteral("&Araçlar"));
        QCOMPARE(apostrophe->text(), QStringLiteral("User's data"));
        QCOMPARE(equals->text(), QStringLiteral("A equals B"));
        QCOMPARE(untranslated->text(), QStringLiteral("Gizli"));
        QCOMPARE(blank->text(), QString());
        QCOMPARE(button->text(), QStringLiteral("File"));
        QCOMPARE(button->toolTip(), QStringLiteral("Hint text"));
        QCOMPARE(menu->title(), QStringLiteral("&Araçlar"));
        QCOMPARE(open->text(), QStringLiteral("Open"));
        QCOMPARE(group->title(), QStringLiteral("Settings"));
        QCOMPARE(inGroup->text(), QStringLiteral("File"));
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->itemText(0), QStringLiteral("One"));
        QCOMPARE(combo->itemText(1), QStringLiteral("Two"));
        QCOMPARE(combo->itemText(2), QStringLiteral("Three"));
        QCOMPARE(combo->itemText(3), QStringLiteral("Dort"));
        QCOMPARE(combo->currentIndex(), 2);
        QCOMPARE(memo->toPlainText(), QStringLiteral("Note line\nSecond line"));
        QCOMPARE(memo->document()->blockCount(), 2);
        QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Name"));
        QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Date"));
        QCOMPARE(tree->headerItem()->text(2), QStringLiteral("Boyut"));
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Name"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Date"));
        QCOMPARE(edit->text(), QStringLiteral("Girilen"));
        QCOMPARE(edit->toolTip(), QStringLiteral("Hint text"));
        QCOMPARE(status->currentMessage(), QStringLiteral("Ready"));
        QCOMPARE(header->text(), QStringLiteral("Title"));
    }

    void windowTranslationWithoutEntries()
    {
        // A file without the entries still gives captions in their key form, and leaves
        // multi-line memo text on the same lines.
        TFileSearch tr;
        tr.setFilename(languageFile("Kovanci language\r\nBaska=Other\r\n"));
        QWidget window;
        auto *tools = new QLabel(QStringLiteral("&Araclar"), &window);
        auto *menu = new QMenu(QStringLiteral("&Dosya"), &window);
        auto *memo = new QPlainTextEdit(QStringLiteral("bir\niki\nuc"), &window);
        auto *combo = new QComboBox(&window);
        combo->addItems({QStringLiteral("&Bir"), QStringLiteral("Iki")});
        combo->setCurrentIndex(1);
        CompFormDilCevir(tr, &window);
        QCOMPARE(tools->text(), QStringLiteral("Araclar"));
        QCOMPARE(menu->title(), QStringLiteral("Dosya"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("bir\niki\nuc"));
        QCOMPARE(combo->itemText(0), QStringLiteral("&Bir"));
        QCOMPARE(combo->currentIndex(), 1);
    }
};

QTEST_MAIN(TestWindowTexts)
#include "tst_windowtexts.moc"
