#include "ui/restorewindow.h"
#include "core/joblist.h"
#include "core/service.h"
#include "ui/formheader.h"
#include "runs/naming.h"
#include "runs/runcontroller.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kx {

namespace {

QLineEdit *box(const char *name, const QString &text, QWidget *parent, bool masked = false)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    if (masked)
        e->setEchoMode(QLineEdit::Password);
    return e;
}

QCheckBox *check(const QString &caption, const char *name, bool on, QWidget *parent)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    c->setChecked(on);
    return c;
}

const QString kLineBreak = QStringLiteral("\r\n");

} // namespace

TK_YedekGirF::TK_YedekGirF(TAnaFormF &main, QWidget *parent) : QDialog(parent), m_main(main)
{
    setObjectName(QStringLiteral("K_YedekGirF"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const QString backups = defaultFolder(QStringLiteral("KX_YEDEK"));
    const QString programs = defaultFolder(QStringLiteral("KORVANEX"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new KxFormHeader(QStringLiteral("Geri Yukleme"), this));
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl2 = new QTabWidget;
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    auto *filePage = new QWidget;
    filePage->setObjectName(QStringLiteral("TabSheetDosya"));
    (new QVBoxLayout(filePage))->addWidget(PageControl2);
    PageControl1->addTab(filePage, QStringLiteral("Dosya Geri Yukleme"));

    auto addRow = [this](QGridLayout *grid, int row, const QString &caption, QLineEdit *edit, bool chooser, bool file,
                         const QString &filter = QString()) {
        grid->addWidget(new QLabel(caption), row, 0);
        grid->addWidget(edit, row, 1);
        if (chooser) {
            auto *b = new QPushButton(QStringLiteral("..."));
            b->setAutoDefault(false);
            connect(b, &QPushButton::clicked, this,
                    guardedCommand([this, edit, file, filter] { choose(edit, file, filter); }));
            grid->addWidget(b, row, 2);
        }
    };

    // "Klasor Geri Yukleme"
    auto *folderPage = new QWidget;
    folderPage->setObjectName(QStringLiteral("TabSheetKlasor"));
    auto *fg = new QGridLayout(folderPage);
    EditMASK = box("EditMASK", QStringLiteral("*.*"), folderPage);
    DirEditKAYNAK = box("DirEditKAYNAK", backups, folderPage);
    DirEditHEDEF = box("DirEditHEDEF", programs, folderPage);
    addRow(fg, 0, QStringLiteral("Geri Yuklenecek Dosyalar"), EditMASK, false, false);
    addRow(fg, 1, QStringLiteral("Kaynak Dizin"), DirEditKAYNAK, true, false);
    addRow(fg, 2, QStringLiteral("Hedef Dizin"), DirEditHEDEF, true, false);
    CheckUZYAZDG = check(QStringLiteral("Hedef Dizin Mevcutsa Uzerine Yaz"), "CheckUZYAZDG", false, folderPage);
    CheckALTDIZIN = check(QStringLiteral("Alt Dizinleri de Kopyala"), "CheckALTDIZIN", true, folderPage);
    sSpeedButton2 = namedButton(QStringLiteral("Geri Yukleme"), "sSpeedButton2", folderPage);
    fg->addWidget(CheckUZYAZDG, 3, 0, 1, 3);
    fg->addWidget(CheckALTDIZIN, 4, 0, 1, 3);
    fg->addWidget(sSpeedButton2, 5, 0, 1, 3);
    PageControl2->addTab(folderPage, QStringLiteral("Klasor Geri Yukleme"));

    // "ZIP Geri Yukleme"
    auto *zipPage = new QWidget;
    zipPage->setObjectName(QStringLiteral("TabSheetZip"));
    auto *zg = new QGridLayout(zipPage);
    FileEditKAYNAK = box("FileEditKAYNAK", backups, zipPage);
    DirEditZHEDEF = box("DirEditZHEDEF", programs, zipPage);
    EditZIPPWD = box("EditZIPPWD", QString(), zipPage, true);
    addRow(zg, 0, QStringLiteral("Kaynak Dosya"), FileEditKAYNAK, true, true);
    addRow(zg, 1, QStringLiteral("Hedef Dizin"), DirEditZHEDEF, true, false);
    addRow(zg, 2, QStringLiteral("Parola"), EditZIPPWD, false, false);
    CheckZUZYAZZIP = check(QStringLiteral("Hedef Dizin Mevcutsa Uzerine Yaz"), "CheckZUZYAZZIP", false, zipPage);
    sSpeedButton3 = namedButton(QStringLiteral("Geri Yukleme"), "sSpeedButton3", zipPage);
    zg->addWidget(CheckZUZYAZZIP, 3, 0, 1, 3);
    zg->addWidget(sSpeedButton3, 4, 0, 1, 3);
    PageControl2->addTab(zipPage, QStringLiteral("ZIP Geri Yukleme"));

    // "Firebird Geri Yukleme"
    auto *fbPage = new QWidget;
    fbPage->setObjectName(QStringLiteral("TabSheetFirebird"));
    auto *fbLayout = new QVBoxLayout(fbPage);
    auto *group = new QGroupBox(QStringLiteral("Firebird Geri Yukleme"), fbPage);
    group->setObjectName(QStringLiteral("GroupFirebird"));
    auto *bg = new QGridLayout(group);
    FilenameEdit1 = box("FilenameEdit1", backups + u'/', group);
    DirectoryEdit1 = box("DirectoryEdit1", programs + u'/', group);
    EditUSER = box("EditUSER", QStringLiteral("SYSDBA"), group);
    EditPAS = box("EditPAS", QString(), group, true);
    EditHDDOSYA = box("EditHDDOSYA", QString(), group);
    EditHDDOSYA->setReadOnly(true);
    // Backups made by this program end in ".fbk"; old ones of another letter case or name are
    // still reachable through "all files".
    addRow(bg, 0, QStringLiteral("Kaynak Dosya"), FilenameEdit1, true, true,
           trMsg(QStringLiteral("Firebird Yedek Dosyalari")) + QStringLiteral(" (*.fbk *.FBK);;")
               + trMsg(QStringLiteral("Tum Dosyalar")) + QStringLiteral(" (*)"));
    addRow(bg, 1, QStringLiteral("Hedef Dizin"), DirectoryEdit1, true, false);
    addRow(bg, 2, QStringLiteral("Kullanici Adi"), EditUSER, false, false);
    addRow(bg, 3, QStringLiteral("Kullanici Parolasi"), EditPAS, false, false);
    addRow(bg, 4, QStringLiteral("Hedef Dosya"), EditHDDOSYA, false, false);
    ComboEXT = new QComboBox(group);
    ComboEXT->setObjectName(QStringLiteral("ComboEXT"));
    ComboEXT->addItems({QStringLiteral("FDB"), QStringLiteral("GDB")});
    // "FDB" from the start: a source file chosen first always gets a target.
    ComboEXT->setCurrentIndex(0);
    bg->addWidget(new QLabel(QStringLiteral("Dosya Uzantisi"), group), 5, 0);
    bg->addWidget(ComboEXT, 5, 1);
    CheckUZYAZ = check(QStringLiteral("Hedef Dosya Mevcutsa Uzerine Yaz"), "CheckUZYAZ", false, group);
    sSpeedButton1 = namedButton(QStringLiteral("Geri Yukleme"), "sSpeedButton1", group);
    bg->addWidget(CheckUZYAZ, 6, 0, 1, 3);
    bg->addWidget(sSpeedButton1, 7, 0, 1, 3);
    fbLayout->addWidget(group);
    PageControl1->addTab(fbPage, QStringLiteral("Firebird Geri Yukleme"));
    layout->addWidget(PageControl1);

    auto *note = new QLabel(
        QStringLiteral("Onemli Not : Yedekleme islemine baslamadan once yedek alacaginiz programin calismadigindan emin olun."),
        this);
    note->setObjectName(QStringLiteral("LabelNot"));
    note->setWordWrap(true);
    layout->addWidget(note);

    connect(sSpeedButton2, &QPushButton::clicked, this, guardedCommand([this] { KlasorGeriYukle(); }));
    connect(sSpeedButton3, &QPushButton::clicked, this, guardedCommand([this] { ZipGeriYukle(); }));
    connect(sSpeedButton1, &QPushButton::clicked, this, guardedCommand([this] { FirebirdGeriYukle(); }));
    connect(FilenameEdit1, &QLineEdit::textChanged, this, [this] { FilenameEdit1Change(); });
    connect(ComboEXT, &QComboBox::currentIndexChanged, this, [this] { FilenameEdit1Change(); });

    trWindow(this);
}

void TK_YedekGirF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    setWindowTitle(m_main.windowTitle());
    PageControl1->setCurrentIndex(0);
    PageControl2->setCurrentIndex(0);
}

void TK_YedekGirF::choose(QLineEdit *edit, bool file, const QString &filter)
{
    const QString chosen = file ? Dialogs::chooseFile(this, trMsg(QStringLiteral("Dosya Seç")), edit->text(), filter)
                                : Dialogs::chooseFolder(this, QString(), edit->text());
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

bool TK_YedekGirF::passes(const RestoreCheck &check, QWidget *target)
{
    switch (check.verdict) {
    case RestoreCheck::Verdict::Go:
        return true;
    case RestoreCheck::Verdict::Overwrite:
        return Dialogs::question(this, trMsg(QStringLiteral("Soru")), check.message.text(), true);
    case RestoreCheck::Verdict::Stop:
        break;
    }
    Dialogs::info(check.message.text());
    QWidget *focus = nullptr;
    switch (check.field) {
    case RestoreCheck::Field::Pattern:
        focus = EditMASK;
        break;
    case RestoreCheck::Field::Source:
        focus = DirEditKAYNAK;
        break;
    case RestoreCheck::Field::Target:
        focus = target;
        break;
    case RestoreCheck::Field::None:
        break;
    }
    if (focus && focus->isEnabled() && focus->focusPolicy() != Qt::NoFocus)
        focus->setFocus();
    return false;
}

void TK_YedekGirF::FilenameEdit1Change()
{
    const QString target = firebirdRestoreTarget(FilenameEdit1->text(), DirectoryEdit1->text(), ComboEXT->currentText());
    if (!target.isEmpty())
        EditHDDOSYA->setText(target);
}

void TK_YedekGirF::KlasorGeriYukle()
{
    FolderRestoreParams p;
    p.zipMode = false;
    p.sourceFolder = DirEditKAYNAK->text();
    p.targetFolder = DirEditHEDEF->text();
    p.overwrite = CheckUZYAZDG->isChecked();
    p.subfolders = CheckALTDIZIN->isChecked();
    p.pattern = EditMASK->text();
    if (!passes(checkFolderRestore(p), DirEditHEDEF))
        return;
    if (m_main.runs().running().isRunning(RunKind::FolderRestore)) {
        Dialogs::info(trMsg(QStringLiteral("Su an geri yukleme yapiliyor.")) + kLineBreak
                      + trMsg(QStringLiteral("Daha sonra yeniden deneyiniz.")));
        return;
    }
    m_main.runs().start(std::make_unique<FolderRestoreRun>(p));
}

void TK_YedekGirF::ZipGeriYukle()
{
    if (m_main.runs().running().isRunning(RunKind::FolderRestore)) {
        Dialogs::info(trMsg(QStringLiteral("Su an geri yukleme yapiliyor.")) + kLineBreak
                      + trMsg(QStringLiteral("Daha sonra yeniden deneyiniz.")));
        return;
    }
    FolderRestoreParams p;
    p.zipMode = true;
    p.archive = FileEditKAYNAK->text();
    p.targetFolder = DirEditZHEDEF->text();
    p.overwrite = CheckZUZYAZZIP->isChecked();
    p.password = EditZIPPWD->text();
    if (!passes(checkZipRestore(p), DirEditZHEDEF))
        return;
    m_main.runs().start(std::make_unique<FolderRestoreRun>(p));
}

void TK_YedekGirF::FirebirdGeriYukle()
{
    if (m_main.runs().running().isRunning(RunKind::FirebirdRestore)) {
        Dialogs::info(trMsg(QStringLiteral("Su an geri yukleme yapiliyor.")) + trMsg(QStringLiteral(" Lutfen daha sonra deneyiniz.")));
        return;
    }
    FirebirdRestoreParams p{FilenameEdit1->text(), EditHDDOSYA->text(), EditUSER->text(), EditPAS->text()};
    if (!passes(checkFirebirdRestore(p, DirectoryEdit1->text(), CheckUZYAZ->isChecked())))
        return;
    m_main.runs().start(std::make_unique<FirebirdRestoreRun>(p));
}

} // namespace kx
