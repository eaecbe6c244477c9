#include "ui/joblistview.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QTableView>

namespace kx {

JobListView::JobListView(QWidget *parent) : QStackedWidget(parent), m_details(new QTableView), m_icons(new QListView)
{
    m_details->setObjectName(QStringLiteral("Ayrintilar"));
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setSelectionMode(QAbstractItemView::SingleSelection);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setShowGrid(true);
    m_details->verticalHeader()->hide();
    m_details->horizontalHeader()->setStretchLastSection(true);
    m_details->setWordWrap(false);
    // Paths keep their beginning and their end; the whole text is in the tooltip.
    m_details->setTextElideMode(Qt::ElideMiddle);
    // Tab goes on to the next control rather than from cell to cell.
    m_details->setTabKeyNavigation(false);
    m_icons->setObjectName(QStringLiteral("Simgeler"));
    m_icons->setSelectionMode(QAbstractItemView::SingleSelection);
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setTabKeyNavigation(false);
    for (QAbstractItemView *v : {static_cast<QAbstractItemView *>(m_details), static_cast<QAbstractItemView *>(m_icons)}) {
        // The selection stays as visible when the list loses the focus.
        QPalette p = v->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
        v->setPalette(p);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        v->installEventFilter(this);
        connect(v, &QAbstractItemView::doubleClicked, this, [this] { emit activated(); });
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint &pos) { emit contextMenuAt(v->viewport()->mapToGlobal(pos)); });
    }
    addWidget(m_details);
    addWidget(m_icons);
    setStyle(Style::Ayrintilar);
}

void JobListView::setModel(QAbstractItemModel *model)
{
    m_details->setModel(model);
    m_icons->setModel(model);
    m_icons->setModelColumn(0);
    // One selection for every style.
    QItemSelectionModel *shared = m_details->selectionModel();
    QItemSelectionModel *old = m_icons->selectionModel();
    m_icons->setSelectionModel(shared);
    if (old && old != shared)
        old->deleteLater();
}

void JobListView::setStyle(Style style)
{
    m_style = style;
    switch (style) {
    case Style::Ayrintilar:
        setCurrentWidget(m_details);
        return;
    case Style::Liste:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setWrapping(true);
        m_icons->setIconSize(QSize(0, 0));
        break;
    case Style::Doseme:
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setGridSize(QSize(160, 36));
        break;
    case Style::Simge:
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        m_icons->setIconSize(QSize(32, 32));
        m_icons->setGridSize(QSize(120, 72));
        break;
    }
    setCurrentWidget(m_icons);
}

QWidget *JobListView::current() const
{
    return currentWidget();
}

int JobListView::selectedRow() const
{
    const QModelIndexList rows = m_details->selectionModel() ? m_details->selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void JobListView::selectRow(int row)
{
    QItemSelectionModel *sel = m_details->selectionModel();
    QAbstractItemModel *model = m_details->model();
    if (!sel || !model)
        return;
    if (row < 0 || row >= model->rowCount()) {
        sel->clearSelection();
        return;
    }
    const QModelIndex index = model->index(row, 0);
    sel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_details->scrollTo(index);
    m_icons->scrollTo(index);
}

QStringList JobListView::captions() const
{
    QStringList out;
    QAbstractItemModel *model = m_details->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        out.append(model->index(row, 0).data().toString());
    return out;
}

int JobListView::rowCount() const
{
    return m_details->model() ? m_details->model()->rowCount() : 0;
}

bool JobListView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit activated();
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            emit deleteRequested();
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

} // namespace kx
