#pragma once
// The columns of one list (a job list or a log list): they fit their content until the user sets
// a width, the last one takes the room that is left, and the widths the user set are kept in the
// settings folder ("Sutunlar.ini") under the list's name, to be found again at the next start.

#include <QObject>
#include <QString>

class QAbstractItemView;
class QHeaderView;

namespace kx {

class ListColumns : public QObject
{
    Q_OBJECT
public:
    // The header of `view`; name: the key it is kept under (the list's object name).
    ListColumns(QAbstractItemView *view, QHeaderView *header, const QString &settingsFolder, const QString &name);

    // After the rows changed or the list's width did: every column as wide as its content, and
    // where they do not all fit, the widest cut down to one width so that every column stays in
    // sight (a long path shows whole in its tooltip). Nothing changes once widths were set by
    // the user or kept from before.
    void fit();
    // Keeps the widths when the user has changed them since the last time (a file that cannot be
    // written only loses them).
    void keep();
    bool userWidths() const { return m_user; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemView *m_view;
    QHeaderView *m_header;
    QString m_folder;
    QString m_name;
    bool m_user = false;
    bool m_changed = false;
    bool m_applying = false;
};

} // namespace kx
