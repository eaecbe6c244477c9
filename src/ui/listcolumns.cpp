#include "ui/listcolumns.h"
#include "platform/kxerror.h"
#include "settings/columnwidths.h"

#include <QAbstractItemView>
#include <QHeaderView>

namespace kx {

ListColumns::ListColumns(QAbstractItemView *view, QHeaderView *header, const QString &settingsFolder, const QString &name)
    : QObject(view), m_view(view), m_header(header), m_folder(settingsFolder), m_name(name)
{
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(24);
    QList<int> kept;
    try {
        kept = readColumnWidths(m_folder, m_name);
    } catch (const Error &) {
        // An unreadable file: the columns fit their content.
    }
    if (!kept.isEmpty()) {
        m_applying = true;
        // The last column stretches; a list that gained columns since keeps the widths it has.
        for (int c = 0; c < int(kept.size()) && c < header->count() - 1; ++c)
            header->resizeSection(c, kept.at(c));
        m_applying = false;
        m_user = true;
    }
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (m_applying || section == m_header->count() - 1)
            return;
        m_user = true;
        m_changed = true;
    });
}

void ListColumns::fit()
{
    if (m_user || m_header->count() == 0)
        return;
    m_applying = true;
    const int cap = std::max(120, m_view->viewport()->width() / 3);
    for (int c = 0; c < m_header->count() - 1; ++c) {
        const int wanted = std::max(m_header->sectionSizeHint(c), m_view->sizeHintForColumn(c));
        m_header->resizeSection(c, std::min(wanted + 8, cap));
    }
    m_applying = false;
}

void ListColumns::keep()
{
    if (!m_changed)
        return;
    QList<int> widths;
    for (int c = 0; c < m_header->count(); ++c)
        widths.append(m_header->sectionSize(c));
    try {
        writeColumnWidths(m_folder, m_name, widths);
        m_changed = false;
    } catch (const Error &) {
        // Widths are not worth a message box; they are simply not kept.
    }
}

} // namespace kx
