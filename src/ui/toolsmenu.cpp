#include "ui/toolsmenu.h"
#include "ui/accessiblenames.h"
#include "core/codepage.h"
#include "ui/dialogs.h"
#include "ui_tooldialog.h"
#include "ui_toolsmenueditor.h"
#include "ui/formheader.h"
#include "ui/windowtexts.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace kx {

namespace {

QKeySequence parseShortCut(const QString &text)
{
    return QKeySequence::fromString(text, QKeySequence::PortableText);
}

} // namespace

TKxAraclar::TKxAraclar(QObject *parent) : QObject(parent), Sabitler(declaredFixedTools(fixedToolsFolder())) {}

void TKxAraclar::readFiles()
{
    // A file that cannot be read whole keeps what was read before the failure, and the file
    // itself stays: the user's definitions are never thrown away over a read error, and the next
    // close of the menu editor writes the file whole anyway.
    if (!SbtFileName.trimmed().isEmpty()) {
        const ToolFile file = readToolFile(SbtFileName);
        // Only the program and the key of a fixed tool are the user's; the rest is the program's.
        for (qsizetype i = 0; i < file.items.size() && i < Sabitler.size(); ++i) {
            Sabitler[i].FileName = file.items[i].FileName;
            Sabitler[i].ShortCut = file.items[i].ShortCut;
        }
    }
    if (!TnmFileName.trimmed().isEmpty() && QFileInfo::exists(TnmFileName))
        Tanimlar = readToolFile(TnmFileName).items;
}

void TKxAraclar::AraclarYukle()
{
    if (!MenuItem)
        return;
    for (const QPointer<QAction> &a : std::as_const(m_built))
        delete a.data();
    m_built.clear();
    readFiles();

    const auto add = [this](bool fixed, int index, const QString &caption, const QString &hint, const QString &shortCut,
                            int image) {
        auto *item = new TAraclarMenuItem(fixed, index, MenuItem);
        item->setObjectName((fixed ? QStringLiteral("AraclarSabit") : QStringLiteral("AraclarTanim")) + QString::number(index));
        item->setText(caption);
        item->setToolTip(hint);
        item->setShortcut(parseShortCut(shortCut));
        if (ImageList && image >= 0 && image < ImageList->size())
            item->setIcon(ImageList->at(image));
        connect(item, &QAction::triggered, this, [this, item] {
            const auto &handler = item->Fixed ? OnSbtClick : OnTnmClick;
            if (handler)
                handler(item);
        });
        MenuItem->addAction(item);
        m_built.append(item);
    };
    for (qsizetype i = 0; i < Sabitler.size(); ++i) {
        const TAraclarItem &t = Sabitler.at(i);
        add(true, int(i), msg(t.Caption), msg(t.Hint), t.ShortCut, t.ImageIndex);
    }
    if (!Tanimlar.isEmpty())
        m_built.append(MenuItem->addSeparator());
    for (qsizetype i = 0; i < Tanimlar.size(); ++i) {
        const TAraclarItem &t = Tanimlar.at(i);
        int image = -1;
        if (ImageList && QFileInfo(t.FileName).isFile()) {
            ImageList->append(QFileIconProvider().icon(QFileInfo(t.FileName)));
            image = int(ImageList->size() - 1);
        }
        add(false, int(i), t.Caption, t.Hint, t.ShortCut, image);
    }
}

void TKxAraclar::AraclarKaydet() const
{
    if (!SbtFileName.trimmed().isEmpty())
        writeToolFile(SbtFileName, Sabitler);
    if (!TnmFileName.trimmed().isEmpty())
        writeToolFile(TnmFileName, Tanimlar);
}

void TKxAraclar::MenuDuzenle(QWidget *parent)
{
    {
        TK_KxAracMenuF editor(*this, parent);
        editor.FormShow();
        Dialogs::showModal(&editor);
    }
    // What was changed stays in the collections when a write fails: the error is shown and the
    // next close of the editor writes again.
    AraclarKaydet();
    AraclarYukle();
}

QList<QAction *> TKxAraclar::builtItems() const
{
    QList<QAction *> items;
    for (const QPointer<QAction> &a : m_built)
        if (a)
            items.append(a);
    return items;
}

void TKxAraclar::prepareWindow(QWidget *window) const
{
    foldWindowTexts(window);
    if (windowTranslate)
        windowTranslate(window);
    nameControlsByLabels(window);
    window->setWindowTitle(Caption);
}

TK_KxAracMenuF::TK_KxAracMenuF(TKxAraclar &tools, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TK_KxAracMenuF>()), m_tools(tools)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ListBox1 = m_ui->ListBox1;
    BitBtn1 = m_ui->BitBtn1;
    BitBtn2 = m_ui->BitBtn2;
    BitBtn3 = m_ui->BitBtn3;
    BitBtn4 = m_ui->BitBtn4;

    connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int r) { rowChosen(r); });
    connect(BitBtn1, &QPushButton::clicked, this, guardedCommand([this] { Kaldir(); }));
    connect(BitBtn2, &QPushButton::clicked, this, guardedCommand([this] { Duzenle(); }));
    connect(BitBtn3, &QPushButton::clicked, this, guardedCommand([this] { Ekle(); }));
    connect(BitBtn4, &QPushButton::clicked, this, &QDialog::reject);
    // The form's action "kapat" closes the window on Escape.
    connect(m_ui->kapat, &QAction::triggered, this, &QDialog::reject);
}

TK_KxAracMenuF::~TK_KxAracMenuF() = default;

void TK_KxAracMenuF::FormShow()
{
    m_tools.prepareWindow(this);
    fillList();
}

void TK_KxAracMenuF::fillList()
{
    const QSignalBlocker block(ListBox1);
    ListBox1->clear();
    for (const TAraclarItem &t : std::as_const(m_tools.Sabitler))
        ListBox1->addItem(m_tools.msg(t.Caption));
    for (const TAraclarItem &t : std::as_const(m_tools.Tanimlar))
        ListBox1->addItem(t.Caption);
}

void TK_KxAracMenuF::rowChosen(int row)
{
    if (row >= 0)
        BitBtn1->setEnabled(row >= m_tools.Sabitler.size());
}

void TK_KxAracMenuF::Kaldir()
{
    const int row = ListBox1->currentRow();
    if (row < 0) {
        Dialogs::information(this, m_tools.msg(QStringLiteral("Bilgi")), m_tools.msg(QStringLiteral("Duzenlenecek elemani seciniz.")));
        return;
    }
    // Only a user's tool can go; the fixed ones are the program's.
    const qsizetype index = row - m_tools.Sabitler.size();
    if (index < 0 || index >= m_tools.Tanimlar.size())
        return;
    if (!Dialogs::question(this, m_tools.msg(QStringLiteral("Onay")),
                           ListBox1->item(row)->text() + u' ' + m_tools.msg(QStringLiteral("menusunu silmek istiyor musunuz?")),
                           true))
        return;
    m_tools.Tanimlar.removeAt(index);
    delete ListBox1->takeItem(row);
}

void TK_KxAracMenuF::Duzenle()
{
    const int row = ListBox1->currentRow();
    if (row < 0) {
        Dialogs::information(this, m_tools.msg(QStringLiteral("Bilgi")), m_tools.msg(QStringLiteral("Duzenlenecek elemani seciniz.")));
        return;
    }
    openToolDialog(row);
}

void TK_KxAracMenuF::Ekle()
{
    openToolDialog(-1);
}

void TK_KxAracMenuF::openToolDialog(int row)
{
    {
        TK_KxAracEkleF dialog(m_tools, row, row >= 0 ? ListBox1->item(row)->text() : QString(), this);
        dialog.FormShow();
        Dialogs::showModal(&dialog);
    }
    fillList();
}

TK_KxAracEkleF::TK_KxAracEkleF(TKxAraclar &tools, int row, const QString &rowText, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TK_KxAracEkleF>()), m_tools(tools), m_row(row)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    EditNAME = m_ui->EditNAME;
    EditYOL = m_ui->EditYOL;
    ButtonYOL = m_ui->ButtonYOL;
    HotKey1 = m_ui->HotKey1;
    BitBtn1 = m_ui->BitBtn1;
    BitBtn2 = m_ui->BitBtn2;

    connect(ButtonYOL, &QPushButton::clicked, this, guardedCommand([this] { Gozat(); }));
    connect(BitBtn1, &QPushButton::clicked, this, guardedCommand([this] { Tamam(); }));
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    // The form's action "kapat" closes the window on Escape.
    connect(m_ui->kapat, &QAction::triggered, this, &QDialog::reject);

    if (row >= 0) {
        const qsizetype fixedCount = tools.Sabitler.size();
        const TAraclarItem &t = row < fixedCount ? tools.Sabitler.at(row) : tools.Tanimlar.at(row - fixedCount);
        EditNAME->setText(rowText);
        // A fixed tool keeps its name.
        EditNAME->setEnabled(row >= fixedCount);
        EditYOL->setText(t.FileName);
        HotKey1->setKeySequence(parseShortCut(t.ShortCut));
    }
}

TK_KxAracEkleF::~TK_KxAracEkleF() = default;

void TK_KxAracEkleF::FormShow()
{
    m_tools.prepareWindow(this);
}

void TK_KxAracEkleF::Gozat()
{
    const QString path = Dialogs::chooseFile(this, QString(), EditYOL->text());
    if (path.isEmpty())
        return;
    EditYOL->setText(path);
    EditNAME->setText(QFileInfo(path).fileName());
}

void TK_KxAracEkleF::Tamam()
{
    const QString name = EditNAME->text();
    if (name.isEmpty()) {
        Dialogs::information(this, m_tools.msg(QStringLiteral("Bilgi")), m_tools.msg(QStringLiteral("Program Adini girmelisiniz.")));
        accept();
        return;
    }
    // A text the tool file's code page cannot hold is refused here, where it was typed, rather
    // than stored mangled; the dialog stays open.
    for (const auto &[edit, label] : {std::pair{EditNAME, "StaticText1"}, std::pair{EditYOL, "StaticText2"}}) {
        if (!codepage::canEncode(edit->text())) {
            Dialogs::information(this, m_tools.msg(QStringLiteral("Bilgi")),
                                 m_tools.msg(QStringLiteral("Bu alandaki bir karakter kaydedilemez:")) + u' '
                                     + findChild<QLabel *>(QLatin1String(label))->text());
            edit->setFocus();
            return;
        }
    }
    // A name too long for its record is cut when written; a path cut short would name another
    // file, so it is refused instead.
    if (codepage::encode(EditYOL->text()).size() > kAracFileNameMax) {
        Dialogs::information(this, m_tools.msg(QStringLiteral("Bilgi")),
                             m_tools.msg(QStringLiteral("Program yolu en fazla 150 karakter olabilir.")));
        EditYOL->setFocus();
        return;
    }
    const qsizetype fixedCount = m_tools.Sabitler.size();
    TAraclarItem *tool = nullptr;
    if (m_row < 0) {
        m_tools.Tanimlar.append(TAraclarItem{});
        tool = &m_tools.Tanimlar.last();
    } else if (m_row < fixedCount) {
        tool = &m_tools.Sabitler[m_row];
    } else {
        tool = &m_tools.Tanimlar[m_row - fixedCount];
    }
    tool->Caption = name;
    tool->FileName = EditYOL->text();
    const QKeySequence keys = HotKey1->keySequence();
    tool->ShortCut = keys.isEmpty() ? QString() : QKeySequence(keys[0]).toString(QKeySequence::PortableText);
    accept();
}

} // namespace kx
