#include "ui/windowtexts.h"
#include "i18n/filesearch.h"
#include "i18n/translate.h"
#include "tools/toolrecords.h"
#include "ui/formheader.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>

namespace kx {

namespace {

QString raw(TFileSearch &tr, const QString &text)
{
    return tr.lookup(text, true);
}

// Caption or hint in window key form; written back whenever the lookup gave something.
QString windowText(TFileSearch &tr, const QString &text)
{
    const QString found = tr.lookup(windowKeyForm(text), true);
    return found.isEmpty() ? text : windowValueForm(found);
}

void translateHeaders(TFileSearch &tr, QAbstractItemView *view)
{
    if (auto *tree = qobject_cast<QTreeWidget *>(view)) {
        QTreeWidgetItem *h = tree->headerItem();
        for (int c = 0; h && c < h->columnCount(); ++c) {
            const QString t = raw(tr, h->text(c));
            if (!t.isEmpty())
                h->setText(c, t);
        }
        return;
    }
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QString t = raw(tr, model->headerData(c, Qt::Horizontal).toString());
        if (!t.isEmpty())
            model->setHeaderData(c, Qt::Horizontal, t);
    }
}

// Kinds whose "text" is the user's data, not a caption.
bool textIsData(QObject *o)
{
    return qobject_cast<QLineEdit *>(o) || qobject_cast<QAbstractSpinBox *>(o) || qobject_cast<QComboBox *>(o)
           || qobject_cast<QTextEdit *>(o) || qobject_cast<QPlainTextEdit *>(o);
}

void translateObject(TFileSearch &tr, QObject *o)
{
    // A menu's own action carries the menu's title, which the menu itself has just translated;
    // a second pass would look up the translation as a key and drop its "&".
    if (auto *menu = qobject_cast<QMenu *>(o->parent()); menu && menu->menuAction() == o)
        return;
    // 1. Texts of their own kind, by the first kind that fits.
    if (auto *combo = qobject_cast<QComboBox *>(o)) {
        const int index = combo->currentIndex();
        for (int i = 0; i < combo->count(); ++i) {
            const QString t = raw(tr, combo->itemText(i));
            if (!t.isEmpty())
                combo->setItemText(i, t);
        }
        if (index >= 0)
            combo->setCurrentIndex(index);
    } else if (auto *header = qobject_cast<KxFormHeader *>(o)) {
        if (!header->text().isEmpty()) {
            const QString t = raw(tr, header->text());
            if (!t.isEmpty())
                header->setText(t);
        }
        return; // the title is its caption
    } else if (o->property("kxScrollLines").isValid()) {
        QStringList lines = o->property("kxScrollLines").toStringList();
        for (QString &l : lines) {
            const QString t = raw(tr, l);
            if (!t.isEmpty())
                l = t;
        }
        o->setProperty("kxScrollLines", lines);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(o)) {
        memo->setPlainText(windowText(tr, memo->toPlainText()));
    } else if (qobject_cast<QTreeView *>(o) || qobject_cast<QTableView *>(o)) {
        translateHeaders(tr, static_cast<QAbstractItemView *>(o));
    } else if (auto *tabs = qobject_cast<QTabWidget *>(o)) {
        // A tab's caption belongs to its tab bar here, not to the page.
        for (int i = 0; i < tabs->count(); ++i) {
            const QString t = windowText(tr, tabs->tabText(i));
            if (t != tabs->tabText(i))
                tabs->setTabText(i, t);
        }
    } else if (auto *bar = qobject_cast<QStatusBar *>(o)) {
        if (!bar->currentMessage().isEmpty()) {
            const QString t = raw(tr, bar->currentMessage());
            if (!t.isEmpty())
                bar->showMessage(t);
        }
    }

    // 2. Caption: "text" or "title". An action without a hint of its own shows its text as the
    // hint; that one follows the caption and is no hint to look up.
    const QVariant tipBefore = o->property("toolTip");
    if (!textIsData(o)) {
        const char *captionProperty = nullptr;
        if (qobject_cast<QLabel *>(o) || qobject_cast<QAbstractButton *>(o) || qobject_cast<QAction *>(o))
            captionProperty = "text";
        else if (qobject_cast<QGroupBox *>(o) || qobject_cast<QMenu *>(o))
            captionProperty = "title";
        if (captionProperty) {
            const QVariant v = o->property(captionProperty);
            if (v.typeId() == QMetaType::QString) {
                const QString text = v.toString();
                // Separators and empty labels stay empty: an empty key matches only a line
                // that begins with "=".
                const QString t = windowText(tr, text);
                if (t != text)
                    o->setProperty(captionProperty, t);
            }
        }
    }

    // 3. Hint.
    const QVariant tip = o->property("toolTip");
    if (tip == tipBefore && tip.typeId() == QMetaType::QString && !tip.toString().isEmpty()) {
        const QString t = windowText(tr, tip.toString());
        if (t != tip.toString())
            o->setProperty("toolTip", t);
    }
}

} // namespace

void CompFormDilCevir(TFileSearch &translator, QObject *window)
{
    if (!window)
        return;
    // Depth first, each object before its children, children in creation order. Translating
    // one object may delete others of the list (a memo's new text replaces its document's
    // frames), so each is held weakly and skipped once gone.
    const QList<QObject *> all = window->findChildren<QObject *>();
    QList<QPointer<QObject>> alive;
    alive.reserve(all.size());
    for (QObject *o : all)
        alive.append(o);
    for (const QPointer<QObject> &o : alive)
        if (o)
            translateObject(translator, o);
}

void foldWindowTexts(QObject *window)
{
    if (!window)
        return;
    const auto foldProperty = [](QObject *o, const char *name) {
        const QVariant v = o->property(name);
        if (v.typeId() == QMetaType::QString) {
            const QString folded = foldTurkish(v.toString());
            if (folded != v.toString())
                o->setProperty(name, folded);
        }
    };
    for (QObject *o : window->findChildren<QObject *>()) {
        if (qobject_cast<QLabel *>(o) || qobject_cast<QAbstractButton *>(o) || qobject_cast<QAction *>(o))
            foldProperty(o, "text");
        else if (qobject_cast<QGroupBox *>(o) || qobject_cast<QMenu *>(o))
            foldProperty(o, "title");
        else if (auto *tabs = qobject_cast<QTabWidget *>(o))
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabText(i, foldTurkish(tabs->tabText(i)));
        foldProperty(o, "toolTip");
    }
}

} // namespace kx
