#pragma once
// How far a piece of work has come, for a watch on another thread that ends work which no
// longer moves: a share that stops answering holds a system call for ever, and nothing in the
// call itself ever says so. The work marks each call that may wait with a Waiting object naming
// the path it opens, lists, reads or writes; a call that returns is a step forward. The watch
// reads the number of steps and, once they stand still, the folders of the calls still under
// way: those did not answer.
//
// The file code deep below a run reaches its run's headway through the thread it runs on: a
// HeadwayScope puts one there, and a thread that a work starts takes its starter's along
// (current() before, a scope of its own inside). Without a scope every mark costs a test.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <list>
#include <mutex>

namespace kx {

class Headway
{
public:
    Headway() = default;
    Headway(const Headway &) = delete;
    Headway &operator=(const Headway &) = delete;

    // Steps so far: calls that returned, and whatever else the work counts (step()).
    quint64 steps() const noexcept { return m_steps.load(std::memory_order_relaxed); }
    void step() noexcept { m_steps.fetch_add(1, std::memory_order_relaxed); }
    // The folders of the calls under way now, each once, in the order of the threads.
    QStringList waitingIn() const;

    // The headway of the calling thread, or none.
    static Headway *current() noexcept;
    // A step on the calling thread's headway, if any: for long loops of calls that are not
    // marked one by one (the entries of a folder listed or removed).
    static void stepHere() noexcept;

    // One thread's call under way: the paths (as the system sees them) and whether they are
    // folders themselves or files in the folders to name.
    struct Slot {
        mutable std::mutex mutex;
        QByteArray first;
        QByteArray second;
        bool folders = false;
        bool busy = false;
    };

private:
    friend class HeadwayScope;
    Slot *join();
    void leave(Slot *slot);

    std::atomic<quint64> m_steps{0};
    mutable std::mutex m_mutex;
    std::list<Slot> m_slots; // one per thread in a scope; their addresses never move
};

// Makes `headway` the calling thread's for its lifetime (nothing when null).
class HeadwayScope
{
public:
    explicit HeadwayScope(Headway *headway);
    ~HeadwayScope();
    HeadwayScope(const HeadwayScope &) = delete;
    HeadwayScope &operator=(const HeadwayScope &) = delete;

private:
    Headway *m_headway;
    Headway *m_outerHeadway;
    Headway::Slot *m_slot = nullptr;
    Headway::Slot *m_outerSlot;
};

// A call that may wait, on the calling thread's headway: from construction to destruction the
// thread waits on `path` (and `other`, for a call that moves data between two files); the end
// counts as a step. Marks nest: at its end the thread waits where it did before.
class Waiting
{
public:
    enum class Kind { File, Folder };
    explicit Waiting(const QByteArray &path, Kind kind = Kind::File, const QByteArray &other = QByteArray());
    explicit Waiting(const QString &path, Kind kind = Kind::File);
    ~Waiting();
    Waiting(const Waiting &) = delete;
    Waiting &operator=(const Waiting &) = delete;

private:
    Headway::Slot *m_slot;
    QByteArray m_outerFirst;
    QByteArray m_outerSecond;
    bool m_outerFolders = false;
    bool m_outerBusy = false;
};

} // namespace kx
