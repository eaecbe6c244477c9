#pragma once
// A job list on screen in one of four styles: "Liste" (names only, in a plain list), "Doseme"
// (small icons), "Simge" (large icons) and "Ayrintilar" (the column view). All four show the same
// model through one selection, so rows, order and selection are the same in each. Tab and
// Shift+Tab leave the list for the next control; the arrow keys move between rows.

#include <QStackedWidget>

class QListView;
class QTableView;
class QAbstractItemModel;

namespace kx {

class JobListView : public QStackedWidget
{
    Q_OBJECT
public:
    enum class Style { Liste, Doseme, Simge, Ayrintilar };

    explicit JobListView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model);
    Style style() const { return m_style; }
    void setStyle(Style style);

    // The selected row (-1 when none) and selecting one (-1 selects none).
    int selectedRow() const;
    void selectRow(int row);
    QStringList captions() const;
    int rowCount() const;

    QTableView *details() const { return m_details; }
    QListView *icons() const { return m_icons; }
    // The view of the current style.
    QWidget *current() const;

signals:
    // Double click or Enter on a row.
    void activated();
    // The Delete key on the list.
    void deleteRequested();
    void contextMenuAt(const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *m_details;
    QListView *m_icons;
    Style m_style = Style::Ayrintilar;
};

} // namespace kx
