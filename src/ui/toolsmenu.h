#pragma once
// The tools component (TKxAraclar) behind the "&Araclar" menu: it reads the two tool files,
// builds the menu's tool items, and through its menu editor (TK_KxAracMenuF) and tool dialog
// (TK_KxAracEkleF) lets the user add, change and remove tools, writing both files afterwards. The
// two windows are laid out in toolsmenueditor.ui and tooldialog.ui.

#include "tools/toolrecords.h"

#include <QAction>
#include <QDialog>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <functional>
#include <memory>

class QKeySequenceEdit;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace kx {

namespace Ui {
class TK_KxAracMenuF;
class TK_KxAracEkleF;
}

// A menu item of a tool: ItemNo is the index of its tool within its own collection.
class TAraclarMenuItem : public QAction
{
    Q_OBJECT
public:
    TAraclarMenuItem(bool fixed, int itemNo, QObject *parent) : QAction(parent), Fixed(fixed), ItemNo(itemNo) {}
    const bool Fixed;
    const int ItemNo;
};

class TKxAraclar : public QObject
{
    Q_OBJECT
public:
    explicit TKxAraclar(QObject *parent = nullptr);

    QString SbtFileName;
    QString TnmFileName;
    QMenu *MenuItem = nullptr;
    TAraclarItems Sabitler;
    TAraclarItems Tanimlar;
    QList<QIcon> *ImageList = nullptr;
    std::function<void(TAraclarMenuItem *)> OnSbtClick;
    std::function<void(TAraclarMenuItem *)> OnTnmClick;
    std::function<void(QObject *)> windowTranslate;
    std::function<QString(const QString &)> messageTranslate;
    // The title of the tool windows: the main window's caption.
    QString Caption;

    // Reads both tool files and builds the tool items anew below the menu's own entries.
    void AraclarYukle();
    // The menu editor, modal; once it has closed both files are written and the menu rebuilt.
    void MenuDuzenle(QWidget *parent);
    // Both files written whole from the collections (an empty or blank name writes nothing).
    void AraclarKaydet() const;

    // The items the last build added, separator included, in menu order.
    QList<QAction *> builtItems() const;

    QString msg(const QString &text) const { return messageTranslate ? messageTranslate(text) : text; }
    // Window preparation of the tool windows: Turkish letters folded, the window translated,
    // the main window's caption as title.
    void prepareWindow(QWidget *window) const;

private:
    void readFiles();

    QList<QPointer<QAction>> m_built;
};

class TK_KxAracMenuF : public QDialog
{
    Q_OBJECT
public:
    TK_KxAracMenuF(TKxAraclar &tools, QWidget *parent = nullptr);
    ~TK_KxAracMenuF() override;

    QListWidget *ListBox1;
    QPushButton *BitBtn1; // "Kaldır"
    QPushButton *BitBtn2; // "Düzenle"
    QPushButton *BitBtn3; // "Ekle"
    QPushButton *BitBtn4; // "Kapat"

    // Window preparation and the list filled; called before the window is shown.
    void FormShow();
    void fillList();
    void Kaldir();
    void Duzenle();
    void Ekle();

private:
    void rowChosen(int row);
    void openToolDialog(int row);

    const std::unique_ptr<Ui::TK_KxAracMenuF> m_ui;
    TKxAraclar &m_tools;
};

class TK_KxAracEkleF : public QDialog
{
    Q_OBJECT
public:
    // row: the editor's row of an existing tool, or -1 for a new tool; rowText: that row's text.
    TK_KxAracEkleF(TKxAraclar &tools, int row, const QString &rowText, QWidget *parent = nullptr);
    ~TK_KxAracEkleF() override;

    QLineEdit *EditNAME;
    QLineEdit *EditYOL;
    QPushButton *ButtonYOL; // the browse button of EditYOL
    QKeySequenceEdit *HotKey1;
    QPushButton *BitBtn1; // "Tamam"
    QPushButton *BitBtn2; // "İptal"

    void FormShow();
    void Gozat();
    void Tamam();

private:
    const std::unique_ptr<Ui::TK_KxAracEkleF> m_ui;
    TKxAraclar &m_tools;
    int m_row;
};

} // namespace kx
