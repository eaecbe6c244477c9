#include "ui/listcolumns.h"
#include "platform/kxerror.h"
#include "settings/columnwidths.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHeaderView>

#include <algorithm>

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
    // The room the columns share follows the list's width (a window laid out or maximized later).
    view->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (m_applying || section == m_header->count() - 1)
            return;
        m_user = true;
        m_changed = true;
    });
}

bool ListColumns::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == m_view->viewport())
        fit();
    return QObject::eventFilter(watched, event);
}

void ListColumns::fit()
{
    const int count = m_header->count();
    if (m_user || count == 0)
        return;
    QList<int> wanted;
    for (int c = 0; c < count; ++c)
        wanted.append(std::max(m_header->sectionSizeHint(c), m_view->sizeHintForColumn(c)) + 8);
    // The last column takes what is left, but the header keeps it at its default width at least.
    wanted.last() = std::max(wanted.last(), m_header->defaultSectionSize());
    // Every column in sight where the list has room: the widest are cut down to one level (their
    // whole text is in the tooltip), the narrow ones keep what they need.
    const int room = m_view->viewport()->width();
    int level = *std::max_element(wanted.cbegin(), wanted.cend());
    const auto total = [&wanted](int cap) {
        int sum = 0;
        for (int w : wanted)
            sum += std::min(w, cap);
        return sum;
    };
    if (room > 0 && total(level) > room) {
        int low = 48, high = level;
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (total(mid) <= room)
                low = mid;
            else
                high = mid - 1;
        }
        level = low;
    }
    m_applying = true;
    for (int c = 0; c < count - 1; ++c)
        m_header->resizeSection(c, std::min(wanted.at(c), level));
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
