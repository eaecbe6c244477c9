#include "platform/worker.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kx {

namespace {
std::atomic<int> g_abandoned{0};
}

struct Worker::State {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool abandoned = false;
    std::function<void()> afterReturn;
};

Worker::~Worker()
{
    join();
}

void Worker::start(std::function<void()> body)
{
    if (m_state)
        return;
    m_state = std::make_shared<State>();
    // The thread holds the state itself: it outlives the worker object when left behind.
    m_thread = std::thread([state = m_state, body = std::move(body)] {
        body();
        std::function<void()> after;
        {
            std::lock_guard lock(state->mutex);
            state->done = true;
            if (state->abandoned)
                after = std::move(state->afterReturn);
        }
        state->returned.notify_all();
        if (after)
            after();
    });
}

bool Worker::wait(std::chrono::milliseconds timeout)
{
    if (!m_state)
        return true;
    if (m_abandoned)
        return false;
    {
        std::unique_lock lock(m_state->mutex);
        if (!m_state->returned.wait_for(lock, timeout, [this] { return m_state->done; }))
            return false;
    }
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

void Worker::join()
{
    if (!m_abandoned && m_thread.joinable())
        m_thread.join();
}

bool Worker::abandon(std::function<void()> afterReturn)
{
    if (!m_state || m_abandoned)
        return m_abandoned;
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->done) {
            m_state->abandoned = true;
            m_state->afterReturn = std::move(afterReturn);
        }
    }
    if (!m_state->abandoned) {
        join();
        return false;
    }
    m_abandoned = true;
    m_thread.detach();
    ++g_abandoned;
    return true;
}

int abandonedWorkers()
{
    return g_abandoned.load();
}

} // namespace kx
