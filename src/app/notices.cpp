#include "app/notices.h"
#include "core/service.h"

#include <QTimer>

namespace kx {

NoticeBoard::NoticeBoard(QObject *parent) : QObject(parent) {}

void NoticeBoard::failed(const QString &job, const QString &reason)
{
    add(reason.isEmpty() ? job : job + QStringLiteral(": ") + reason);
}

void NoticeBoard::stale(const QString &job, const QDate &day)
{
    if (m_staleTold.value(job) == day)
        return;
    m_staleTold.insert(job, day);
    add(job + QStringLiteral(": ") + trMsg(QStringLiteral("Uzun suredir basarili yedek alinamadi.")));
}

void NoticeBoard::fresh(const QString &job)
{
    m_staleTold.remove(job);
}

void NoticeBoard::add(const QString &line)
{
    const bool wasEmpty = m_unseen.isEmpty();
    if (!m_unseen.contains(line))
        m_unseen.append(line);
    m_pending.append(line);
    if (wasEmpty)
        emit unseenChanged(true);
    if (m_holding || m_flushQueued)
        return;
    m_flushQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_flushQueued = false;
        if (!m_holding)
            flush();
    });
}

void NoticeBoard::setHolding(bool holding)
{
    m_holding = holding;
    if (!holding)
        flush();
}

void NoticeBoard::flush()
{
    if (m_pending.isEmpty())
        return;
    const QString title = m_pending.size() == 1 ? trMsg(QStringLiteral("Yedekleme sorunu"))
                                                : trMsg(QStringLiteral("Yedekleme sorunlari"));
    const QString text = m_pending.join(u'\n');
    m_pending.clear();
    emit notice(title, text);
}

void NoticeBoard::acknowledge()
{
    if (m_unseen.isEmpty())
        return;
    m_unseen.clear();
    emit unseenChanged(false);
}

} // namespace kx
