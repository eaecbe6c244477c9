#include "platform/headway.h"
#include "platform/pathname.h"

#include <utility>

namespace kx {

namespace {

thread_local Headway *t_headway = nullptr;
thread_local Headway::Slot *t_slot = nullptr;

QString folderOf(const QByteArray &path, bool isFolder)
{
    const QString p = decodePath(path);
    if (isFolder)
        return p;
    const qsizetype slash = p.lastIndexOf(u'/');
    return slash < 0 ? p : slash == 0 ? QStringLiteral("/") : p.left(slash);
}

} // namespace

QStringList Headway::waitingIn() const
{
    QStringList folders;
    const auto add = [&folders](const QByteArray &path, bool isFolder) {
        if (path.isEmpty())
            return;
        const QString folder = folderOf(path, isFolder);
        if (!folders.contains(folder))
            folders.append(folder);
    };
    std::lock_guard lock(m_mutex);
    for (const Slot &slot : m_slots) {
        std::lock_guard slotLock(slot.mutex);
        if (!slot.busy)
            continue;
        add(slot.first, slot.folders);
        add(slot.second, slot.folders);
    }
    return folders;
}

Headway *Headway::current() noexcept
{
    return t_headway;
}

void Headway::stepHere() noexcept
{
    if (t_headway)
        t_headway->step();
}

Headway::Slot *Headway::join()
{
    std::lock_guard lock(m_mutex);
    return &m_slots.emplace_back();
}

void Headway::leave(Slot *slot)
{
    std::lock_guard lock(m_mutex);
    m_slots.remove_if([slot](const Slot &s) { return &s == slot; });
}

HeadwayScope::HeadwayScope(Headway *headway)
    : m_headway(headway), m_outerHeadway(t_headway), m_outerSlot(t_slot)
{
    if (!headway)
        return;
    m_slot = headway->join();
    t_headway = headway;
    t_slot = m_slot;
}

HeadwayScope::~HeadwayScope()
{
    if (!m_headway)
        return;
    t_headway = m_outerHeadway;
    t_slot = m_outerSlot;
    m_headway->leave(m_slot);
}

Waiting::Waiting(const QByteArray &path, Kind kind, const QByteArray &other) : m_slot(t_slot)
{
    if (!m_slot)
        return;
    std::lock_guard lock(m_slot->mutex);
    m_outerFirst = std::exchange(m_slot->first, path);
    m_outerSecond = std::exchange(m_slot->second, other);
    m_outerFolders = std::exchange(m_slot->folders, kind == Kind::Folder);
    m_outerBusy = std::exchange(m_slot->busy, true);
}

Waiting::Waiting(const QString &path, Kind kind) : Waiting(t_slot ? encodePath(path) : QByteArray(), kind) {}

Waiting::~Waiting()
{
    if (!m_slot)
        return;
    {
        std::lock_guard lock(m_slot->mutex);
        m_slot->first = std::move(m_outerFirst);
        m_slot->second = std::move(m_outerSecond);
        m_slot->folders = m_outerFolders;
        m_slot->busy = m_outerBusy;
    }
    t_headway->step();
}

} // namespace kx
