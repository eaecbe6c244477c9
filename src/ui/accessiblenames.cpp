#include "ui/accessiblenames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

namespace kx {

namespace {

bool isControl(const QWidget *w)
{
    return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w)
           || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QAbstractSlider *>(w)
           || qobject_cast<const QAbstractItemView *>(w) || qobject_cast<const QPlainTextEdit *>(w)
           || qobject_cast<const QAbstractButton *>(w);
}

// A button without words of its own ("...").
bool wordless(const QAbstractButton *b)
{
    for (QChar c : b->text())
        if (c.isLetter())
            return false;
    return true;
}

QString captionOf(const QLabel *label)
{
    QString text = label->text();
    text.remove(u'&');
    text = text.trimmed();
    if (text.endsWith(u':'))
        text.chop(1);
    return text.trimmed();
}

QWidget *widgetAt(QLayoutItem *item)
{
    return item ? item->widget() : nullptr;
}

// The label's row: the controls that come after it in its layout, in order.
QList<QWidget *> followers(QLabel *label)
{
    QList<QWidget *> out;
    QWidget *parent = label->parentWidget();
    if (!parent)
        return out;
    const QList<QLayout *> layouts = parent->findChildren<QLayout *>();
    for (QLayout *layout : layouts) {
        const int index = layout->indexOf(label);
        if (index < 0)
            continue;
        if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
            for (int c = column + columnSpan; c < grid->columnCount(); ++c)
                if (QWidget *w = widgetAt(grid->itemAtPosition(row, c)); w && w != label)
                    out.append(w);
        } else if (auto *form = qobject_cast<QFormLayout *>(layout)) {
            int row = 0;
            QFormLayout::ItemRole role;
            form->getItemPosition(index, &row, &role);
            if (QWidget *w = widgetAt(form->itemAt(row, QFormLayout::FieldRole)))
                out.append(w);
        } else {
            for (int i = index + 1; i < layout->count(); ++i)
                if (QWidget *w = widgetAt(layout->itemAt(i)))
                    out.append(w);
        }
        break;
    }
    return out;
}

} // namespace

void nameControlsByLabels(QWidget *window)
{
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->text().trimmed().isEmpty())
            continue;
        const QList<QWidget *> row = followers(label);
        QWidget *control = nullptr;
        for (QWidget *w : row) {
            if (qobject_cast<QLabel *>(w))
                break; // the next caption's row begins
            if (!isControl(w))
                continue;
            auto *button = qobject_cast<QAbstractButton *>(w);
            if (!control && (!button || wordless(button))) {
                control = w;
                if (!label->buddy())
                    label->setBuddy(w);
                // Said outright too: a drop-down list would otherwise be named by its entry.
                if (w->accessibleName().isEmpty())
                    w->setAccessibleName(captionOf(label));
                continue;
            }
            // A "..." button beside the control takes the label's name as well.
            if (button && wordless(button) && button->accessibleName().isEmpty())
                button->setAccessibleName(captionOf(label) + QStringLiteral(" ..."));
        }
    }
    // A list without a caption of its own is named by the tab it fills.
    for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>()) {
        if (!view->accessibleName().isEmpty())
            continue;
        for (QWidget *page = view; page && page != window; page = page->parentWidget()) {
            auto *stack = page->parentWidget();
            auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
            if (tabs && tabs->indexOf(page) >= 0) {
                view->setAccessibleName(tabs->tabText(tabs->indexOf(page)).remove(u'&'));
                break;
            }
        }
    }
}

} // namespace kx
