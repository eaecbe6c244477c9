#include "platform/headway.h"
#include "platform/pathname.h"

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
    m_slot->first = path;
    m_slot->second = other;
    m_slot->folders = kind == Kind::Folder;
    m_slot->busy = true;
}

Waiting::Waiting(const QString &path, Kind kind) : Waiting(t_slot ? encodePath(path) : QByteArray(), kind) {}

Waiting::~Waiting()
{
    if (!m_slot)
        return;
    {
        std::lock_guard lock(m_slot->mutex);
        m_slot->busy = false;
    }
    t_headway->step();
}

} // namespace kx
